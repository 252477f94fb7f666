#pragma once

#include <functional>
#include <memory>

#include "cadlink/busy_retry.h"
#include "cadlink/cad_link.h"
#include "cadlink/com/running_application.h"

namespace morvane {

// What the COM binding takes from the system, each replaced in tests; an empty one gets the
// program's own.
struct ComCadLinkParts {
    // Where the running CAD application is found: the running object table.
    std::unique_ptr<com::RunningApplications> running;
    // The time the retries of a busy application wait: GetTickCount64 and COM's modal loop.
    std::unique_ptr<BusyClock> clock;
    // Called when messages arrive for this thread while a call into the CAD application waits:
    // delivers them as the program's message loop would. None: COM deals with them alone.
    std::function<void()> deliverWaitingMessages;
};

// What the binding calls by name, as the CAD application's type library declares it (the headers
// generated from it: acax16enu.tlh for release 16; code compiled against release 24 and 25's for the
// table) and what the binding passes and takes. The reference pages' "Long" is Visual Basic's 32-bit
// integer: the type library declares many of them int (VT_INT), and its Invoke answers a property in
// its declared type. Integers are taken in every integer type (NumberAnswer); arguments by value go
// as VT_I4, which Invoke coerces to a declared int.
//
//   Member                                  Declared                                  Passed / taken
//   Application.ActiveDocument, .Caption    IAcadDocument**, BSTR*                    VT_DISPATCH, VT_BSTR
//   Application.Visible (put)               VARIANT_BOOL                              VT_BOOL
//   Document.Utility                        IAcadUtility**                            VT_DISPATCH
//   Document.StartUndoMark, .EndUndoMark    no arguments                              -
//   Utility.GetEntity                       [out] IDispatch**, [out] VARIANT*,        VT_BYREF|VT_DISPATCH,
//                                           [in, optional] VARIANT prompt             VT_BYREF|VT_VARIANT, VT_BSTR
//   Entity.TextString, .TextOverride,       BSTR                                      VT_BSTR
//     .ObjectName, .FieldCode,
//     .MTextAttributeContent
//   Entity.Update                           no arguments                              -
//   Entity.HasAttributes, .MTextAttribute,  VARIANT_BOOL*                             VT_BOOL
//     .HasExtensionDictionary
//   Entity.GetAttributes                    VARIANT* (an array of objects)            VT_ARRAY of VT_DISPATCH
//                                                                                     or VT_VARIANT
//   Entity.GetExtensionDictionary           IAcadDictionary**                         VT_DISPATCH
//   Dictionary.Item                         [in] VARIANT index, IAcadObject**         VT_BSTR (the key), VT_DISPATCH;
//                                                                                     a missing key raises 0x80200014
//   Table.Rows, .Columns                    int*                                      VT_INT (any integer)
//   Table.GetCellType, .GetCellState        int row, int col, enumeration*            VT_I4 x2; VT_I4 (any integer)
//   Table.GetText, .SetText                 int row, int col, BSTR                    VT_I4 x2, VT_BSTR
//   Table.GetFieldId                        int row, int col, LONG_PTR*               VT_I4 x2; VT_I8 on 64-bit
//                                                                                     releases, VT_I4 (any integer)
//   Table.GetCellValue                      int row, int col, VARIANT*                VT_I4 x2; its own type
//   Table.IsMergedCell                      int row, int col, [out] int* x4,          VT_I4 x2, VT_BYREF|VT_I4 x4
//                                           VARIANT_BOOL*                             (else VT_BYREF|VT_INT), VT_BOOL
//   Table.RegenerateTableSuppressed (put)   VARIANT_BOOL                              VT_BOOL
//
// The binding to the running CAD application through its COM automation interface: release 15
// through its interfaces' slots, any other release (and release 15 where its interfaces cannot be
// reached) by name through IDispatch; every call retried while the application is busy. The
// calling thread must already be in a single-threaded apartment (CoInitializeEx with
// COINIT_APARTMENTTHREADED) and stay in it while the link or any handle it gave out lives; every
// call must come from that thread. The first attach registers the thread's message filter until
// the link goes. Creating the link touches nothing and throws nothing but std::bad_alloc; its
// operations throw morvane::Failure.
[[nodiscard]] std::unique_ptr<CadLink> MakeComCadLink(ComCadLinkParts parts = {});

}  // namespace morvane
