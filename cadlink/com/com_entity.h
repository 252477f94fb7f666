#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cadlink/cad_link.h"
#include "cadlink/com/com_calls.h"
#include "cadlink/com/dispatch_call.h"

namespace morvane::com {

// Which release the entity belongs to: release 15 has no fields, so its entities are never asked
// about them.
enum class EntityRelease { Release15, Newer };

// The DISPIDs that the entities of one selection share, so that each name is looked up once per kind
// of object rather than once per entity: the members every drawing object answers alike (those of
// the CAD application's AcadObject and AcadEntity, which each entity's interface inherits with their
// DISPIDs), those of each kind by its ObjectName, and those of the extension dictionaries.
class KindNames {
public:
    [[nodiscard]] const std::shared_ptr<DispatchNames>& Objects() const noexcept { return objects_; }
    [[nodiscard]] const std::shared_ptr<DispatchNames>& Dictionaries() const noexcept { return dictionaries_; }
    [[nodiscard]] std::shared_ptr<DispatchNames> OfKind(std::u16string_view objectName);

private:
    std::shared_ptr<DispatchNames> objects_ = std::make_shared<DispatchNames>();
    std::shared_ptr<DispatchNames> dictionaries_ = std::make_shared<DispatchNames>();
    std::vector<std::pair<std::u16string, std::shared_ptr<DispatchNames>>> kinds_;
};

// A drawing entity reached by name through its dispatch interface. Alone (no kinds given) each name
// is looked up once for the entity; with kinds, once for its kind, which it asks its ObjectName for
// first. Holds the reference it is given until the last handle goes. Throws std::bad_alloc only;
// its operations throw morvane::Failure.
[[nodiscard]] std::shared_ptr<CadEntity> MakeComEntity(Microsoft::WRL::ComPtr<IDispatch> object,
                                                       std::shared_ptr<ComCalls> calls,
                                                       EntityRelease release = EntityRelease::Newer,
                                                       std::shared_ptr<KindNames> kinds = nullptr);

}  // namespace morvane::com
