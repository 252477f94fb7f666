#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "cadlink/cad_link.h"
#include "cadlink/com/com_calls.h"
#include "cadlink/com/com_entity.h"
#include "cadlink/com/dispatch_call.h"

namespace morvane::com {

// The document's members that both bindings reach by name: its pre-selection and its layers. Holds
// the layers' collection once asked, for the document handle's life (one press).
class DocumentByName {
public:
    DocumentByName(ByName& document, std::shared_ptr<DispatchNames> selectionNames, std::shared_ptr<ComCalls> calls,
                   EntityRelease release) noexcept
        : document_(document), selectionNames_(std::move(selectionNames)), calls_(std::move(calls)), release_(release) {}

    // PickfirstSelectionSet; its entities share the names of their kinds.
    [[nodiscard]] std::unique_ptr<CadSelection> PickfirstSelection();
    // Layers.Item(name).Lock.
    [[nodiscard]] bool LayerLocked(std::u16string_view layer);

private:
    ByName& document_;
    std::shared_ptr<DispatchNames> selectionNames_;
    std::shared_ptr<ComCalls> calls_;
    EntityRelease release_;
    std::optional<ByName> layers_;
    std::shared_ptr<DispatchNames> layerNames_ = std::make_shared<DispatchNames>();
};

}  // namespace morvane::com
