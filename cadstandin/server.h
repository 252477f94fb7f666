#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cadstandin/busy.h"
#include "cadstandin/release.h"
#include "cadstandin/scenario.h"

// The stand-in server's shared state on its one thread: the log, the call counters, the failures still
// to inject, the type library, and every automation object it has made.

namespace cadstandin {

// The log file: one UTF-8 line per event, flushed at once so that tests can read it while we run.
class Log {
public:
    Log() = default;
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    ~Log();

    // Opens (truncates) the file; false when it cannot be created.
    [[nodiscard]] bool Open(const std::wstring& path);
    void Line(const std::string& line);

private:
    std::FILE* file_ = nullptr;
};

// Method calls the objects received, as the log's pick-calls and calls lines count them.
struct CallCounts {
    std::uint64_t qi = 0;
    std::uint64_t vtable = 0;
    std::uint64_t getIdsOfNames = 0;
    std::uint64_t invoke = 0;

    [[nodiscard]] std::uint64_t Total() const { return qi + vtable + getIdsOfNames + invoke; }
    [[nodiscard]] CallCounts operator-(const CallCounts& other) const;
    // " qi=.. vtable=.. getidsofnames=.. invoke=.. total=.."
    [[nodiscard]] std::string Fields() const;
};

// What the server reports about each of its automation objects.
class ReportedObject {
public:
    explicit ReportedObject(std::string name);
    ReportedObject(const ReportedObject&) = delete;
    ReportedObject& operator=(const ReportedObject&) = delete;
    virtual ~ReportedObject();

    [[nodiscard]] const std::string& Name() const { return name_; }
    // References beyond the one the server itself holds.
    [[nodiscard]] virtual long OutstandingReferences() const = 0;
    // Strong connections other processes hold (IExternalConnection).
    [[nodiscard]] virtual long ExternalConnections() const = 0;
    // The object's IUnknown, for disconnecting it from clients at exit.
    [[nodiscard]] virtual IUnknown* Identity() = 0;
    // Lines of the object's own state that a dump adds (a table's cells); most objects have none.
    virtual void LogState(Log& /*log*/, const char* /*reason*/) const {}
    // Lines of the object's own state that a dump writes before every refs line (the pre-selection),
    // so that the block from the refs lines to refs-total holds what it always held.
    virtual void LogStateFirst(Log& /*log*/, const char* /*reason*/) const {}

private:
    std::string name_;
};

// The drawing's undo steps, as the CAD application's UNDO command would step back through them: a
// successful write outside an undo mark is one step; everything written between StartUndoMark and the
// matching EndUndoMark (marks nest) is one step. A mark in which nothing was written adds none.
struct UndoSteps {
    int steps = 0;
    int depth = 0;       // marks open
    int groupWrites = 0;  // texts written since the outermost mark opened

    void Start();
    // An EndUndoMark with no mark open changes nothing. The texts the undo group holds when this
    // closes the outermost mark, else 0.
    int End();
    void Wrote();
};

class Server {
public:
    // The one server of this process.
    static Server& Get();

    Log log;
    Scenario scenario;
    CallCounts totals;
    CallCounts atLastPickEnd;
    int invokeDepth = 0;  // > 0 while Invoke runs a member through the type library
    int picks = 0;
    bool published = false;  // the application is in the running object table
    HWND window = nullptr;
    Microsoft::WRL::ComPtr<ITypeLib> typeLibrary;
    // The release it serves; a newer release also loads release 15's library for its entities.
    StandinRelease release;
    Microsoft::WRL::ComPtr<ITypeLib> entityLibrary;
    BusyApplication busy;
    UndoSteps undo;
    // The objects the last call handed out, with the interface they went as. COM's stub asks them for
    // that interface while it marshals the result; a client cannot, as its proxy already holds it.
    // Emptied when the next call arrives.
    std::vector<std::pair<const void*, IID>> handingOut;

    [[nodiscard]] bool IsBeingHandedOut(const void* object, REFIID iid) const;

    // The injected failure for this call (of a table member: for this cell), if one is due (and uses it up).
    [[nodiscard]] std::optional<HRESULT> TakeFailure(const std::string& object, bool isEntity,
                                                     std::string_view operation, CellAddress cell = {});
    // The odd answer this object gives to a read of this member ("Count.get", "Item"), if the scenario
    // has one ("*" answers for every entity). A table's answers for one cell, and its merged ranges,
    // are the table's own.
    [[nodiscard]] const OddAnswer* OddAnswerFor(const std::string& object, bool isEntity, std::string_view operation) const;
    // The type information through which Invoke dispatches the interface.
    [[nodiscard]] Microsoft::WRL::ComPtr<ITypeInfo> TypeInfo(REFIID iid);

    // Writes the pre-selection's line, a refs line for every object, the objects' state lines (a
    // table's cells), the undo line, refs-total and calls (reason: request or exit).
    void DumpReferences(const char* reason);

    void Add(ReportedObject* object) { objects_.push_back(object); }
    void Remove(ReportedObject* object);
    [[nodiscard]] const std::vector<ReportedObject*>& Objects() const { return objects_; }

private:
    std::vector<ReportedObject*> objects_;
};

// "{8E75D910-...}" and the interface's name, for the log.
[[nodiscard]] std::string GuidText(REFGUID guid);
[[nodiscard]] const char* InterfaceName(REFIID iid);
// COM's own marshalling interfaces (and IUnknown): QueryInterface calls for them are not counted.
[[nodiscard]] bool IsComInternal(REFIID iid);
// IDispatch and the stand-in's own interfaces: the ones a busy application rejects calls on.
[[nodiscard]] bool IsAutomationInterface(REFIID iid);

[[nodiscard]] std::string WideToUtf8(std::wstring_view text);
[[nodiscard]] std::u16string AsU16(std::wstring_view text);
[[nodiscard]] std::wstring AsWide(std::u16string_view text);

}  // namespace cadstandin
