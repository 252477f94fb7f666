#include "cadstandin/server.h"

#include <algorithm>
#include <cstdio>

#include "standin_automation.h"
#include "standin_release_automation.h"

namespace cadstandin {

Log::~Log() {
    if (file_ != nullptr) std::fclose(file_);
}

bool Log::Open(const std::wstring& path) {
    file_ = _wfopen(path.c_str(), L"wb");
    return file_ != nullptr;
}

void Log::Line(const std::string& line) {
    if (file_ == nullptr) return;
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

CallCounts CallCounts::operator-(const CallCounts& other) const {
    return {qi - other.qi, vtable - other.vtable, getIdsOfNames - other.getIdsOfNames, invoke - other.invoke};
}

std::string CallCounts::Fields() const {
    return " qi=" + std::to_string(qi) + " vtable=" + std::to_string(vtable) +
           " getidsofnames=" + std::to_string(getIdsOfNames) + " invoke=" + std::to_string(invoke) +
           " total=" + std::to_string(Total());
}

ReportedObject::ReportedObject(std::string name) : name_(std::move(name)) {
    Server::Get().Add(this);
}

ReportedObject::~ReportedObject() {
    Server::Get().Remove(this);
}

Server& Server::Get() {
    static Server server;
    return server;
}

bool Server::IsBeingHandedOut(const void* object, REFIID iid) const {
    return std::any_of(handingOut.begin(), handingOut.end(),
                       [&](const auto& entry) { return entry.first == object && IsEqualIID(entry.second, iid); });
}

void UndoSteps::Start() {
    if (depth++ == 0) groupWrites = 0;
}

int UndoSteps::End() {
    if (depth == 0 || --depth > 0 || groupWrites == 0) return 0;
    ++steps;
    return groupWrites;
}

void UndoSteps::Wrote() {
    if (depth > 0) {
        ++groupWrites;
    } else {
        ++steps;
    }
}

void Server::Remove(ReportedObject* object) {
    objects_.erase(std::remove(objects_.begin(), objects_.end(), object), objects_.end());
}

std::optional<HRESULT> Server::TakeFailure(const std::string& object, bool isEntity, std::string_view operation,
                                           CellAddress cell) {
    for (auto it = scenario.failures.begin(); it != scenario.failures.end(); ++it) {
        if (it->operation != operation) continue;
        if (it->object != object && !(isEntity && it->object == "*")) continue;
        if (!it->cell.Any() && it->cell != cell) continue;
        const HRESULT result = static_cast<HRESULT>(it->result);
        if (it->count != InjectedFailure::kAlways && --it->count == 0) scenario.failures.erase(it);
        return result;
    }
    return std::nullopt;
}

const OddAnswer* Server::OddAnswerFor(const std::string& object, bool isEntity, std::string_view operation) const {
    for (const OddAnswer& answer : scenario.oddAnswers) {
        if (!answer.cell.Any() || answer.kind == OddAnswerKind::Range) continue;
        if (answer.operation == operation && (answer.object == object || (isEntity && answer.object == "*"))) return &answer;
    }
    return nullptr;
}

Microsoft::WRL::ComPtr<ITypeInfo> Server::TypeInfo(REFIID iid) {
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    const auto found = [&](const Microsoft::WRL::ComPtr<ITypeLib>& library) {
        return library && SUCCEEDED(library->GetTypeInfoOfGuid(iid, info.ReleaseAndGetAddressOf()));
    };
    if (!found(typeLibrary) && !found(entityLibrary)) return nullptr;
    // A dual interface's type information describes its dispatch side; Invoke needs the vtable side.
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes))) return nullptr;
    const bool dispatchSide = attributes->typekind == TKIND_DISPATCH;
    info->ReleaseTypeAttr(attributes);
    if (dispatchSide) {
        HREFTYPE vtableSide = 0;
        Microsoft::WRL::ComPtr<ITypeInfo> vtableInfo;
        if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &vtableSide)) &&
            SUCCEEDED(info->GetRefTypeInfo(vtableSide, vtableInfo.GetAddressOf()))) {
            return vtableInfo;
        }
    }
    return info;
}

