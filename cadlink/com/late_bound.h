#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <memory>

#include "cadlink/cad_link.h"
#include "cadlink/com/com_calls.h"
#include "cadlink/com/com_entity.h"
#include "cadlink/com/dispatch_call.h"

namespace morvane::com {

// The DISPIDs of the names the command uses on the application, its document, its utility and its
// pre-selection.
// They belong to the application's class and are kept from one command to the next.
struct LateBoundNames {
    std::shared_ptr<DispatchNames> application = std::make_shared<DispatchNames>();
    std::shared_ptr<DispatchNames> document = std::make_shared<DispatchNames>();
    std::shared_ptr<DispatchNames> utility = std::make_shared<DispatchNames>();
    std::shared_ptr<DispatchNames> selection = std::make_shared<DispatchNames>();
};

// The CAD application reached by name only, every step through IDispatch (ActiveDocument,
// Visible, Caption, Utility, GetEntity): for the releases whose interface IDs and slots the
// binding does not know, and where those interfaces cannot be reached. Same steps, failures and
// numbers as the slot-based binding. Its picked entities belong to `release`: release 15 reached by
// name is still asked nothing that release 15 does not have. Holds the reference it is given.
// Throws std::bad_alloc only; its operations throw morvane::Failure.
[[nodiscard]] std::unique_ptr<CadApplication> MakeLateBoundApplication(Microsoft::WRL::ComPtr<IDispatch> application,
                                                                       LateBoundNames names, EntityRelease release,
                                                                       std::shared_ptr<ComCalls> calls);

}  // namespace morvane::com