void Server::DumpReferences(const char* reason) {
    long external = 0;
    long raw = 0;
    for (const ReportedObject* object : objects_) object->LogStateFirst(log, reason);
    for (ReportedObject* object : objects_) {
        const long objectExternal = object->ExternalConnections();
        const long objectRaw = object->OutstandingReferences();
        external += objectExternal;
        raw += objectRaw;
        std::string line = "refs " + object->Name() + " reason=" + reason + " ext=" + std::to_string(objectExternal) +
                           " raw=" + std::to_string(objectRaw);
        if (object->Name() == "app" && published) line += " rot=yes";
        log.Line(line);
    }
    for (const ReportedObject* object : objects_) object->LogState(log, reason);
    log.Line(std::string("undo reason=") + reason + " steps=" + std::to_string(undo.steps) +
             " open=" + std::to_string(undo.depth));
    log.Line(std::string("refs-total reason=") + reason + " ext=" + std::to_string(external) +
             " raw=" + std::to_string(raw));
    log.Line(std::string("calls reason=") + reason + " picks=" + std::to_string(picks) + totals.Fields());
}

std::string GuidText(REFGUID guid) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return buffer;
}

namespace {

struct KnownInterface {
    GUID iid;
    const char* name;
    bool comInternal;
};

// COM's marshalling interfaces that its stubs and proxies ask an object for on their own.
const KnownInterface kKnownInterfaces[] = {
    {{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "IUnknown", true},
    {{0x00000003, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "IMarshal", true},
    {{0x000001CF, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "IMarshal2", true},
    {{0x00000018, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "IStdMarshalInfo", true},
    {{0x00000019, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "IExternalConnection", true},
    {{0xECC8691B, 0xC1DB, 0x4DC0, {0x85, 0x5E, 0x65, 0xF6, 0xC5, 0x51, 0xAF, 0x49}}, "INoMarshal", true},
    {{0x94EA2B94, 0xE9CC, 0x49E0, {0xC0, 0xFF, 0xEE, 0x64, 0xCA, 0x8F, 0x5B, 0x90}}, "IAgileObject", true},
    {{0x0000001B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "IdentityUnmarshal", true},
    {{0x00000008, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "IProxyManager", true},
    {{0x00000144, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "IRpcOptions", true},
    {{0x1C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}}, "ICallFactory", true},
    {{0x0000013D, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "IClientSecurity", true},
    {{0x0000013E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "IServerSecurity", true},
    {{0x00000040, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "IFastRundown", true},
    {{0x000001C8, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "IMarshalEnvoy", true},
    {{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "IDispatch", false},
    {{0xA6EF9860, 0xC720, 0x11D0, {0x93, 0x37, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}}, "IDispatchEx", false},
    {{0xB196B283, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}}, "IProvideClassInfo", false},
    {{0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}}, "ISupportErrorInfo", false},
    {IID_IStandinApplication, "IStandinApplication", false},
    {IID_IStandinDocument, "IStandinDocument", false},
    {IID_IStandinUtility, "IStandinUtility", false},
    {IID_IStandinEntity, "IStandinEntity", false},
    {IID_IStandinText, "IStandinText", false},
    {IID_IStandinAttribute, "IStandinAttribute", false},
    {IID_IStandinBlockReference, "IStandinBlockReference", false},
    {IID_IStandinDimension, "IStandinDimension", false},
    {IID_IStandinMultilineAttribute, "IStandinMultilineAttribute", false},
    {IID_IStandinTable, "IStandinTable", false},
    {IID_IStandinValueTable, "IStandinValueTable", false},
    {IID_IStandinFieldText, "IStandinFieldText", false},
    {IID_IStandinDictionary, "IStandinDictionary", false},
    {IID_IStandinDictionaryEntry, "IStandinDictionaryEntry", false},
    {IID_IStandinSelectionSet, "IStandinSelectionSet", false},
    {IID_IStandinLayers, "IStandinLayers", false},
    {IID_IStandinLayer, "IStandinLayer", false},
    {IID_IStandinReleaseApplication, "IStandinReleaseApplication", false},
    {IID_IStandinReleaseDocument, "IStandinReleaseDocument", false},
    {IID_IStandinReleaseUtility, "IStandinReleaseUtility", false},
};

const KnownInterface* Find(REFIID iid) {
    for (const KnownInterface& known : kKnownInterfaces) {
        if (IsEqualIID(known.iid, iid)) return &known;
    }
    return nullptr;
}

}  // namespace

const char* InterfaceName(REFIID iid) {
    const KnownInterface* known = Find(iid);
    return known != nullptr ? known->name : "other";
}

bool IsComInternal(REFIID iid) {
    const KnownInterface* known = Find(iid);
    return known != nullptr && known->comInternal;
}

bool IsAutomationInterface(REFIID iid) {
    const KnownInterface* known = Find(iid);
    return known != nullptr && !known->comInternal;
}

std::string WideToUtf8(std::wstring_view text) {
    return Utf16ToUtf8(AsU16(text));
}

std::u16string AsU16(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

std::wstring AsWide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

}  // namespace cadstandin
