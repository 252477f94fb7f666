// The stand-in's test client: starts the server with a scenario, attaches to it by ProgID the way the
// product does, calls its methods across the process boundary and checks the server's log.

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "standin_automation.h"
#include "standin_release_automation.h"
#include "testing/support/process.h"
#include "testing/support/text.h"
#include "testing/support/top_windows.h"
#include "testing/support/wait.h"

namespace {

using Microsoft::WRL::ComPtr;
using morvane::testing_support::FindTopWindow;
using morvane::testing_support::Process;
using morvane::testing_support::Waited;
using morvane::testing_support::WaitUntil;
using morvane::testing_support::WindowQuery;
using morvane::testing_support::WindowsPath;
using namespace std::string_literals;

std::wstring g_serverPath;

constexpr HRESULT kPickFailed = static_cast<HRESULT>(0x80020009);
constexpr const wchar_t* kProgId = L"AutoCad.Application.15";
constexpr const wchar_t* kTitle = L"AutoCAD Stand-in - [Drawing1.dwg]";

// ------------------------------------------------------------------------------------------------------
// Small owners

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::u16string_view text)
        : value_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }
    BSTR* Out() {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    [[nodiscard]] BSTR Get() const { return value_; }
    [[nodiscard]] std::u16string Text() const {
        return std::u16string(reinterpret_cast<const char16_t*>(value_), SysStringLen(value_));
    }

private:
    BSTR value_ = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }
    VARIANT* Out() {
        VariantClear(&value_);
        return &value_;
    }
    [[nodiscard]] VARIANT& Get() { return value_; }
    [[nodiscard]] std::u16string Text() const {
        if (V_VT(&value_) != VT_BSTR) return u"<not a string>";
        return std::u16string(reinterpret_cast<const char16_t*>(V_BSTR(&value_)), SysStringLen(V_BSTR(&value_)));
    }

private:
    VARIANT value_;
};

class ExceptionInfo {
public:
    ExceptionInfo() = default;
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
    ~ExceptionInfo() { Clear(); }
    EXCEPINFO* Out() {
        Clear();
        return &info_;
    }
    [[nodiscard]] HRESULT Scode() const { return info_.scode; }

private:
    void Clear() {
        SysFreeString(info_.bstrSource);
        SysFreeString(info_.bstrDescription);
        SysFreeString(info_.bstrHelpFile);
        info_ = EXCEPINFO{};
    }
    EXCEPINFO info_{};
};

std::string Narrow(std::u16string_view text) {
    std::string out;
    for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
    return out;
}

// ------------------------------------------------------------------------------------------------------
// Calls through the raw vtable, by slot number, as the product makes them

template <class Function>
Function SlotOf(IUnknown* object, int slot) {
    return reinterpret_cast<Function>((*reinterpret_cast<void***>(object))[slot]);
}

using NoArguments = HRESULT(STDMETHODCALLTYPE*)(IUnknown*);
using PutBool = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, VARIANT_BOOL);
using GetString = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, BSTR*);
using GetObjectPointer = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, IUnknown**);
using PickEntity = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, IDispatch**, VARIANT*, VARIANT);

// Step by step as the product goes: an interface of a given IID from a getter slot.
HRESULT GetBySlot(IUnknown* object, int slot, REFIID iid, ComPtr<IUnknown>& out) {
    ComPtr<IUnknown> got;
    const HRESULT result = SlotOf<GetObjectPointer>(object, slot)(object, got.GetAddressOf());
    if (FAILED(result)) return result;
    if (!got) return E_POINTER;
    return got->QueryInterface(iid, reinterpret_cast<void**>(out.ReleaseAndGetAddressOf()));
}

HRESULT Pick(IUnknown* utility, ComPtr<IDispatch>& entity, std::u16string_view prompt = u"Select Text from the drawing:") {
    Variant point;
    Variant promptValue;
    V_VT(&promptValue.Get()) = VT_BSTR;
    V_BSTR(&promptValue.Get()) =
        SysAllocStringLen(reinterpret_cast<const OLECHAR*>(prompt.data()), static_cast<UINT>(prompt.size()));
    return SlotOf<PickEntity>(utility, 26)(utility, entity.ReleaseAndGetAddressOf(), point.Out(), promptValue.Get());
}

// ------------------------------------------------------------------------------------------------------
// Calls by name through IDispatch

HRESULT IdOf(IDispatch* object, const wchar_t* name, DISPID& id) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
}

HRESULT InvokeByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* argument, VARIANT* result,
                     ExceptionInfo& exception) {
    DISPID id = 0;
    const HRESULT found = IdOf(object, name, id);
    if (FAILED(found)) return found;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{argument, flags == DISPATCH_PROPERTYPUT ? &named : nullptr, argument != nullptr ? 1u : 0u,
                          flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result, exception.Out(), nullptr);
}

HRESULT GetText(IDispatch* object, const wchar_t* name, std::u16string& text, ExceptionInfo& exception) {
    Variant result;
    const HRESULT outcome = InvokeByName(object, name, DISPATCH_PROPERTYGET, nullptr, result.Out(), exception);
    text = result.Text();
    return outcome;
}

HRESULT PutText(IDispatch* object, const wchar_t* name, std::u16string_view text, ExceptionInfo& exception) {
    Variant value;
    V_VT(&value.Get()) = VT_BSTR;
    V_BSTR(&value.Get()) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    return InvokeByName(object, name, DISPATCH_PROPERTYPUT, &value.Get(), nullptr, exception);
}

HRESULT CallUpdate(IDispatch* object, ExceptionInfo& exception) {
    return InvokeByName(object, L"Update", DISPATCH_METHOD, nullptr, nullptr, exception);
}

// Calls a member by name with its arguments in the order a client writes them (Invoke takes them last
// first). The arguments stay the caller's.
HRESULT CallByName(IDispatch* object, const wchar_t* name, std::vector<VARIANT> arguments, VARIANT* result,
                   ExceptionInfo& exception, WORD flags = DISPATCH_METHOD) {
    DISPID id = 0;
    const HRESULT found = IdOf(object, name, id);
    if (FAILED(found)) return found;
    std::reverse(arguments.begin(), arguments.end());
    DISPPARAMS parameters{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result, exception.Out(), nullptr);
}

VARIANT LongArgument(LONG value) {
    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_I4;
    V_I4(&argument) = value;
    return argument;
}

// How GetEntity's object is passed by name: in the type the type library declares ([out] IDispatch**,
// as VT_BYREF | VT_DISPATCH, as a late-bound Visual Basic client passes Dim ent As Object), or as a
// script passes every variable (VT_BYREF | VT_VARIANT).
enum class ObjectOut { Typed, AsVariant };

// GetEntity by name: the object in the form given, the point as a variant by reference, the prompt.
// pointType (if any) gets the type the point came back as.
HRESULT PickByName(IDispatch* utility, ComPtr<IDispatch>& entity, ExceptionInfo& exception,
                   ObjectOut form = ObjectOut::Typed, std::u16string_view prompt = u"Select:", VARTYPE* pointType = nullptr) {
    entity.Reset();
    Variant object;
    Variant point;
    const Bstr promptText(prompt);
    VARIANT promptArgument;
    VariantInit(&promptArgument);
    V_VT(&promptArgument) = VT_BSTR;
    V_BSTR(&promptArgument) = promptText.Get();
    VARIANT objectArgument;
    VariantInit(&objectArgument);
    if (form == ObjectOut::Typed) {
        V_VT(&objectArgument) = VT_BYREF | VT_DISPATCH;
        V_DISPATCHREF(&objectArgument) = entity.ReleaseAndGetAddressOf();
    } else {
        V_VT(&objectArgument) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&objectArgument) = object.Out();
    }
    VARIANT pointArgument;
    VariantInit(&pointArgument);
    V_VT(&pointArgument) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&pointArgument) = point.Out();
    const HRESULT picked = CallByName(utility, L"GetEntity", {objectArgument, pointArgument, promptArgument}, nullptr, exception);
    if (form == ObjectOut::AsVariant && V_VT(&object.Get()) == VT_DISPATCH) entity = V_DISPATCH(&object.Get());
    if (pointType != nullptr) *pointType = V_VT(&point.Get());
    return picked;
}

// ------------------------------------------------------------------------------------------------------
// The server process

HRESULT AttachByProgId(ComPtr<IUnknown>& application) {
    CLSID clsid{};
    HRESULT result = CLSIDFromProgID(kProgId, &clsid);
    if (FAILED(result)) return result;
    ComPtr<IUnknown> running;
    result = GetActiveObject(clsid, nullptr, running.GetAddressOf());
    if (FAILED(result)) return result;
    return running->QueryInterface(IID_IStandinApplication, reinterpret_cast<void**>(application.ReleaseAndGetAddressOf()));
}

std::wstring TempFolder() {
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    std::wstring folder = std::wstring(path) + L"cadstandin-tests\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring TestFileName(const wchar_t* extension) {
    static int counter = 0;
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "test";
    for (char& c : name) {
        if (c == '/' || c == '\\' || c == ':') c = '_';
    }
    return TempFolder() + std::wstring(name.begin(), name.end()) + L"-" + std::to_wstring(++counter) + extension;
}

class ServerProcess {
public:
    // Starts the server with this scenario (UTF-8) and these extra arguments.
    explicit ServerProcess(const std::string& scenario, const std::wstring& arguments = L"")
        : scenarioPath_(TestFileName(L".txt")), logPath_(TestFileName(L".log")) {
        // A log of an earlier run under the same name would answer for the new server.
        DeleteFileW(logPath_.c_str());
        std::FILE* file = _wfopen(scenarioPath_.c_str(), L"wb");
        if (file != nullptr) {
            std::fwrite(scenario.data(), 1, scenario.size(), file);
            std::fclose(file);
        }
        try {
            process_.emplace(g_serverPath, L"--scenario \"" + scenarioPath_ + L"\" --log \"" + logPath_ + L"\" " +
                                               arguments);
        } catch (const std::runtime_error& error) {
            std::fprintf(stderr, "%s\n", error.what());
        }
    }

    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    ~ServerProcess() { Stop(); }

    [[nodiscard]] bool Started() const { return process_.has_value(); }

    // Waits (at most 30 s) until GetActiveObject finds the server; fails when it ended or never came.
    [[nodiscard]] Waited WaitReady() const {
        if (!process_) return Waited::Failed("the stand-in did not start");
        return process_->WaitWhileRunning(
            [] {
                ComPtr<IUnknown> application;
                return SUCCEEDED(AttachByProgId(application));
            },
            30000, "the stand-in's application in the running object table");
    }

    // Waits for the process to end; its exit code, or STILL_ACTIVE after the timeout.
    DWORD WaitExit(DWORD milliseconds = 15000) const {
        return process_ ? process_->WaitForExit(milliseconds).value_or(STILL_ACTIVE) : STILL_ACTIVE;
    }

    // Asks the server to exit the way a test script does, and ends it when it does not; its exit code.
    DWORD Stop() {
        return process_ ? process_->Close(Window(), 15000).value_or(STILL_ACTIVE) : STILL_ACTIVE;
    }

    // Has the server write its reference counts to the log; true once they are there.
    bool Dump() const {
        DWORD_PTR answer = 0;
        const UINT message = RegisterWindowMessageW(L"CadStandin.DumpReferences");
        return SendMessageTimeoutW(Window(), message, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer) != 0 && answer == 1;
    }

    // Waits (at most 30 s) until the log has a line with the prefix; fails when the server ended first.
    [[nodiscard]] Waited WaitForLogLine(const std::string& prefix) const {
        if (!process_) return Waited::Failed("the stand-in did not start");
        return process_->WaitWhileRunning(
            [&] {
                for (const std::string& line : Log()) {
                    if (line.compare(0, prefix.size(), prefix) == 0) return true;
                }
                return false;
            },
            30000, "a log line " + prefix);
    }

    [[nodiscard]] HWND Window() const {
        return process_ ? FindTopWindow(WindowQuery().OfProcess(process_->Id()).OfClass(L"CadStandinDrawing")) : nullptr;
    }

    [[nodiscard]] std::vector<std::string> Log() const {
        std::vector<std::string> lines;
        std::FILE* file = _wfopen(logPath_.c_str(), L"rb");
        if (file == nullptr) return lines;
        std::string content;
        char buffer[4096];
        std::size_t read = 0;
        while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, read);
        std::fclose(file);
        std::size_t start = 0;
        for (std::size_t end = content.find('\n'); end != std::string::npos; end = content.find('\n', start)) {
            lines.push_back(content.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }

private:
    std::wstring scenarioPath_;
    std::wstring logPath_;
    std::optional<Process> process_;
};

// ------------------------------------------------------------------------------------------------------
// Reading the log

bool StartsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> Lines(const std::vector<std::string>& log, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : log) {
        if (StartsWith(line, prefix)) found.push_back(line);
    }
    return found;
}

bool HasLine(const std::vector<std::string>& log, const std::string& prefix, const std::string& containing = "") {
    for (const std::string& line : Lines(log, prefix)) {
        if (line.find(containing) != std::string::npos) return true;
    }
    return false;
}

// The value of key=value in a log line (up to the next blank; quoted texts are not looked into).
std::optional<std::string> Field(const std::string& line, const std::string& key) {
    const std::size_t at = line.find(" " + key + "=");
    if (at == std::string::npos) return std::nullopt;
    const std::size_t start = at + key.size() + 2;
    return line.substr(start, line.find(' ', start) - start);
}

long Number(const std::string& line, const std::string& key) {
    const std::optional<std::string> value = Field(line, key);
    return value ? std::stol(*value) : -1;
}

std::string Hex(HRESULT result) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lX", static_cast<unsigned long>(result));
    return buffer;
}

// The objects' reference lines of the last dump with this reason, by object name.
std::vector<std::pair<std::string, std::string>> LastReferences(const std::vector<std::string>& log, const std::string& reason) {
    std::vector<std::pair<std::string, std::string>> references;
    for (const std::string& line : log) {
        if (!StartsWith(line, "refs ") || line.find(" reason=" + reason) == std::string::npos) continue;
        const std::string name = line.substr(5, line.find(' ', 5) - 5);
        bool replaced = false;
        for (auto& entry : references) {
            if (entry.first == name) {
                entry.second = line;
                replaced = true;
            }
        }
        if (!replaced) references.emplace_back(name, line);
    }
    return references;
}

class StandinTest : public testing::Test {
protected:
    // Starts the server and attaches to its application, document and utility through their slots.
    void Start(const std::string& scenario) {
        server_.emplace(scenario);
        ASSERT_TRUE(server_->Started());
        const Waited ready = server_->WaitReady();
        ASSERT_TRUE(ready) << ready.Reason();
        ASSERT_EQ(AttachByProgId(application_), S_OK);
        ASSERT_EQ(GetBySlot(application_.Get(), 12, IID_IStandinDocument, document_), S_OK);
        ASSERT_EQ(GetBySlot(document_.Get(), 60, IID_IStandinUtility, utility_), S_OK);
    }
    void LetGo() {
        utility_.Reset();
        document_.Reset();
        application_.Reset();
    }
    void TearDown() override {
        LetGo();
        server_.reset();
    }

    std::optional<ServerProcess> server_;
    ComPtr<IUnknown> application_;
    ComPtr<IUnknown> document_;
    ComPtr<IUnknown> utility_;
};

// ------------------------------------------------------------------------------------------------------
// Slots and IIDs

// Rule: the application, document and utility answer the CAD application's IIDs across the process
// boundary, and each relied-on slot runs the member the product expects.
TEST_F(StandinTest, RelyOnSlotsRunTheirMembers) {
    Start("pick t1\n");
    EXPECT_EQ(SlotOf<PutBool>(application_.Get(), 8)(application_.Get(), VARIANT_TRUE), S_OK);
    Bstr caption;
    EXPECT_EQ(SlotOf<GetString>(application_.Get(), 10)(application_.Get(), caption.Out()), S_OK);
    EXPECT_EQ(caption.Text(), std::u16string(kTitle, kTitle + wcslen(kTitle)));
    wchar_t title[128] = {};
    GetWindowTextW(server_->Window(), title, 128);
    EXPECT_STREQ(title, kTitle) << "the activation title names the application's window";
    EXPECT_TRUE(IsWindowVisible(server_->Window()));
    ComPtr<IDispatch> entity;
    EXPECT_EQ(Pick(utility_.Get(), entity), S_OK);
    ASSERT_TRUE(entity);

    const auto log = server_->Log();
    EXPECT_TRUE(HasLine(log, "call app Visible.put slot=8 via=vtable value=-1 hr=0x00000000"));
    EXPECT_TRUE(HasLine(log, "call app Caption.get slot=10 via=vtable hr=0x00000000 result=\"AutoCAD Stand-in - [Drawing1.dwg]\""));
    EXPECT_TRUE(HasLine(log, "call app ActiveDocument.get slot=12 via=vtable hr=0x00000000"));
    EXPECT_TRUE(HasLine(log, "call doc Utility.get slot=60 via=vtable hr=0x00000000"));
    EXPECT_TRUE(HasLine(log, "call util GetEntity slot=26 via=vtable prompt=\"Select Text from the drawing:\" hr=0x00000000 result=t1"));
    EXPECT_TRUE(HasLine(log, "qi app", "name=IStandinApplication hr=0x00000000"));
    EXPECT_TRUE(HasLine(log, "qi doc", "name=IStandinDocument hr=0x00000000"));
    EXPECT_TRUE(HasLine(log, "qi util", "name=IStandinUtility hr=0x00000000"));
}

// Rule: every slot between the relied-on ones is a placeholder of its own number, so that the slot
// count up to each relied-on member is right through the marshaller too.
TEST_F(StandinTest, PlaceholdersFillEveryGap) {
    Start("");
    struct Gap {
        IUnknown* object;
        const char* name;
        int first;
        int last;
    };
    for (const Gap& gap : {Gap{application_.Get(), "app", 11, 11}, Gap{document_.Get(), "doc", 8, 59},
                           Gap{utility_.Get(), "util", 7, 25}}) {
        for (int slot = gap.first; slot <= gap.last; ++slot) {
            EXPECT_EQ(SlotOf<NoArguments>(gap.object, slot)(gap.object), E_NOTIMPL) << gap.name << " slot " << slot;
        }
    }
    const auto log = server_->Log();
    for (const Gap& gap : {Gap{nullptr, "app", 11, 11}, Gap{nullptr, "doc", 8, 59}, Gap{nullptr, "util", 7, 25}}) {
        for (int slot = gap.first; slot <= gap.last; ++slot) {
            EXPECT_TRUE(HasLine(log, "call "s + gap.name + " Placeholder slot=" + std::to_string(slot) + " via=vtable"))
                << gap.name << " slot " << slot;
        }
    }
}

// Rule: the registered type library, which the marshaller follows, places each relied-on member at its
// slot (FUNCDESC.oVft), with the pick's parameters in the order entity, point, prompt.
TEST_F(StandinTest, TypeLibraryPlacesMembersAtTheirSlots) {
    Start("");
    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(LIBID_CadStandinLib, 1, 0, LOCALE_NEUTRAL, library.GetAddressOf()), S_OK);
    struct Expected {
        const IID* iid;
        const wchar_t* name;
        INVOKEKIND kind;
        int slot;
        int parameters;
    };
    const Expected expected[] = {
        {&IID_IStandinApplication, L"Visible", INVOKE_PROPERTYPUT, 8, 1},
        {&IID_IStandinApplication, L"Caption", INVOKE_PROPERTYGET, 10, 1},
        {&IID_IStandinApplication, L"ActiveDocument", INVOKE_PROPERTYGET, 12, 1},
        {&IID_IStandinDocument, L"Utility", INVOKE_PROPERTYGET, 60, 1},
        {&IID_IStandinUtility, L"GetEntity", INVOKE_FUNC, 26, 3},
    };
    for (const Expected& want : expected) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*want.iid, info.GetAddressOf()), S_OK);
        HREFTYPE vtableSide = 0;
        ComPtr<ITypeInfo> vtableInfo;
        ASSERT_EQ(info->GetRefTypeOfImplType(-1, &vtableSide), S_OK) << "dual";
        ASSERT_EQ(info->GetRefTypeInfo(vtableSide, vtableInfo.GetAddressOf()), S_OK);
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(vtableInfo->GetTypeAttr(&attributes), S_OK);
        EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
        const WORD functions = attributes->cFuncs;
        vtableInfo->ReleaseTypeAttr(attributes);
        bool found = false;
        for (WORD i = 0; i < functions; ++i) {
            FUNCDESC* function = nullptr;
            ASSERT_EQ(vtableInfo->GetFuncDesc(i, &function), S_OK);
            Bstr name;
            vtableInfo->GetDocumentation(function->memid, name.Out(), nullptr, nullptr, nullptr);
            if (name.Text() == std::u16string(want.name, want.name + wcslen(want.name)) && function->invkind == want.kind) {
                found = true;
                EXPECT_EQ(function->oVft, want.slot * static_cast<int>(sizeof(void*))) << Narrow(name.Text());
                EXPECT_EQ(function->cParams, want.parameters) << Narrow(name.Text());
                if (want.parameters == 3) {
                    EXPECT_EQ(function->lprgelemdescParam[0].tdesc.vt, VT_PTR);
                    EXPECT_TRUE(function->lprgelemdescParam[0].paramdesc.wParamFlags & PARAMFLAG_FOUT);
                    EXPECT_TRUE(function->lprgelemdescParam[1].paramdesc.wParamFlags & PARAMFLAG_FOUT);
                    EXPECT_EQ(function->lprgelemdescParam[2].tdesc.vt, VT_VARIANT);
                    EXPECT_TRUE(function->lprgelemdescParam[2].paramdesc.wParamFlags & PARAMFLAG_FIN);
                }
            }
            vtableInfo->ReleaseFuncDesc(function);
        }
        EXPECT_TRUE(found) << "no member " << Narrow(std::u16string(want.name, want.name + wcslen(want.name)));
    }
}

// ------------------------------------------------------------------------------------------------------
// Texts

// Rule: texts travel as counted strings: whatever is written by name is read back whole, and the log
// shows it unambiguously (U+0000 as \0).
struct TextCase {
    const char* name;
    std::u16string text;
    std::string logged;
};

class CountedText : public StandinTest, public testing::WithParamInterface<TextCase> {};

TEST_P(CountedText, WrittenAndReadBackWhole) {
    Start("text t1 40 60 \"a\\0b\"\npick t1\n");
    ComPtr<IDispatch> entity;
    ASSERT_EQ(Pick(utility_.Get(), entity), S_OK);
    ExceptionInfo exception;
    std::u16string text;
    ASSERT_EQ(GetText(entity.Get(), L"TextString", text, exception), S_OK);
    EXPECT_EQ(text, u"a\0b"s) << "the scenario's text arrives with its U+0000";
    ASSERT_EQ(PutText(entity.Get(), L"TextString", GetParam().text, exception), S_OK);
    ASSERT_EQ(GetText(entity.Get(), L"TextString", text, exception), S_OK);
    EXPECT_EQ(text, GetParam().text);
    EXPECT_TRUE(HasLine(server_->Log(), "call t1 TextString.put via=invoke value=" + GetParam().logged + " hr=0x00000000"));
}

INSTANTIATE_TEST_SUITE_P(Cases, CountedText,
                         testing::Values(TextCase{"EmbeddedNul", u"X\0Y\0"s, R"("X\0Y\0")"},
                                         TextCase{"OnlyNul", u"\0"s, R"("\0")"},
                                         TextCase{"Empty", u"", R"("")"},
                                         TextCase{"Underlined", u"%%uNOTE", R"("%%uNOTE")"},
                                         TextCase{"SurrogatePair", u"\U0001F600", "\"\xF0\x9F\x98\x80\""},
                                         TextCase{"LoneSurrogate", u"\xD800x"s, R"("\u{D800}x")"},
                                         TextCase{"Quotes", u"\"q\"\\", R"("\"q\"\\")"}),
                         [](const testing::TestParamInfo<TextCase>& info) { return info.param.name; });

// Rule: every entity kind answers its names by IDispatch; a line has no TextString (unknown name), a
// block gives its attributes as an array of objects with TextString, a dimension has TextOverride.
TEST_F(StandinTest, EntitiesAnswerTheirNames) {
    Start("pick l1\npick b1\npick d1\npick m1\n");
    ComPtr<IDispatch> line;
    ASSERT_EQ(Pick(utility_.Get(), line), S_OK);
    DISPID id = 0;
    EXPECT_EQ(IdOf(line.Get(), L"TextString", id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(IdOf(line.Get(), L"HasAttributes", id), DISP_E_UNKNOWNNAME);
    ExceptionInfo exception;
    std::u16string text;
    EXPECT_EQ(GetText(line.Get(), L"ObjectName", text, exception), S_OK);
    EXPECT_EQ(text, u"AcDbLine");
    EXPECT_EQ(CallUpdate(line.Get(), exception), S_OK);

    ComPtr<IDispatch> block;
    ASSERT_EQ(Pick(utility_.Get(), block), S_OK);
    EXPECT_EQ(IdOf(block.Get(), L"TextString", id), DISP_E_UNKNOWNNAME);
    Variant has;
    ASSERT_EQ(InvokeByName(block.Get(), L"HasAttributes", DISPATCH_PROPERTYGET, nullptr, has.Out(), exception), S_OK);
    EXPECT_EQ(V_VT(&has.Get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(&has.Get()), VARIANT_TRUE);
    Variant attributes;
    ASSERT_EQ(InvokeByName(block.Get(), L"GetAttributes", DISPATCH_METHOD, nullptr, attributes.Out(), exception), S_OK);
    ASSERT_EQ(V_VT(&attributes.Get()), VT_ARRAY | VT_VARIANT);
    LONG upper = -1;
    SafeArrayGetUBound(V_ARRAY(&attributes.Get()), 1, &upper);
    ASSERT_EQ(upper, 1) << "two attributes";
    LONG index = 1;
    Variant element;
    ASSERT_EQ(SafeArrayGetElement(V_ARRAY(&attributes.Get()), &index, element.Out()), S_OK);
    ASSERT_EQ(V_VT(&element.Get()), VT_DISPATCH);
    IDispatch* attribute = V_DISPATCH(&element.Get());
    EXPECT_EQ(GetText(attribute, L"TextString", text, exception), S_OK);
    EXPECT_EQ(text, u"ground floor plan");
    EXPECT_EQ(PutText(attribute, L"TextString", u"GROUND FLOOR PLAN", exception), S_OK);
    EXPECT_EQ(CallUpdate(attribute, exception), S_OK);

    ComPtr<IDispatch> dimension;
    ASSERT_EQ(Pick(utility_.Get(), dimension), S_OK);
    EXPECT_EQ(IdOf(dimension.Get(), L"TextString", id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(GetText(dimension.Get(), L"TextOverride", text, exception), S_OK);
    EXPECT_EQ(text, u"");
    EXPECT_EQ(PutText(dimension.Get(), L"TextOverride", u"WIDTH <>", exception), S_OK);
    EXPECT_EQ(CallUpdate(dimension.Get(), exception), S_OK);

    ComPtr<IDispatch> mtext;
    ASSERT_EQ(Pick(utility_.Get(), mtext), S_OK);
    EXPECT_EQ(GetText(mtext.Get(), L"ObjectName", text, exception), S_OK);
    EXPECT_EQ(text, u"AcDbMText");
    EXPECT_EQ(GetText(mtext.Get(), L"TextString", text, exception), S_OK);

    const auto log = server_->Log();
    EXPECT_TRUE(HasLine(log, "call a2 TextString.put via=invoke value=\"GROUND FLOOR PLAN\" hr=0x00000000"));
    EXPECT_TRUE(HasLine(log, "call a2 Update via=invoke hr=0x00000000"));
    EXPECT_TRUE(HasLine(log, "call d1 TextOverride.put via=invoke value=\"WIDTH <>\" hr=0x00000000"));
    EXPECT_TRUE(HasLine(log, "dispatch l1 GetIDsOfNames name=\"TextString\" hr=0x80020006"));
}

// Rule: a text written is shown only after Update, which redraws the entity (its layout is logged anew).
TEST_F(StandinTest, UpdateRedrawsTheEntity) {
    Start("text t1 40 60 \"ab\"\npick t1\n");
    ComPtr<IDispatch> entity;
    ASSERT_EQ(Pick(utility_.Get(), entity), S_OK);
    const std::string before = Lines(server_->Log(), "layout t1 ").back();
    ExceptionInfo exception;
    ASSERT_EQ(PutText(entity.Get(), L"TextString", u"a much longer text than before", exception), S_OK);
    EXPECT_EQ(Lines(server_->Log(), "layout t1 ").size(), 1u) << "not redrawn before Update";
    ASSERT_EQ(CallUpdate(entity.Get(), exception), S_OK);
    const auto layouts = Lines(server_->Log(), "layout t1 ");
    ASSERT_EQ(layouts.size(), 2u);
    const auto width = [](const std::string& line) {
        const std::string screen = *Field(line, "screen");
        return std::stol(screen.substr(screen.find(',', screen.find(',') + 1) + 1));
    };
    EXPECT_GT(width(layouts.back()), width(before));
}

// ------------------------------------------------------------------------------------------------------
// Failures

// Rule: failures cross the process boundary unchanged: a pick's HRESULT through the vtable, a missed or
// cancelled pick as 0x80020009, an injected failure of a slot call as itself, and of a call by name as
// DISP_E_EXCEPTION carrying it in EXCEPINFO.scode.
TEST_F(StandinTest, PickFailuresCrossUnchanged) {
    Start("pick fail 0x80004005\npick miss\npick cancel\npick fail 0x800706BA\n");
    ComPtr<IDispatch> entity;
    EXPECT_EQ(Hex(Pick(utility_.Get(), entity)), "0x80004005");
    EXPECT_EQ(Hex(Pick(utility_.Get(), entity)), Hex(kPickFailed));
    EXPECT_EQ(Hex(Pick(utility_.Get(), entity)), Hex(kPickFailed));
    EXPECT_EQ(Hex(Pick(utility_.Get(), entity)), "0x800706BA");
    EXPECT_FALSE(entity);
    const auto log = server_->Log();
    EXPECT_TRUE(HasLine(log, "pick-end n=2 outcome=miss hr=0x80020009"));
    EXPECT_TRUE(HasLine(log, "pick-end n=3 outcome=cancel hr=0x80020009"));
}

TEST_F(StandinTest, InjectedFailuresCrossUnchanged) {
    Start("pick t1\npick d1\n"
          "fail app Visible.put 0x80070005\n"
          "fail app Caption.get 0x8001010A\n"
          "fail t1 TextString.put 0x80004005\n"
          "fail t1 Update 0x8007000E\n"
          "fail d1 TextOverride.put 0x80020009\n");
    EXPECT_EQ(Hex(SlotOf<PutBool>(application_.Get(), 8)(application_.Get(), VARIANT_TRUE)), "0x80070005");
    Bstr caption;
    EXPECT_EQ(Hex(SlotOf<GetString>(application_.Get(), 10)(application_.Get(), caption.Out())), "0x8001010A");
    EXPECT_EQ(SlotOf<PutBool>(application_.Get(), 8)(application_.Get(), VARIANT_TRUE), S_OK) << "used up";

    ComPtr<IDispatch> text;
    ASSERT_EQ(Pick(utility_.Get(), text), S_OK);
    ExceptionInfo exception;
    EXPECT_EQ(Hex(PutText(text.Get(), L"TextString", u"NEW", exception)), Hex(DISP_E_EXCEPTION));
    EXPECT_EQ(Hex(exception.Scode()), "0x80004005");
    EXPECT_EQ(Hex(CallUpdate(text.Get(), exception)), Hex(DISP_E_EXCEPTION));
    EXPECT_EQ(Hex(exception.Scode()), "0x8007000E");
    std::u16string unchanged;
    EXPECT_EQ(GetText(text.Get(), L"TextString", unchanged, exception), S_OK);
    EXPECT_EQ(unchanged, u"%%Unote on the plan") << "a refused write changes nothing";

    ComPtr<IDispatch> dimension;
    ASSERT_EQ(Pick(utility_.Get(), dimension), S_OK);
    EXPECT_EQ(Hex(PutText(dimension.Get(), L"TextOverride", u"X", exception)), Hex(DISP_E_EXCEPTION));
    EXPECT_EQ(Hex(exception.Scode()), "0x80020009");

    const auto log = server_->Log();
    EXPECT_TRUE(HasLine(log, "call t1 TextString.put via=invoke value=\"NEW\" hr=0x80004005 injected=yes"));
    EXPECT_TRUE(HasLine(log, "call t1 Update via=invoke hr=0x8007000E injected=yes"));
}

// Rule: with no server running, attaching fails the way the product maps to 429: the ProgID is unknown
// once the stand-in has removed it, and GetActiveObject gives MK_E_UNAVAILABLE for the class.
TEST(NoServer, AttachingFails) {
    ComPtr<IUnknown> application;
    EXPECT_EQ(Hex(AttachByProgId(application)), Hex(CO_E_CLASSSTRING));
    ComPtr<IUnknown> running;
    EXPECT_EQ(Hex(GetActiveObject(CLSID_StandinApplication, nullptr, running.GetAddressOf())), Hex(MK_E_UNAVAILABLE));
}

// Rule: a server that vanishes mid-pick fails the pick (the client is not left hanging); its stale
// registration then gives MK_E_UNAVAILABLE, and the next stand-in starts over it.
TEST_F(StandinTest, VanishingMidPick) {
    Start("pick vanish\n");
    ComPtr<IDispatch> entity;
    const HRESULT picked = Pick(utility_.Get(), entity);
    EXPECT_TRUE(FAILED(picked)) << Hex(picked);
    RecordProperty("vanish_hresult", Hex(picked));
    std::printf("a vanished server's pick fails with %s\n", Hex(picked).c_str());
    EXPECT_EQ(server_->WaitExit(), 99u);
    EXPECT_TRUE(HasLine(server_->Log(), "pick-end n=1 outcome=vanish"));
    LetGo();
    ComPtr<IUnknown> application;
    EXPECT_EQ(Hex(AttachByProgId(application)), Hex(MK_E_UNAVAILABLE));

    ServerProcess next("");
    ASSERT_TRUE(next.WaitReady());
    EXPECT_EQ(next.Stop(), 0u);
    EXPECT_EQ(Hex(AttachByProgId(application)), Hex(CO_E_CLASSSTRING)) << "its registration is gone again";
}

// ------------------------------------------------------------------------------------------------------
// References and counts

// Rule: the server sees another process's hold on each object (external connections), and once the
// client lets go every count is back where it was before the client came.
TEST_F(StandinTest, ReferencesReturnWhenTheClientLetsGo) {
    Start("pick b1\npick t1\n");
    ComPtr<IDispatch> block;
    ASSERT_EQ(Pick(utility_.Get(), block), S_OK);
    ExceptionInfo exception;
    Variant attributes;
    ASSERT_EQ(InvokeByName(block.Get(), L"GetAttributes", DISPATCH_METHOD, nullptr, attributes.Out(), exception), S_OK);
    ComPtr<IDispatch> text;
    ASSERT_EQ(Pick(utility_.Get(), text), S_OK);

    ASSERT_TRUE(server_->Dump());
    for (const auto& [name, line] : LastReferences(server_->Log(), "request")) {
        const bool held = name == "app" || name == "doc" || name == "util" || name == "b1" || name == "t1" ||
                          name == "a1" || name == "a2";
        EXPECT_EQ(Number(line, "ext") > 0, held) << line;
    }

    attributes.Out();
    text.Reset();
    block.Reset();
    LetGo();
    const Waited settled = WaitUntil(
        [&] {
            if (!server_->Dump()) return false;
            for (const auto& [name, line] : LastReferences(server_->Log(), "request")) {
                const bool published = Field(line, "rot").has_value();
                if (Number(line, "ext") != (published ? 1 : 0) || (!published && Number(line, "raw") != 0)) return false;
            }
            return true;
        },
        5000, "no references left after the client let go", 100);
    EXPECT_TRUE(settled) << settled.Reason();
    EXPECT_EQ(server_->Stop(), 0u);
    for (const auto& [name, line] : LastReferences(server_->Log(), "exit")) {
        EXPECT_EQ(Number(line, "ext"), Field(line, "rot") ? 1 : 0) << line;
    }
}

// Rule: the server counts the calls its objects receive per pick, leaving out AddRef/Release and COM's
// own QueryInterface calls; the same run twice costs the same.
TEST_F(StandinTest, CountsTheCallsOfOneRun) {
    Start("pick t1\npick t1\npick t1\n");
    LetGo();
    const auto run = [&] {
        ComPtr<IUnknown> application;
        ASSERT_EQ(AttachByProgId(application), S_OK);
        ComPtr<IUnknown> document;
        ASSERT_EQ(GetBySlot(application.Get(), 12, IID_IStandinDocument, document), S_OK);
        ASSERT_EQ(SlotOf<PutBool>(application.Get(), 8)(application.Get(), VARIANT_TRUE), S_OK);
        Bstr caption;
        ASSERT_EQ(SlotOf<GetString>(application.Get(), 10)(application.Get(), caption.Out()), S_OK);
        ComPtr<IUnknown> utility;
        ASSERT_EQ(GetBySlot(document.Get(), 60, IID_IStandinUtility, utility), S_OK);
        ComPtr<IDispatch> entity;
        ASSERT_EQ(Pick(utility.Get(), entity), S_OK);
        ExceptionInfo exception;
        std::u16string text;
        ASSERT_EQ(GetText(entity.Get(), L"TextString", text, exception), S_OK);
        ASSERT_EQ(PutText(entity.Get(), L"TextString", u"%%uNOTE ON THE PLAN", exception), S_OK);
        ASSERT_EQ(CallUpdate(entity.Get(), exception), S_OK);
    };
    run();
    run();
    run();
    const auto counts = Lines(server_->Log(), "pick-calls ");
    ASSERT_EQ(counts.size(), 3u);
    EXPECT_EQ(counts[1].substr(counts[1].find(" qi=")), counts[2].substr(counts[2].find(" qi=")));
    EXPECT_GT(Number(counts[2], "vtable"), 0);
    EXPECT_EQ(Number(counts[2], "invoke"), 3) << "TextString read, write and Update";
    std::printf("calls one whole run costs the server: %s\n", counts[2].c_str());
    for (const std::string& line : Lines(server_->Log(), "qi ")) {
        if (line.find("internal=yes") != std::string::npos) continue;
        EXPECT_EQ(line.find("name=IUnknown"), std::string::npos) << line;
        EXPECT_EQ(line.find("name=IMarshal"), std::string::npos) << line;
    }
}

// ------------------------------------------------------------------------------------------------------
// The drawing window

// Rule: a pick with an empty queue waits for the user in the window: a click on an entity returns it, a
// click on empty space is a miss, Escape cancels; the foreground window at pick start is recorded.
class ClickTest : public StandinTest {
protected:
    // Once the pick has begun, runs act() on another thread (the pick call blocks this one).
    template <class Act>
    HRESULT PickWhile(ComPtr<IDispatch>& entity, Act act) {
        const std::size_t picksBefore = Lines(server_->Log(), "pick-begin ").size();
        std::thread actor([&] {
            (void)WaitUntil([&] { return Lines(server_->Log(), "pick-begin ").size() > picksBefore; }, 10000);
            act();
        });
        const HRESULT result = Pick(utility_.Get(), entity);
        actor.join();
        return result;
    }

    POINT CenterOf(const std::string& id) {
        const std::string line = Lines(server_->Log(), "layout " + id + " ").back();
        const std::string center = *Field(line, "center");
        return POINT{std::stol(center), std::stol(center.substr(center.find(',') + 1))};
    }

    static void Click(POINT at) {
        SetCursorPos(at.x, at.y);
        INPUT inputs[2] = {};
        inputs[0].type = inputs[1].type = INPUT_MOUSE;
        inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, inputs, sizeof(INPUT));
    }
};

TEST_F(ClickTest, ClickPicksOrMisses) {
    Start("pick-timeout 20\n");
    const POINT text = CenterOf("t2");
    ComPtr<IDispatch> entity;
    EXPECT_EQ(PickWhile(entity, [&] { Click(text); }), S_OK);
    ASSERT_TRUE(entity);
    ExceptionInfo exception;
    std::u16string value;
    EXPECT_EQ(GetText(entity.Get(), L"TextString", value, exception), S_OK);
    EXPECT_EQ(value, u"Abc");

    const POINT empty{text.x + 300, text.y + 140};
    EXPECT_EQ(Hex(PickWhile(entity, [&] { Click(empty); })), Hex(kPickFailed));
    EXPECT_FALSE(entity);

    const HWND window = server_->Window();
    EXPECT_EQ(Hex(PickWhile(entity, [&] { PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0); })), Hex(kPickFailed));
    const auto log = server_->Log();
    EXPECT_TRUE(HasLine(log, "pick-end n=1 outcome=entity id=t2 hr=0x00000000"));
    EXPECT_TRUE(HasLine(log, "pick-end n=2 outcome=miss hr=0x80020009"));
    EXPECT_TRUE(HasLine(log, "pick-end n=3 outcome=cancel hr=0x80020009"));
    EXPECT_TRUE(HasLine(log, "pick-begin n=1 prompt=\"Select Text from the drawing:\"", "source=click"));
}

// Rule: a pick waiting for the user never keeps the client for ever: it ends as cancelled (0x80020009)
// when its timeout passes, and when the server is told to exit, which it then does.
TEST_F(ClickTest, WaitingPickEndsOnTimeoutAndOnExit) {
    Start("pick-timeout 1\n");
    ComPtr<IDispatch> entity;
    EXPECT_EQ(Hex(Pick(utility_.Get(), entity)), Hex(kPickFailed));
    EXPECT_TRUE(HasLine(server_->Log(), "pick-end n=1 outcome=timeout hr=0x80020009"));
    LetGo();
    server_.reset();

    Start("pick-timeout 60\n");
    const HWND window = server_->Window();
    EXPECT_EQ(Hex(PickWhile(entity, [&] { PostMessageW(window, WM_CLOSE, 0, 0); })), Hex(kPickFailed));
    EXPECT_EQ(server_->WaitExit(), 0u);
    EXPECT_TRUE(HasLine(server_->Log(), "pick-end n=1 outcome=cancel hr=0x80020009"));
}

TEST_F(ClickTest, RecordsTheForegroundWindowAtPickStart) {
    Start("pick t1\npick t1\n");
    SetForegroundWindow(server_->Window());
    ComPtr<IDispatch> entity;
    ASSERT_EQ(Pick(utility_.Get(), entity), S_OK);

    const HWND other = CreateWindowExW(0, L"STATIC", L"Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                       100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(other);
    ASSERT_EQ(Pick(utility_.Get(), entity), S_OK);
    DestroyWindow(other);

    const auto log = server_->Log();
    EXPECT_TRUE(HasLine(log, "pick-begin n=1", "foreground=yes")) << Lines(log, "pick-begin n=1")[0];
    EXPECT_TRUE(HasLine(log, "pick-begin n=2", "foreground=no foreground-title=\"Another program\""))
        << Lines(log, "pick-begin n=2")[0];
}

// Rule: Visible shows and hides the drawing window.
TEST_F(StandinTest, VisibleShowsAndHides) {
    Start("visible no\n");
    EXPECT_FALSE(IsWindowVisible(server_->Window()));
    ASSERT_EQ(SlotOf<PutBool>(application_.Get(), 8)(application_.Get(), VARIANT_TRUE), S_OK);
    EXPECT_TRUE(IsWindowVisible(server_->Window()));
    ASSERT_EQ(SlotOf<PutBool>(application_.Get(), 8)(application_.Get(), VARIANT_FALSE), S_OK);
    EXPECT_FALSE(IsWindowVisible(server_->Window()));
}

// ------------------------------------------------------------------------------------------------------
// Registration

std::wstring ProgIdClass() {
    wchar_t value[128] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\AutoCad.Application.15\\CLSID", nullptr, RRF_RT_REG_SZ,
                     nullptr, value, &size) != ERROR_SUCCESS) {
        return L"";
    }
    return value;
}

// Rule: a real installation is never harmed: a ProgID that belongs to another class is refused, or with
// --take-over used and put back exactly at exit.
TEST(Registration, AnotherClassIsRefusedOrPutBack) {
    const std::wstring foreign = L"{11111111-2222-3333-4444-555555555555}";
    struct RemoveForeign {
        ~RemoveForeign() {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\AutoCad.Application.15");
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\AutoCad.Application.15");
        }
    } removeForeign;
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\AutoCad.Application.15\\CLSID", nullptr, REG_SZ,
                              foreign.c_str(), static_cast<DWORD>((foreign.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    {
        ServerProcess refused("");
        EXPECT_EQ(refused.WaitExit(), 3u);
        EXPECT_TRUE(HasLine(refused.Log(), "error code=3", "AutoCad.Application.15 is registered to " +
                                                                std::string(foreign.begin(), foreign.end())));
        EXPECT_EQ(ProgIdClass(), foreign);
    }
    {
        ServerProcess takeOver("", L"--take-over");
        ASSERT_TRUE(takeOver.WaitReady());
        EXPECT_NE(ProgIdClass(), foreign);
        EXPECT_EQ(takeOver.Stop(), 0u);
        EXPECT_TRUE(HasLine(takeOver.Log(), "unregistry progid=restored"));
    }
    EXPECT_EQ(ProgIdClass(), foreign);
}

// Rule: a second stand-in does not start over a running one, and a bad scenario is refused.
TEST(Registration, SecondServerAndBadScenarioAreRefused) {
    ServerProcess first("");
    ASSERT_TRUE(first.WaitReady());
    ServerProcess second("");
    EXPECT_EQ(second.WaitExit(), 3u);
    EXPECT_TRUE(HasLine(second.Log(), "error code=3", "already running"));
    EXPECT_EQ(first.Stop(), 0u);

    ServerProcess bad("pick nobody\n");
    EXPECT_EQ(bad.WaitExit(), 2u);
    EXPECT_TRUE(HasLine(bad.Log(), "error code=2", "nobody"));
}

// ------------------------------------------------------------------------------------------------------
// A newer release, a busy and a hung application

std::wstring ClassesValue(const std::wstring& key) {
    wchar_t value[128] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + key).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS) {
        return L"";
    }
    return value;
}

// The running object of a ProgID, as it is published.
HRESULT RunningObject(const wchar_t* progId, ComPtr<IUnknown>& object) {
    CLSID clsid{};
    const HRESULT found = CLSIDFromProgID(progId, &clsid);
    if (FAILED(found)) return found;
    return GetActiveObject(clsid, nullptr, object.ReleaseAndGetAddressOf());
}

// Rule: a newer release registers its own ProgID and the version-independent one (CurVer naming it)
// under a class of its own, runs beside a release 15 stand-in, and removes only what it added.
TEST(NewerRelease, RegistersItsOwnKeysBesideRelease15) {
    ServerProcess release15("");
    ASSERT_TRUE(release15.WaitReady());
    const std::wstring release15Class = ProgIdClass();
    {
        ServerProcess newer("", L"--release 25");
        ASSERT_TRUE(newer.WaitForLogLine("ready")) << "the newer release did not start beside release 15";
        const std::wstring newerClass = ClassesValue(L"AutoCAD.Application.25\\CLSID");
        EXPECT_FALSE(newerClass.empty());
        EXPECT_NE(newerClass, release15Class);
        EXPECT_EQ(ClassesValue(L"AutoCAD.Application\\CLSID"), newerClass);
        EXPECT_EQ(ClassesValue(L"AutoCAD.Application\\CurVer"), L"AutoCAD.Application.25");
        EXPECT_EQ(ClassesValue(L"CLSID\\" + newerClass + L"\\ProgID"), L"AutoCAD.Application.25");
        EXPECT_EQ(ClassesValue(L"CLSID\\" + newerClass + L"\\VersionIndependentProgID"), L"AutoCAD.Application");
        ComPtr<IUnknown> object;
        EXPECT_EQ(Hex(RunningObject(L"AutoCAD.Application.25", object)), Hex(S_OK));
        EXPECT_EQ(newer.Stop(), 0u);
        EXPECT_TRUE(ClassesValue(L"AutoCAD.Application.25\\CLSID").empty());
        EXPECT_TRUE(ClassesValue(L"AutoCAD.Application\\CLSID").empty());
    }
    // Release 15's registration and its interfaces are untouched: it still answers through its slots.
    EXPECT_EQ(ProgIdClass(), release15Class);
    ComPtr<IUnknown> application;
    ASSERT_EQ(Hex(AttachByProgId(application)), Hex(S_OK));
    Bstr caption;
    EXPECT_EQ(Hex(SlotOf<GetString>(application.Get(), 10)(application.Get(), caption.Out())), Hex(S_OK));
    EXPECT_EQ(caption.Text(), u"AutoCAD Stand-in - [Drawing1.dwg]");
    application.Reset();
    EXPECT_EQ(release15.Stop(), 0u);
    // A second stand-in of the same release still does not start.
    ServerProcess first("", L"--release 25");
    ASSERT_TRUE(first.WaitForLogLine("ready"));
    ServerProcess second("", L"--release 25");
    EXPECT_EQ(second.WaitExit(), 3u);
    EXPECT_TRUE(HasLine(second.Log(), "error code=3", "already running"));
}

// Rule: a newer release's application answers interface IDs of its own, not release 15's, and
// refuses calls through their slots; by name every member answers.
TEST(NewerRelease, RefusesItsSlotsAndAnswersByName) {
    ServerProcess newer("text t1 40 60 \"x\"\n", L"--release 25");
    ASSERT_TRUE(newer.WaitForLogLine("ready"));
    ComPtr<IUnknown> running;
    ASSERT_EQ(Hex(RunningObject(L"AutoCAD.Application.25", running)), Hex(S_OK));
    ComPtr<IUnknown> release15Interface;
    EXPECT_EQ(Hex(running->QueryInterface(IID_IStandinApplication, reinterpret_cast<void**>(release15Interface.GetAddressOf()))),
              Hex(E_NOINTERFACE));
    ComPtr<IUnknown> own;
    ASSERT_EQ(Hex(running->QueryInterface(IID_IStandinReleaseApplication, reinterpret_cast<void**>(own.GetAddressOf()))),
              Hex(S_OK));
    Bstr refused;
    EXPECT_EQ(Hex(SlotOf<GetString>(own.Get(), 10)(own.Get(), refused.Out())), Hex(E_NOTIMPL));
    ComPtr<IDispatch> byName;
    ASSERT_EQ(Hex(running.As(&byName)), Hex(S_OK));
    ExceptionInfo exception;
    std::u16string caption;
    EXPECT_EQ(Hex(GetText(byName.Get(), L"Caption", caption, exception)), Hex(S_OK));
    EXPECT_EQ(caption, u"AutoCAD Stand-in R25 - [Drawing1.dwg]");
    EXPECT_TRUE(HasLine(newer.Log(), "call app Caption.get slot=10 via=vtable", "refused=slot"));
    EXPECT_TRUE(HasLine(newer.Log(), "call app Caption.get slot=10 via=invoke", "hr=0x00000000"));
}

// Rule: a newer release's attributes answer MTextAttribute (true for those the scenario calls
// multiline); release 15's attributes do not know the name.
TEST(NewerRelease, AttributesAnswerMTextAttribute) {
    const std::string scenario = "block b1 40 60 \"DOOR\"\nattribute a1 b1 \"NOTE\" \"x\"\nattribute a2 b1 \"T\" \"y\"\n"
                                 "multiline a1\npick a1\npick a2\n";
    for (const bool newerRelease : {true, false}) {
        SCOPED_TRACE(newerRelease ? "release 25" : "release 15");
        ServerProcess server(scenario, newerRelease ? L"--release 25" : L"");
        ASSERT_TRUE(server.WaitForLogLine("ready"));
        ComPtr<IUnknown> running;
        ASSERT_EQ(Hex(RunningObject(newerRelease ? L"AutoCAD.Application.25" : L"AutoCad.Application.15", running)), Hex(S_OK));
        ComPtr<IDispatch> application;
        ASSERT_EQ(Hex(running.As(&application)), Hex(S_OK));
        ExceptionInfo exception;
        Variant document;
        ASSERT_EQ(Hex(InvokeByName(application.Get(), L"ActiveDocument", DISPATCH_PROPERTYGET, nullptr, document.Out(), exception)), Hex(S_OK));
        Variant utility;
        ASSERT_EQ(Hex(InvokeByName(V_DISPATCH(&document.Get()), L"Utility", DISPATCH_PROPERTYGET, nullptr, utility.Out(), exception)), Hex(S_OK));
        ComPtr<IUnknown> slots;
        ASSERT_EQ(Hex(V_DISPATCH(&utility.Get())->QueryInterface(newerRelease ? IID_IStandinReleaseUtility : IID_IStandinUtility,
                                                                  reinterpret_cast<void**>(slots.GetAddressOf()))),
                  Hex(S_OK));
        for (const bool multiline : {true, false}) {
            ComPtr<IDispatch> attribute;
            if (newerRelease) {
                VARTYPE pointType = VT_EMPTY;
                ASSERT_EQ(Hex(PickByName(V_DISPATCH(&utility.Get()), attribute, exception, ObjectOut::Typed, u"Pick:", &pointType)),
                          Hex(S_OK));
                ASSERT_TRUE(attribute);
                EXPECT_EQ(pointType, VT_ARRAY | VT_R8);
            } else {
                ASSERT_EQ(Hex(Pick(slots.Get(), attribute)), Hex(S_OK));
            }
            Variant answer;
            const HRESULT asked = InvokeByName(attribute.Get(), L"MTextAttribute", DISPATCH_PROPERTYGET, nullptr, answer.Out(), exception);
            if (newerRelease) {
                ASSERT_EQ(Hex(asked), Hex(S_OK));
                ASSERT_EQ(V_VT(&answer.Get()), VT_BOOL);
                EXPECT_EQ(V_BOOL(&answer.Get()), multiline ? VARIANT_TRUE : VARIANT_FALSE);
            } else {
                EXPECT_EQ(Hex(asked), Hex(DISP_E_UNKNOWNNAME));
            }
        }
    }
}

// Rule: while busy, the application's message filter rejects calls on its objects (the client
// gets RPC_E_CALL_REJECTED and the member does not run); once the spell is over they go through.
TEST(BusyApplication, RejectsCallsForTheSpellThenAnswers) {
    ServerProcess server("busy 2\n");
    ASSERT_TRUE(server.WaitReady());
    ComPtr<IUnknown> application;
    ASSERT_EQ(Hex(AttachByProgId(application)), Hex(S_OK));
    Bstr caption;
    EXPECT_EQ(Hex(SlotOf<GetString>(application.Get(), 10)(application.Get(), caption.Out())), Hex(RPC_E_CALL_REJECTED));
    EXPECT_FALSE(HasLine(server.Log(), "call app Caption.get"));
    EXPECT_TRUE(HasLine(server.Log(), "busy reject", "name=IStandinApplication method=10"));
    Sleep(2'500);
    EXPECT_EQ(Hex(SlotOf<GetString>(application.Get(), 10)(application.Get(), caption.Out())), Hex(S_OK));
    EXPECT_TRUE(HasLine(server.Log(), "call app Caption.get slot=10 via=vtable", "hr=0x00000000"));
}

// Rule: in a spell of retry-later the members answer RPC_E_SERVERCALL_RETRYLATER themselves,
// through the slots and (as the exception's scode) by name; a member that hangs runs after its wait.
TEST(BusyApplication, RetryLaterComesFromTheMembersAndHangsWait) {
    ServerProcess server("busy 30 retry-later after app Visible.put\nhang app Caption.get 1\n");
    ASSERT_TRUE(server.WaitReady());
    ComPtr<IUnknown> application;
    ASSERT_EQ(Hex(AttachByProgId(application)), Hex(S_OK));
    Bstr caption;
    EXPECT_EQ(Hex(SlotOf<GetString>(application.Get(), 10)(application.Get(), caption.Out())), Hex(S_OK));
    const std::vector<std::string> log = server.Log();
    const auto hang = std::find_if(log.begin(), log.end(), [](const std::string& line) { return StartsWith(line, "hang app Caption.get"); });
    ASSERT_NE(hang, log.end());
    EXPECT_TRUE(std::any_of(hang, log.end(), [](const std::string& line) { return StartsWith(line, "call app Caption.get"); }));
    EXPECT_EQ(Hex(SlotOf<PutBool>(application.Get(), 8)(application.Get(), VARIANT_TRUE)), Hex(S_OK));
    EXPECT_EQ(Hex(SlotOf<GetString>(application.Get(), 10)(application.Get(), caption.Out())), Hex(RPC_E_SERVERCALL_RETRYLATER));
    ComPtr<IDispatch> byName;
    ASSERT_EQ(Hex(application.As(&byName)), Hex(S_OK));
    ExceptionInfo exception;
    std::u16string text;
    EXPECT_EQ(Hex(GetText(byName.Get(), L"Caption", text, exception)), Hex(DISP_E_EXCEPTION));
    EXPECT_EQ(Hex(exception.Scode()), Hex(RPC_E_SERVERCALL_RETRYLATER));
    EXPECT_TRUE(HasLine(server.Log(), "call app Caption.get slot=10 via=vtable", "busy=yes"));
}

// ------------------------------------------------------------------------------------------------------
// Tables (release 16 on), driven by name as a client drives a newer release

// A table of every kind of cell: a title merged across the three columns, a number, a field, a
// formula, a block, a locked text and plain texts.
constexpr const char* kTableScenario =
    "table t1 40 60 4 3\n"
    "merge t1 0 0 0 2\n"
    "cell t1 0 0 text \"{\\fArial|b1;Door Schedule}\"\n"
    "cell t1 1 0 number \"12.50\"\n"
    "cell t1 1 1 field \"910 x 2100\"\n"
    "cell t1 1 2 formula \"25.00\"\n"
    "cell t1 2 0 block \"DOOR-SWING\"\n"
    "cell t1 2 1 locked \"FD60\"\n"
    "cell t1 2 2 text \"single swing\"\n"
    "cell t1 3 0 text \"D01\"\n"
    "pick t1\n";

class TableTest : public testing::Test {
protected:
    // Starts a release 25 stand-in with the scenario (whose first pick is the table) and picks the
    // table by name, as a client of a newer release does; whilePicking (if any) runs on another thread
    // once the pick has begun.
    void Start(const std::string& scenario, const std::function<void()>& whilePicking = {}) {
        server_.emplace(scenario, L"--release 25");
        ASSERT_TRUE(server_->WaitForLogLine("ready"));
        ComPtr<IUnknown> running;
        ASSERT_EQ(Hex(RunningObject(L"AutoCAD.Application.25", running)), Hex(S_OK));
        ComPtr<IDispatch> application;
        ASSERT_EQ(Hex(running.As(&application)), Hex(S_OK));
        Variant document;
        ASSERT_EQ(Hex(InvokeByName(application.Get(), L"ActiveDocument", DISPATCH_PROPERTYGET, nullptr, document.Out(), exception_)),
                  Hex(S_OK));
        Variant utility;
        ASSERT_EQ(Hex(InvokeByName(V_DISPATCH(&document.Get()), L"Utility", DISPATCH_PROPERTYGET, nullptr, utility.Out(), exception_)),
                  Hex(S_OK));
        utility_ = V_DISPATCH(&utility.Get());
        std::thread actor;
        if (whilePicking) {
            actor = std::thread([&] {
                (void)WaitUntil([&] { return !Lines(server_->Log(), "pick-begin ").empty(); }, 10000);
                whilePicking();
            });
        }
        const HRESULT picked = PickByName(utility_.Get(), table_, exception_, ObjectOut::Typed, u"Select a table:");
        if (actor.joinable()) actor.join();
        ASSERT_EQ(Hex(picked), Hex(S_OK));
        ASSERT_TRUE(table_);
    }
    void TearDown() override {
        table_.Reset();
        utility_.Reset();
        server_.reset();
    }

    // A member that takes a cell (row, col) and nothing else.
    HRESULT OfCell(const wchar_t* member, LONG row, LONG col, Variant& result) {
        return CallByName(table_.Get(), member, {LongArgument(row), LongArgument(col)}, result.Out(), exception_);
    }
    std::u16string TextOf(LONG row, LONG col) {
        Variant text;
        const HRESULT outcome = OfCell(L"GetText", row, col, text);
        return SUCCEEDED(outcome) ? text.Text() : u"<failed>";
    }
    HRESULT SetText(LONG row, LONG col, std::u16string_view text) {
        const Bstr value(text);
        VARIANT argument;
        VariantInit(&argument);
        V_VT(&argument) = VT_BSTR;
        V_BSTR(&argument) = value.Get();
        return CallByName(table_.Get(), L"SetText", {LongArgument(row), LongArgument(col), argument}, nullptr, exception_);
    }
    // IsMergedCell with its four bounds passed as VT_BYREF | VT_I4, or as VT_BYREF | VT_VARIANT (refused).
    HRESULT IsMerged(LONG row, LONG col, bool asVariants, std::array<LONG, 4>& bounds, Variant& merged) {
        bounds.fill(-7);
        std::array<Variant, 4> variants;
        std::vector<VARIANT> arguments{LongArgument(row), LongArgument(col)};
        for (std::size_t i = 0; i < 4; ++i) {
            VARIANT out;
            VariantInit(&out);
            if (asVariants) {
                V_VT(&out) = VT_BYREF | VT_VARIANT;
                V_VARIANTREF(&out) = variants[i].Out();
            } else {
                V_VT(&out) = VT_BYREF | VT_I4;
                V_I4REF(&out) = &bounds[i];
            }
            arguments.push_back(out);
        }
        const HRESULT outcome = CallByName(table_.Get(), L"IsMergedCell", arguments, merged.Out(), exception_);
        if (asVariants) {
            for (std::size_t i = 0; i < 4; ++i) {
                bounds[i] = V_VT(&variants[i].Get()) == VT_I4 ? V_I4(&variants[i].Get()) : -100 - V_VT(&variants[i].Get());
            }
        }
        return outcome;
    }

    std::optional<ServerProcess> server_;
    ComPtr<IDispatch> utility_;
    ComPtr<IDispatch> table_;
    ExceptionInfo exception_;
};

// Rule: a table answers its members by name across the process boundary: its size (as VT_INT, the
// int the type library declares), each cell's type, text (a hidden merged cell's and a block's ""),
// field id (a field's and a formula's not zero, as wide as LONG_PTR), state (locked), and
// IsMergedCell's range through its int out parameters, passed as VT_BYREF | VT_I4.
TEST_F(TableTest, MembersAnswerByName) {
    ASSERT_NO_FATAL_FAILURE(Start(kTableScenario));
    std::u16string text;
    EXPECT_EQ(Hex(GetText(table_.Get(), L"ObjectName", text, exception_)), Hex(S_OK));
    EXPECT_EQ(text, u"AcDbTable");
    EXPECT_EQ(Hex(GetText(table_.Get(), L"Handle", text, exception_)), Hex(S_OK));
    EXPECT_EQ(text, u"t1");
    for (const auto& [name, expected] : {std::pair{L"Rows", 4}, std::pair{L"Columns", 3}}) {
        Variant count;
        EXPECT_EQ(Hex(InvokeByName(table_.Get(), name, DISPATCH_PROPERTYGET, nullptr, count.Out(), exception_)), Hex(S_OK));
        EXPECT_EQ(V_VT(&count.Get()), VT_INT);
        EXPECT_EQ(V_INT(&count.Get()), expected) << Narrow(std::u16string(name, name + wcslen(name)));
    }

    EXPECT_EQ(TextOf(0, 0), u"{\\fArial|b1;Door Schedule}") << "formatted text comes back with its codes";
    EXPECT_EQ(TextOf(0, 2), u"") << "a cell hidden by the merge";
    EXPECT_EQ(TextOf(1, 0), u"12.50");
    EXPECT_EQ(TextOf(1, 1), u"910 x 2100") << "a field answers its value";
    EXPECT_EQ(TextOf(1, 2), u"25.00") << "a formula answers its value";
    EXPECT_EQ(TextOf(2, 0), u"") << "a block cell has no text";

    const LONG cellTypes[][3] = {{1, 1, 1}, {1, 1, 1}, {2, 1, 1}, {1, 1, 1}};
    const LONG cellStates[][3] = {{0, 0, 0}, {0, 0, 0}, {0, 1, 0}, {0, 0, 0}};
    const VARTYPE fieldType = sizeof(void*) == 8 ? VT_I8 : VT_I4;
    for (LONG row = 0; row < 4; ++row) {
        for (LONG col = 0; col < 3; ++col) {
            SCOPED_TRACE(std::to_string(row) + "," + std::to_string(col));
            Variant answer;
            ASSERT_EQ(Hex(OfCell(L"GetCellType", row, col, answer)), Hex(S_OK));
            EXPECT_EQ(V_VT(&answer.Get()), VT_I4);
            EXPECT_EQ(V_I4(&answer.Get()), cellTypes[row][col]);
            ASSERT_EQ(Hex(OfCell(L"GetCellState", row, col, answer)), Hex(S_OK));
            EXPECT_EQ(V_I4(&answer.Get()), cellStates[row][col]);
            ASSERT_EQ(Hex(OfCell(L"GetFieldId", row, col, answer)), Hex(S_OK));
            ASSERT_EQ(V_VT(&answer.Get()), fieldType);
            const LONGLONG field = fieldType == VT_I8 ? V_I8(&answer.Get()) : V_I4(&answer.Get());
            EXPECT_EQ(field != 0, row == 1 && col > 0);
            if (field != 0 && fieldType == VT_I8) {
                EXPECT_GT(field, 0xFFFFFFFFLL) << "a 64-bit object id";
            }
        }
    }

    std::array<LONG, 4> bounds{};
    Variant merged;
    ASSERT_EQ(Hex(IsMerged(0, 1, false, bounds, merged)), Hex(S_OK));
    ASSERT_EQ(V_VT(&merged.Get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(&merged.Get()), VARIANT_TRUE);
    EXPECT_EQ(bounds, (std::array<LONG, 4>{0, 0, 0, 2})) << "minRow, maxRow, minCol, maxCol";
    ASSERT_EQ(Hex(IsMerged(2, 1, false, bounds, merged)), Hex(S_OK));
    EXPECT_EQ(V_BOOL(&merged.Get()), VARIANT_FALSE);
    EXPECT_EQ(bounds, (std::array<LONG, 4>{2, 2, 1, 1})) << "a cell in no merge is its own range";

    const auto log = server_->Log();
    EXPECT_TRUE(HasLine(log, "call t1 GetText via=invoke row=1 col=1 hr=0x00000000 result=\"910 x 2100\""));
    EXPECT_TRUE(HasLine(log, "call t1 IsMergedCell via=invoke row=0 col=1 hr=0x00000000 result=-1 range=0,0,0,2"));
    EXPECT_TRUE(HasLine(log, "call t1 Rows.get via=invoke hr=0x00000000 result=4"));
}

// Rule: by name, an out-argument is taken only in the type the type library declares, as the CAD
// application's own Invoke takes it: GetEntity's object as VT_BYREF | VT_DISPATCH and IsMergedCell's
// bounds as VT_BYREF | VT_I4 are answered; each passed as VT_BYREF | VT_VARIANT (as a script passes
// it) is refused with DISP_E_TYPEMISMATCH before the member runs, also where the stand-in answers the
// call itself (an odd answer).
TEST_F(TableTest, OutArgumentsAreTakenOnlyInTheirDeclaredTypes) {
    ASSERT_NO_FATAL_FAILURE(Start(std::string(kTableScenario) + "pick t1\nanswer t1 IsMergedCell null cell 3 0\n"));
    ComPtr<IDispatch> picked;
    EXPECT_EQ(Hex(PickByName(utility_.Get(), picked, exception_, ObjectOut::AsVariant)), Hex(DISP_E_TYPEMISMATCH));
    EXPECT_FALSE(picked);
    EXPECT_EQ(Lines(server_->Log(), "pick-begin ").size(), 1u) << "the refused pick never began";
    EXPECT_EQ(Hex(PickByName(utility_.Get(), picked, exception_, ObjectOut::Typed)), Hex(S_OK));
    EXPECT_TRUE(picked);

    struct Asked {
        LONG row;
        LONG col;
        VARTYPE answer;
    };
    // Cell 0,1 is answered by the member, cell 3,0 by the stand-in itself (the scenario's odd answer).
    for (const Asked asked : {Asked{0, 1, VT_BOOL}, Asked{3, 0, VT_NULL}}) {
        SCOPED_TRACE(std::to_string(asked.row) + "," + std::to_string(asked.col));
        std::array<LONG, 4> bounds{};
        Variant merged;
        EXPECT_EQ(Hex(IsMerged(asked.row, asked.col, true, bounds, merged)), Hex(DISP_E_TYPEMISMATCH));
        EXPECT_EQ(V_VT(&merged.Get()), VT_EMPTY);
        EXPECT_EQ(Hex(IsMerged(asked.row, asked.col, false, bounds, merged)), Hex(S_OK));
        EXPECT_EQ(V_VT(&merged.Get()), asked.answer);
    }
    const auto log = server_->Log();
    EXPECT_EQ(Lines(log, "call t1 IsMergedCell ").size(), 1u) << "the member ran for the typed call only";
    EXPECT_TRUE(HasLine(log, "dispatch util Invoke dispid=1 flags=method hr=0x80020005"));
    EXPECT_TRUE(HasLine(log, "dispatch t1 Invoke dispid=307 flags=method hr=0x80020005"));
}

// Rule: SetText makes any cell a text cell (the log says what it replaced, a number or a field), the
// window shows it after Update; a locked cell and a cell outside the table are refused, the reason
// crossing as the exception's scode; the dump shows every cell; the client's references come back.
TEST_F(TableTest, SetTextWritesCellsAndRefusesLockedOnes) {
    ASSERT_NO_FATAL_FAILURE(Start(kTableScenario));
    EXPECT_EQ(Hex(SetText(1, 0, u"Twelve")), Hex(S_OK));
    EXPECT_EQ(TextOf(1, 0), u"Twelve");
    EXPECT_EQ(Hex(SetText(1, 1, u"910 X 2100")), Hex(S_OK));
    Variant answer;
    ASSERT_EQ(Hex(OfCell(L"GetFieldId", 1, 1, answer)), Hex(S_OK));
    EXPECT_EQ(V_VT(&answer.Get()) == VT_I8 ? V_I8(&answer.Get()) : V_I4(&answer.Get()), 0) << "the field is gone";
    EXPECT_EQ(Hex(SetText(0, 0, u"DOOR SCHEDULE")), Hex(S_OK));
    EXPECT_EQ(Hex(SetText(0, 2, u"behind the merge")), Hex(S_OK));
    EXPECT_EQ(TextOf(0, 2), u"behind the merge") << "each cell of a merge keeps its own text";
    EXPECT_EQ(TextOf(0, 0), u"DOOR SCHEDULE");

    EXPECT_EQ(Hex(SetText(2, 1, u"fd60")), Hex(DISP_E_EXCEPTION));
    EXPECT_EQ(Hex(exception_.Scode()), Hex(E_ACCESSDENIED));
    EXPECT_EQ(TextOf(2, 1), u"FD60");
    for (const auto& [row, col] : {std::pair{4, 0}, std::pair{0, 3}, std::pair{-1, 0}}) {
        EXPECT_EQ(Hex(SetText(row, col, u"x")), Hex(DISP_E_EXCEPTION));
        EXPECT_EQ(Hex(exception_.Scode()), Hex(E_INVALIDARG));
        EXPECT_EQ(Hex(OfCell(L"GetText", row, col, answer)), Hex(DISP_E_EXCEPTION));
        EXPECT_EQ(Hex(exception_.Scode()), Hex(E_INVALIDARG));
    }
    EXPECT_EQ(Hex(CallUpdate(table_.Get(), exception_)), Hex(S_OK));

    const auto log = server_->Log();
    EXPECT_TRUE(HasLine(log, "call t1 SetText via=invoke row=1 col=0 value=\"Twelve\" hr=0x00000000 replaced=number"));
    EXPECT_TRUE(HasLine(log, "call t1 SetText via=invoke row=1 col=1 value=\"910 X 2100\" hr=0x00000000 replaced=field"));
    EXPECT_TRUE(HasLine(log, "call t1 SetText via=invoke row=0 col=0 value=\"DOOR SCHEDULE\" hr=0x00000000"));
    EXPECT_TRUE(HasLine(log, "call t1 SetText via=invoke row=0 col=2 value=\"behind the merge\" hr=0x00000000 hidden=yes"));
    EXPECT_TRUE(HasLine(log, "call t1 SetText via=invoke row=2 col=1 value=\"fd60\" hr=0x80070005 refused=locked"));
    EXPECT_EQ(Lines(log, "layout t1 kind=table").size(), 2u) << "laid out at start and after Update";

    table_.Reset();
    utility_.Reset();
    ASSERT_TRUE(server_->Dump());
    const auto dumped = server_->Log();
    EXPECT_TRUE(HasLine(dumped, "table t1 reason=request rows=4 columns=3"));
    EXPECT_TRUE(HasLine(dumped, "cell t1 row=1 col=0 type=1 state=0 field=0 content=text text=\"Twelve\""));
    EXPECT_TRUE(HasLine(dumped, "cell t1 row=0 col=1 type=1 state=0 field=0 content=empty merge=0,0,0,2 text=\"\""));
    EXPECT_TRUE(HasLine(dumped, "cell t1 row=0 col=2 type=1 state=0 field=0 content=text merge=0,0,0,2 text=\"behind the merge\""));
    EXPECT_TRUE(HasLine(dumped, "cell t1 row=2 col=0 type=2 state=0 field=0 content=block block=\"DOOR-SWING\" text=\"\""));
    EXPECT_TRUE(HasLine(dumped, "cell t1 row=2 col=1 type=1 state=1 field=0 content=text text=\"FD60\""));
    EXPECT_EQ(Lines(dumped, "cell t1 ").size(), 12u);
    for (const auto& [name, line] : LastReferences(dumped, "request")) {
        if (name == "app") continue;
        EXPECT_EQ(Field(line, "ext"), "0") << line;
    }
}

// Rule: failures, hangs and odd answers can be for one cell or for every cell; a count can be answered
// with a text or a huge number, a text with a null, a merge with a range that misses its own cell.
TEST_F(TableTest, FailuresAndOddAnswersForOneCell) {
    ASSERT_NO_FATAL_FAILURE(Start(std::string(kTableScenario) +
                                  "fail t1 GetText 0x80004005 cell 1 1\n"
                                  "fail t1 SetText 0x8007000E always\n"
                                  "hang t1 GetCellState 1 cell 3 0\n"
                                  "answer t1 GetText null cell 2 2\n"
                                  "answer t1 Rows.get text \"7\"\n"
                                  "answer t1 Columns.get number 2147483647\n"
                                  "answer t1 IsMergedCell range 0 0 1 2 cell 2 0\n"));
    Variant answer;
    EXPECT_EQ(Hex(OfCell(L"GetText", 1, 1, answer)), Hex(DISP_E_EXCEPTION));
    EXPECT_EQ(Hex(exception_.Scode()), Hex(E_FAIL));
    EXPECT_EQ(TextOf(1, 1), u"910 x 2100") << "the failure was for one call";
    EXPECT_EQ(TextOf(1, 2), u"25.00");
    EXPECT_EQ(Hex(SetText(3, 0, u"d01")), Hex(DISP_E_EXCEPTION));
    EXPECT_EQ(Hex(exception_.Scode()), Hex(E_OUTOFMEMORY));
    EXPECT_EQ(TextOf(3, 0), u"D01");

    ASSERT_EQ(Hex(OfCell(L"GetText", 2, 2, answer)), Hex(S_OK));
    EXPECT_EQ(V_VT(&answer.Get()), VT_NULL);
    EXPECT_EQ(TextOf(2, 1), u"FD60");
    ASSERT_EQ(Hex(InvokeByName(table_.Get(), L"Rows", DISPATCH_PROPERTYGET, nullptr, answer.Out(), exception_)), Hex(S_OK));
    EXPECT_EQ(answer.Text(), u"7");
    ASSERT_EQ(Hex(InvokeByName(table_.Get(), L"Columns", DISPATCH_PROPERTYGET, nullptr, answer.Out(), exception_)), Hex(S_OK));
    EXPECT_EQ(V_VT(&answer.Get()), VT_INT) << "a number where an int belongs comes in the declared type";
    EXPECT_EQ(V_INT(&answer.Get()), 2147483647);

    std::array<LONG, 4> bounds{};
    ASSERT_EQ(Hex(IsMerged(2, 0, false, bounds, answer)), Hex(S_OK));
    EXPECT_EQ(V_BOOL(&answer.Get()), VARIANT_TRUE);
    EXPECT_EQ(bounds, (std::array<LONG, 4>{0, 0, 1, 2})) << "a range without the cell asked for";

    ASSERT_EQ(Hex(OfCell(L"GetCellState", 3, 0, answer)), Hex(S_OK));
    const auto log = server_->Log();
    EXPECT_TRUE(HasLine(log, "call t1 GetText via=invoke row=1 col=1 hr=0x80004005 injected=yes"));
    EXPECT_TRUE(HasLine(log, "dispatch t1 Invoke dispid=304 flags=method hr=0x00000000 answer=odd row=2 col=2"));
    EXPECT_TRUE(HasLine(log, "call t1 IsMergedCell via=invoke row=2 col=0 hr=0x00000000 result=-1 range=0,0,1,2 answer=odd"));
    EXPECT_TRUE(HasLine(log, "hang t1 GetCellState milliseconds=1000"));
}

// Rule: a click on any cell of a table (here the last, away from its centre) picks the table.
TEST_F(TableTest, AClickOnACellPicksTheTable) {
    std::string scenario = kTableScenario;
    scenario.replace(scenario.find("pick t1\n"), 8, "pick click\npick-timeout 20\n");
    ASSERT_NO_FATAL_FAILURE(Start(scenario, [&] {
        const std::string layout = Lines(server_->Log(), "layout t1 ").back();
        const std::string screen = *Field(layout, "screen");
        long x = 0, y = 0, width = 0, height = 0;
        ASSERT_EQ(std::sscanf(screen.c_str(), "%ld,%ld,%ld,%ld", &x, &y, &width, &height), 4);
        SetCursorPos(x + width - 6, y + height - 6);
        INPUT inputs[2] = {};
        inputs[0].type = inputs[1].type = INPUT_MOUSE;
        inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, inputs, sizeof(INPUT));
    }));
    std::u16string name;
    EXPECT_EQ(Hex(GetText(table_.Get(), L"ObjectName", name, exception_)), Hex(S_OK));
    EXPECT_EQ(name, u"AcDbTable");
    EXPECT_TRUE(HasLine(server_->Log(), "pick-end n=1 outcome=entity id=t1 hr=0x00000000"));
}

// Rule: release 15 has no tables: a scenario with one is refused at start.
TEST(Tables, Release15RefusesThem) {
    ServerProcess server("table t1 40 60 2 2\n");
    EXPECT_EQ(server.WaitExit(), 2u);
    EXPECT_TRUE(HasLine(server.Log(), "error code=2", "tables exist from release 16 on"));
}

// ------------------------------------------------------------------------------------------------------
// What a drawing keeps: fields, extension dictionaries, multileaders, tolerances, undo marks

// A client that drives the stand-in by name only, as the product drives a newer release (and release
// 15's document for its undo marks).
class KeptTest : public testing::Test {
protected:
    void Start(const std::string& scenario, int release = 25) {
        server_.emplace(scenario, release == 15 ? L"" : L"--release " + std::to_wstring(release));
        ASSERT_TRUE(server_->WaitForLogLine("ready"));
        ComPtr<IUnknown> running;
        const std::wstring progId = release == 15 ? L"AutoCad.Application.15" : L"AutoCAD.Application." + std::to_wstring(release);
        ASSERT_EQ(Hex(RunningObject(progId.c_str(), running)), Hex(S_OK));
        ASSERT_EQ(Hex(running.As(&application_)), Hex(S_OK));
        ASSERT_EQ(Hex(ObjectOf(application_.Get(), L"ActiveDocument", document_)), Hex(S_OK));
        ASSERT_EQ(Hex(ObjectOf(document_.Get(), L"Utility", utility_)), Hex(S_OK));
    }
    void TearDown() override {
        utility_.Reset();
        document_.Reset();
        application_.Reset();
        server_.reset();
    }

    // Lets go of the application, document and utility, then waits until no object but the published
    // application has a client.
    void ExpectEveryReferenceBack() {
        utility_.Reset();
        document_.Reset();
        application_.Reset();
        const Waited settled = WaitUntil(
            [&] {
                if (!server_->Dump()) return false;
                for (const auto& [name, line] : LastReferences(server_->Log(), "request")) {
                    if (Number(line, "ext") != (Field(line, "rot") ? 1 : 0)) return false;
                }
                return true;
            },
            5000, "no references left after the client let go", 100);
        EXPECT_TRUE(settled) << settled.Reason();
    }

    // A property or method answering an object, by name.
    HRESULT ObjectOf(IDispatch* object, const wchar_t* name, ComPtr<IDispatch>& out, std::vector<VARIANT> arguments = {},
                     WORD flags = DISPATCH_PROPERTYGET | DISPATCH_METHOD) {
        Variant result;
        const HRESULT outcome = CallByName(object, name, std::move(arguments), result.Out(), exception_, flags);
        if (FAILED(outcome)) return outcome;
        if (V_VT(&result.Get()) != VT_DISPATCH || V_DISPATCH(&result.Get()) == nullptr) return E_UNEXPECTED;
        out = V_DISPATCH(&result.Get());
        return S_OK;
    }
    // The next pick of the scenario's queue, by name.
    ComPtr<IDispatch> PickNext() {
        ComPtr<IDispatch> picked;
        EXPECT_EQ(Hex(PickByName(utility_.Get(), picked, exception_)), Hex(S_OK));
        return picked;
    }
    std::u16string Read(IDispatch* object, const wchar_t* name, WORD flags = DISPATCH_PROPERTYGET) {
        Variant result;
        const HRESULT outcome = CallByName(object, name, {}, result.Out(), exception_, flags);
        return SUCCEEDED(outcome) ? result.Text() : u"<failed " + AsU16(Hex(outcome)) + u">";
    }
    HRESULT Write(IDispatch* object, std::u16string_view text) { return PutText(object, L"TextString", text, exception_); }
    // The value of a property or method answering a number or a Boolean (VT_I4 or VT_BOOL), or -1000.
    long NumberOf(IDispatch* object, const wchar_t* name, WORD flags = DISPATCH_PROPERTYGET) {
        Variant result;
        if (FAILED(CallByName(object, name, {}, result.Out(), exception_, flags))) return -1000;
        if (V_VT(&result.Get()) == VT_BOOL) return V_BOOL(&result.Get());
        return V_VT(&result.Get()) == VT_I4 ? V_I4(&result.Get()) : -1000;
    }
    static std::u16string AsU16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

    std::optional<ServerProcess> server_;
    ComPtr<IDispatch> application_;
    ComPtr<IDispatch> document_;
    ComPtr<IDispatch> utility_;
    ExceptionInfo exception_;
};

const char16_t kDateField[] = uR"(%<\AcVar Date \f "M/d/yyyy">%)";

// Rule: a text with fields answers TextString with the values and FieldCode with the expressions; a
// TextString written with expressions stores them as fields again (logged fields=<n>); one written
// without has none, and FieldCode then answers the text itself.
TEST_F(KeptTest, FieldCodeAndTextStringRoundTrip) {
    ASSERT_NO_FATAL_FAILURE(Start(
        "text t1 40 60 \"Plotted %<\\AcVar Date \\f \\\"M/d/yyyy\\\">%\"\n"
        "field t1 \"%<\\AcVar Date \\f \\\"M/d/yyyy\\\">%\" \"12/10/2026\"\n"
        "mtext m1 40 120 \"Area %<\\AcObjProp Object(%<\\_ObjId 42>%).Area>%\"\n"
        "pick t1\npick m1\n"));
    const ComPtr<IDispatch> text = PickNext();
    ASSERT_TRUE(text);
    EXPECT_EQ(Read(text.Get(), L"TextString"), u"Plotted 12/10/2026");
    EXPECT_EQ(Read(text.Get(), L"FieldCode", DISPATCH_METHOD), u"Plotted " + std::u16string(kDateField));
    EXPECT_EQ(Hex(Write(text.Get(), u"PLOTTED " + std::u16string(kDateField))), Hex(S_OK));
    EXPECT_EQ(Read(text.Get(), L"TextString"), u"PLOTTED 12/10/2026");
    EXPECT_EQ(Read(text.Get(), L"FieldCode", DISPATCH_METHOD), u"PLOTTED " + std::u16string(kDateField));
    EXPECT_EQ(Hex(Write(text.Get(), u"PLOTTED 12/10/2026")), Hex(S_OK));
    EXPECT_EQ(Read(text.Get(), L"FieldCode", DISPATCH_METHOD), u"PLOTTED 12/10/2026") << "the field is gone";

    const ComPtr<IDispatch> mtext = PickNext();
    ASSERT_TRUE(mtext);
    EXPECT_EQ(Read(mtext.Get(), L"TextString"), u"Area ####") << "an expression nobody declared";
    EXPECT_EQ(Read(mtext.Get(), L"FieldCode", DISPATCH_METHOD), uR"(Area %<\AcObjProp Object(%<\_ObjId 42>%).Area>%)");

    const auto log = server_->Log();
    EXPECT_TRUE(HasLine(log, "call t1 FieldCode via=invoke hr=0x00000000 result=\"Plotted %<\\\\AcVar Date"));
    EXPECT_TRUE(HasLine(log, "call t1 TextString.put via=invoke value=\"PLOTTED %<", "hr=0x00000000 fields=1"));
    EXPECT_TRUE(HasLine(log, "call t1 TextString.put via=invoke value=\"PLOTTED 12/10/2026\" hr=0x00000000"));
    EXPECT_FALSE(HasLine(log, "call t1 TextString.put via=invoke value=\"PLOTTED 12/10/2026\"", "fields="));
}

// Rule: only a text or mtext of a release with fields knows FieldCode: release 15's texts, attributes,
// multileaders and tolerances answer DISP_E_UNKNOWNNAME.
TEST_F(KeptTest, FieldCodeOnlyOnTextsOfReleasesWithFields) {
    for (const int release : {15, 25}) {
        SCOPED_TRACE("release " + std::to_string(release));
        const std::string newer = release == 15 ? "" : "mleader n1 40 200 \"x\"\npick n1\n";
        ASSERT_NO_FATAL_FAILURE(Start("text t1 40 60 \"x\"\nblock b1 300 60 \"B\"\nattribute a1 b1 \"T\" \"y\"\n"
                                      "tolerance f1 40 120 \"%%vA\"\npick t1\npick a1\npick f1\n" + newer,
                                      release));
        const std::vector<bool> knows = {release != 15, false, false, false};
        for (std::size_t i = 0; i < (release == 15 ? 3u : 4u); ++i) {
            const ComPtr<IDispatch> entity = PickNext();
            ASSERT_TRUE(entity);
            DISPID id = 0;
            EXPECT_EQ(Hex(IdOf(entity.Get(), L"FieldCode", id)), Hex(knows[i] ? S_OK : DISP_E_UNKNOWNNAME)) << "pick " << i;
        }
        TearDown();
    }
}

// Rule: an extension dictionary answers Count, Item by zero-based index or by name (in any case), and
// GetName of its entries; an index out of range, a name not there and an object that is no entry fail
// with E_INVALIDARG; reading it never makes one, and injected failures cross unchanged.
TEST_F(KeptTest, ExtensionDictionaryEntriesByIndexAndName) {
    ASSERT_NO_FATAL_FAILURE(Start("block b1 40 60 \"TITLE\"\nattribute a1 b1 \"DATE\" \"12/10/2026\"\n"
                                  "dictionary a1 \"ACAD_FIELD\" \"OTHER\"\n"
                                  "fail a1.xdict GetName 0x8007000E\nfail a1 HasExtensionDictionary.get 0x80004005\n"
                                  "pick a1\n"));
    const ComPtr<IDispatch> attribute = PickNext();
    ASSERT_TRUE(attribute);
    EXPECT_EQ(NumberOf(attribute.Get(), L"HasExtensionDictionary"), -1000) << "the injected failure";
    EXPECT_EQ(Hex(exception_.Scode()), Hex(E_FAIL));
    EXPECT_EQ(NumberOf(attribute.Get(), L"HasExtensionDictionary"), VARIANT_TRUE);
    ComPtr<IDispatch> dictionary;
    ASSERT_EQ(Hex(ObjectOf(attribute.Get(), L"GetExtensionDictionary", dictionary, {}, DISPATCH_METHOD)), Hex(S_OK));
    EXPECT_EQ(NumberOf(dictionary.Get(), L"Count"), 2);

    const auto nameOf = [&](VARIANT index) -> std::u16string {
        ComPtr<IDispatch> entry;
        const HRESULT found = ObjectOf(dictionary.Get(), L"Item", entry, {index}, DISPATCH_METHOD);
        if (FAILED(found)) return u"<Item " + AsU16(Hex(found)) + u" " + AsU16(Hex(exception_.Scode())) + u">";
        VARIANT object;
        V_VT(&object) = VT_DISPATCH;
        V_DISPATCH(&object) = entry.Get();
        Variant name;
        const HRESULT named = CallByName(dictionary.Get(), L"GetName", {object}, name.Out(), exception_);
        return SUCCEEDED(named) ? name.Text() : u"<GetName " + AsU16(Hex(exception_.Scode())) + u">";
    };
    const Bstr other(u"other");
    VARIANT byName;
    V_VT(&byName) = VT_BSTR;
    V_BSTR(&byName) = other.Get();
    const Bstr missing(u"NOTHERE");
    VARIANT byMissingName;
    V_VT(&byMissingName) = VT_BSTR;
    V_BSTR(&byMissingName) = missing.Get();
    EXPECT_EQ(nameOf(LongArgument(0)), u"<GetName 0x8007000E>") << "the injected failure";
    EXPECT_EQ(nameOf(LongArgument(0)), u"ACAD_FIELD");
    EXPECT_EQ(nameOf(LongArgument(1)), u"OTHER");
    EXPECT_EQ(nameOf(byName), u"OTHER");
    EXPECT_EQ(nameOf(LongArgument(2)), u"<Item 0x80020009 0x80070057>");
    EXPECT_EQ(nameOf(LongArgument(-1)), u"<Item 0x80020009 0x80070057>");
    EXPECT_EQ(nameOf(byMissingName), u"<Item 0x80020009 0x80200014>") << "the CAD application's \"Key not found\"";

    VARIANT notAnEntry;
    V_VT(&notAnEntry) = VT_DISPATCH;
    V_DISPATCH(&notAnEntry) = attribute.Get();
    Variant name;
    EXPECT_EQ(Hex(CallByName(dictionary.Get(), L"GetName", {notAnEntry}, name.Out(), exception_)), Hex(DISP_E_EXCEPTION));
    EXPECT_EQ(Hex(exception_.Scode()), Hex(E_INVALIDARG));

    const auto log = server_->Log();
    EXPECT_TRUE(HasLine(log, "call a1.xdict Item via=invoke index=1 hr=0x00000000 result=a1.xdict.1"));
    EXPECT_TRUE(HasLine(log, "call a1.xdict GetName via=invoke hr=0x00000000 object=a1.xdict.0 result=\"ACAD_FIELD\""));
    EXPECT_TRUE(HasLine(log, "call a1 GetExtensionDictionary via=invoke hr=0x00000000 result=a1.xdict"));
    EXPECT_FALSE(HasLine(log, "call a1 GetExtensionDictionary", "created=yes"));
}

// Rule: the dictionary members hang and answer oddly as the others do: a hanging Count waits before it
// answers, an odd HasExtensionDictionary answers a number where a Boolean belongs.
TEST_F(KeptTest, DictionaryMembersHangAndAnswerOddly) {
    ASSERT_NO_FATAL_FAILURE(Start("text t1 40 60 \"x\"\ndictionary t1 \"A\"\nhang t1.xdict Count.get 1\n"
                                  "answer t1 HasExtensionDictionary.get number 7\npick t1\n"));
    const ComPtr<IDispatch> text = PickNext();
    ASSERT_TRUE(text);
    Variant odd;
    ASSERT_EQ(Hex(CallByName(text.Get(), L"HasExtensionDictionary", {}, odd.Out(), exception_, DISPATCH_PROPERTYGET)), Hex(S_OK));
    EXPECT_EQ(V_VT(&odd.Get()), VT_I4);
    EXPECT_EQ(V_I4(&odd.Get()), 7);
    ComPtr<IDispatch> dictionary;
    ASSERT_EQ(Hex(ObjectOf(text.Get(), L"GetExtensionDictionary", dictionary, {}, DISPATCH_METHOD)), Hex(S_OK));
    const ULONGLONG before = GetTickCount64();
    EXPECT_EQ(NumberOf(dictionary.Get(), L"Count"), 1);
    EXPECT_GE(GetTickCount64() - before, 900u);
    EXPECT_TRUE(HasLine(server_->Log(), "hang t1.xdict Count.get milliseconds=1000"));
    EXPECT_TRUE(HasLine(server_->Log(), "dispatch t1 Invoke", "answer=odd"));
}

// Rule: GetExtensionDictionary makes an empty dictionary where an entity has none (logged created=yes,
// HasExtensionDictionary true from then on), on release 15 too; the dictionary and its entries are
// reported, and their references come back to zero once the client lets go.
TEST_F(KeptTest, GetExtensionDictionaryMakesOneWhereThereIsNone) {
    for (const int release : {15, 25}) {
        SCOPED_TRACE("release " + std::to_string(release));
        ASSERT_NO_FATAL_FAILURE(Start("text t1 40 60 \"x\"\ntext t2 40 120 \"y\"\ndictionary t2 \"A\"\npick t1\npick t2\n", release));
        {
            const ComPtr<IDispatch> text = PickNext();
            ASSERT_TRUE(text);
            EXPECT_EQ(NumberOf(text.Get(), L"HasExtensionDictionary"), VARIANT_FALSE);
            ComPtr<IDispatch> made;
            ASSERT_EQ(Hex(ObjectOf(text.Get(), L"GetExtensionDictionary", made, {}, DISPATCH_METHOD)), Hex(S_OK));
            EXPECT_EQ(NumberOf(made.Get(), L"Count"), 0);
            EXPECT_EQ(NumberOf(text.Get(), L"HasExtensionDictionary"), VARIANT_TRUE);
            const ComPtr<IDispatch> kept = PickNext();
            ComPtr<IDispatch> dictionary;
            ASSERT_EQ(Hex(ObjectOf(kept.Get(), L"GetExtensionDictionary", dictionary, {}, DISPATCH_METHOD)), Hex(S_OK));
            ComPtr<IDispatch> entry;
            ASSERT_EQ(Hex(ObjectOf(dictionary.Get(), L"Item", entry, {LongArgument(0)}, DISPATCH_METHOD)), Hex(S_OK));
            ASSERT_TRUE(server_->Dump());
            const auto held = LastReferences(server_->Log(), "request");
            for (const char* name : {"t1.xdict", "t2.xdict", "t2.xdict.0"}) {
                const auto found = std::find_if(held.begin(), held.end(), [&](const auto& entry) { return entry.first == name; });
                ASSERT_NE(found, held.end()) << name << " is reported";
                EXPECT_GT(Number(found->second, "ext"), 0) << found->second;
            }
        }
        EXPECT_TRUE(HasLine(server_->Log(), "call t1 GetExtensionDictionary via=invoke hr=0x00000000 created=yes result=t1.xdict"));
        EXPECT_FALSE(HasLine(server_->Log(), "call t2 GetExtensionDictionary", "created=yes"));
        ExpectEveryReferenceBack();
        TearDown();
    }
}

// Rule: a multileader ("AcDbMLeader") and a tolerance ("AcDbFcf") answer their names and their
// formatted TextString, read and written whole; release 15 has tolerances but no multileaders.
TEST_F(KeptTest, MultileaderAndToleranceAnswerTheirNamesAndTexts) {
    ASSERT_NO_FATAL_FAILURE(Start("mleader n1 200 60 \"first\\Psecond\"\n"
                                  "tolerance f1 40 160 \"{\\Fgdt;j}%%v{\\Fgdt;n}0.5%%v%%vA\"\npick n1\npick f1\n"));
    for (const auto& [name, text] : {std::pair{u"AcDbMLeader", uR"(first\Psecond)"},
                                     std::pair{u"AcDbFcf", uR"({\Fgdt;j}%%v{\Fgdt;n}0.5%%v%%vA)"}}) {
        const ComPtr<IDispatch> entity = PickNext();
        ASSERT_TRUE(entity);
        EXPECT_EQ(Read(entity.Get(), L"ObjectName"), name);
        EXPECT_EQ(Read(entity.Get(), L"TextString"), text);
        const std::u16string written = std::u16string(text) + u"!";
        EXPECT_EQ(Hex(Write(entity.Get(), written)), Hex(S_OK));
        EXPECT_EQ(Read(entity.Get(), L"TextString"), written);
    }
    EXPECT_TRUE(HasLine(server_->Log(), "layout n1 kind=mleader"));
    EXPECT_TRUE(HasLine(server_->Log(), "layout f1 kind=tolerance"));
    TearDown();

    ServerProcess release15("mleader n1 200 60 \"x\"\n");
    EXPECT_EQ(release15.WaitExit(), 2u);
    EXPECT_TRUE(HasLine(release15.Log(), "error code=2", "multileaders exist from release 17 on"));
}

// Rule: undo steps: a write outside a mark is one step; everything written between StartUndoMark and
// its EndUndoMark (nested marks within) is one; a mark with no write adds none; the dump says the steps
// and the marks still open. Release 15's document answers the marks by name and at slots 61 and 62.
TEST_F(KeptTest, UndoStepsCountMarksAndWrites) {
    for (const int release : {15, 25}) {
        SCOPED_TRACE("release " + std::to_string(release));
        ASSERT_NO_FATAL_FAILURE(Start("text t1 40 60 \"x\"\npick t1\nfail doc EndUndoMark 0x80004005 1\n", release));
        const ComPtr<IDispatch> text = PickNext();
        ASSERT_TRUE(text);
        const auto mark = [&](const wchar_t* name) { return Hex(CallByName(document_.Get(), name, {}, nullptr, exception_)); };
        EXPECT_EQ(Hex(Write(text.Get(), u"a")), Hex(S_OK));                            // step 1
        EXPECT_EQ(mark(L"StartUndoMark"), Hex(S_OK));
        EXPECT_EQ(Hex(Write(text.Get(), u"b")), Hex(S_OK));
        EXPECT_EQ(mark(L"StartUndoMark"), Hex(S_OK));
        EXPECT_EQ(Hex(Write(text.Get(), u"c")), Hex(S_OK));
        EXPECT_EQ(mark(L"EndUndoMark"), Hex(DISP_E_EXCEPTION)) << "the injected failure";
        EXPECT_EQ(mark(L"EndUndoMark"), Hex(S_OK));
        EXPECT_EQ(mark(L"EndUndoMark"), Hex(S_OK));                                     // step 2
        EXPECT_EQ(mark(L"StartUndoMark"), Hex(S_OK));
        EXPECT_EQ(mark(L"EndUndoMark"), Hex(S_OK));                                     // nothing written
        EXPECT_EQ(mark(L"StartUndoMark"), Hex(S_OK));                                   // left open
        ASSERT_TRUE(server_->Dump());
        EXPECT_EQ(Lines(server_->Log(), "undo reason=request").back(), "undo reason=request steps=2 open=1");
        if (release == 15) {
            ComPtr<IUnknown> slots;
            ASSERT_EQ(Hex(document_.As(&slots)), Hex(S_OK));
            ASSERT_EQ(Hex(slots->QueryInterface(IID_IStandinDocument, reinterpret_cast<void**>(slots.ReleaseAndGetAddressOf()))), Hex(S_OK));
            EXPECT_EQ(Hex(SlotOf<NoArguments>(slots.Get(), 61)(slots.Get())), Hex(S_OK));
            EXPECT_EQ(Hex(SlotOf<NoArguments>(slots.Get(), 62)(slots.Get())), Hex(S_OK));
            EXPECT_TRUE(HasLine(server_->Log(), "call doc StartUndoMark slot=61 via=vtable hr=0x00000000 open=2"));
        }
        EXPECT_TRUE(HasLine(server_->Log(), "call doc StartUndoMark slot=61 via=invoke hr=0x00000000 open=1"));
        EXPECT_TRUE(HasLine(server_->Log(), "call doc EndUndoMark slot=62 via=invoke hr=0x80004005 injected=yes"));
        // The group of two texts closes (shown in the command strip); the empty one shows nothing.
        EXPECT_TRUE(HasLine(server_->Log(), "call doc EndUndoMark slot=62 via=invoke hr=0x00000000 open=0 steps=2 group=2"));
        TearDown();
    }
}

// ------------------------------------------------------------------------------------------------------
// The pre-selection and the layers, by name on release 15 and on a newer release

class PreselectionTest : public KeptTest {
protected:
    // The document's PickfirstSelectionSet.
    ComPtr<IDispatch> Pickfirst() {
        ComPtr<IDispatch> set;
        EXPECT_EQ(Hex(ObjectOf(document_.Get(), L"PickfirstSelectionSet", set)), Hex(S_OK));
        return set;
    }
    // Item(index) of a collection, by name.
    HRESULT ItemOf(IDispatch* collection, VARIANT index, ComPtr<IDispatch>& item) {
        return ObjectOf(collection, L"Item", item, {index}, DISPATCH_METHOD);
    }
    // The handles of the set's entities, Item by Item up to its Count.
    std::vector<std::u16string> Handles(IDispatch* set) {
        std::vector<std::u16string> handles;
        const long count = NumberOf(set, L"Count");
        for (long i = 0; i < count; ++i) {
            ComPtr<IDispatch> entity;
            const HRESULT found = ItemOf(set, LongArgument(i), entity);
            handles.push_back(SUCCEEDED(found) ? Read(entity.Get(), L"Handle") : u"<Item " + AsU16(Hex(exception_.Scode())) + u">");
        }
        return handles;
    }
    static VARIANT TextArgument(const Bstr& text) {
        VARIANT argument;
        VariantInit(&argument);
        V_VT(&argument) = VT_BSTR;
        V_BSTR(&argument) = text.Get();
        return argument;
    }
};

// Rule: the document hands out one pre-selection: Count and Item (in the scenario's order, an id
// repeated answering the same entity twice); Update redraws each of its entities; Clear empties it and
// the entities stay in the drawing; every reference the client took comes back. On release 15 too.
TEST_F(PreselectionTest, SetAnswersCountItemClearAndUpdate) {
    for (const int release : {15, 25}) {
        SCOPED_TRACE("release " + std::to_string(release));
        ASSERT_NO_FATAL_FAILURE(Start("text t1 40 60 \"first\"\ntext t2 40 100 \"second\"\nmtext m1 40 140 \"third\"\n"
                                      "line l1 300 60 400 100\npreselect t2 t1 t2\npreselect m1\n",
                                      release));
        {
            const ComPtr<IDispatch> set = Pickfirst();
            ASSERT_TRUE(set);
            Variant count;
            ASSERT_EQ(Hex(CallByName(set.Get(), L"Count", {}, count.Out(), exception_, DISPATCH_PROPERTYGET)), Hex(S_OK));
            EXPECT_EQ(V_VT(&count.Get()), VT_I4);
            EXPECT_EQ(Handles(set.Get()), (std::vector<std::u16string>{u"t2", u"t1", u"t2", u"m1"}));
            ComPtr<IUnknown> identity;
            ComPtr<IUnknown> againIdentity;
            const ComPtr<IDispatch> again = Pickfirst();
            ASSERT_TRUE(again);
            ASSERT_EQ(Hex(set.As(&identity)), Hex(S_OK));
            ASSERT_EQ(Hex(again.As(&againIdentity)), Hex(S_OK));
            EXPECT_EQ(identity.Get(), againIdentity.Get()) << "every access hands out the same set";

            ComPtr<IDispatch> first;
            ASSERT_EQ(Hex(ItemOf(set.Get(), LongArgument(0), first)), Hex(S_OK));
            EXPECT_EQ(Hex(Write(first.Get(), u"SECOND")), Hex(S_OK));
            const std::size_t laidOut = Lines(server_->Log(), "layout ").size();
            EXPECT_EQ(Hex(CallByName(set.Get(), L"Update", {}, nullptr, exception_)), Hex(S_OK));
            const auto layouts = Lines(server_->Log(), "layout ");
            ASSERT_EQ(layouts.size(), laidOut + 3) << "t2, t1 and m1 laid out again, t2 once";
            EXPECT_TRUE(StartsWith(layouts[laidOut], "layout t2 "));

            EXPECT_EQ(Hex(CallByName(set.Get(), L"Clear", {}, nullptr, exception_)), Hex(S_OK));
            EXPECT_EQ(NumberOf(again.Get(), L"Count"), 0) << "the one set is empty";
            ComPtr<IDispatch> none;
            EXPECT_EQ(Hex(ItemOf(set.Get(), LongArgument(0), none)), Hex(DISP_E_EXCEPTION));
            EXPECT_EQ(Hex(exception_.Scode()), Hex(E_INVALIDARG));
            EXPECT_EQ(Read(first.Get(), L"TextString"), u"SECOND") << "the entity stays in the drawing";
            ASSERT_TRUE(server_->Dump());
            const auto dumped = server_->Log();
            const auto selection = std::find_if(dumped.rbegin(), dumped.rend(), [](const std::string& line) {
                return StartsWith(line, "selection pickfirst reason=request");
            });
            ASSERT_NE(selection, dumped.rend());
            EXPECT_EQ(*selection, "selection pickfirst reason=request count=0 ids=");
            ASSERT_NE(selection, dumped.rbegin());
            EXPECT_TRUE(StartsWith(*std::prev(selection), "refs ")) << "the dump's first line, before its refs lines";
        }
        const auto log = server_->Log();
        EXPECT_TRUE(HasLine(log, "call doc PickfirstSelectionSet.get slot=63 via=invoke hr=0x00000000 result=pickfirst"));
        EXPECT_TRUE(HasLine(log, "call pickfirst Count.get via=invoke hr=0x00000000 result=4"));
        EXPECT_TRUE(HasLine(log, "call pickfirst Item via=invoke index=2 hr=0x00000000 result=t2"));
        EXPECT_TRUE(HasLine(log, "call pickfirst Update via=invoke hr=0x00000000 redrawn=3"));
        EXPECT_TRUE(HasLine(log, "call pickfirst Clear via=invoke hr=0x00000000 removed=4"));
        EXPECT_TRUE(HasLine(log, "refs pickfirst reason=request"));
        ExpectEveryReferenceBack();
        TearDown();
    }
}

// Rule: Item takes an integer of any integer type (by value or by reference) from 0 to Count - 1;
// an integer out of range fails with E_INVALIDARG, an index of no integer type (a text, a real
// number, nothing) with DISP_E_TYPEMISMATCH.
struct IndexCase {
    const char* name;
    VARTYPE type;  // VT_BYREF | VT_I4 points at the number; VT_BYREF | VT_VARIANT at a VT_I4 holding it
    LONGLONG number;
    std::u16string answer;  // the entity's handle, or the failure's scode
};

TEST_F(PreselectionTest, ItemTakesIntegersInRange) {
    const IndexCase cases[] = {
        {"Long", VT_I4, 0, u"t1"},
        {"Integer", VT_I2, 1, u"t2"},
        {"Byte", VT_UI1, 2, u"m1"},
        {"LongLong", VT_I8, 2, u"m1"},
        {"LongByReference", VT_BYREF | VT_I4, 1, u"t2"},
        {"VariantByReference", VT_BYREF | VT_VARIANT, 0, u"t1"},
        {"PastTheEnd", VT_I4, 3, u"0x80070057"},
        {"Negative", VT_I4, -1, u"0x80070057"},
        {"TooLargeForALong", VT_I8, 1LL << 33, u"0x80070057"},
        {"Text", VT_BSTR, 0, u"0x80020005"},
        {"RealNumber", VT_R8, 1, u"0x80020005"},
        {"Nothing", VT_EMPTY, 0, u"0x80020005"},
    };
    ASSERT_NO_FATAL_FAILURE(Start("text t1 40 60 \"a\"\ntext t2 40 100 \"b\"\nmtext m1 40 140 \"c\"\npreselect t1 t2 m1\n"));
    const ComPtr<IDispatch> set = Pickfirst();
    ASSERT_TRUE(set);
    const Bstr zero(u"0");
    for (const IndexCase& index : cases) {
        SCOPED_TRACE(index.name);
        LONG byReference = static_cast<LONG>(index.number);
        VARIANT inner = LongArgument(static_cast<LONG>(index.number));
        VARIANT argument;
        VariantInit(&argument);
        V_VT(&argument) = index.type;
        switch (index.type) {
        case VT_I4: V_I4(&argument) = static_cast<LONG>(index.number); break;
        case VT_I2: V_I2(&argument) = static_cast<SHORT>(index.number); break;
        case VT_UI1: V_UI1(&argument) = static_cast<BYTE>(index.number); break;
        case VT_I8: V_I8(&argument) = index.number; break;
        case VT_BYREF | VT_I4: V_I4REF(&argument) = &byReference; break;
        case VT_BYREF | VT_VARIANT: V_VARIANTREF(&argument) = &inner; break;
        case VT_BSTR: V_BSTR(&argument) = zero.Get(); break;
        case VT_R8: V_R8(&argument) = static_cast<double>(index.number); break;
        default: break;
        }
        ComPtr<IDispatch> entity;
        const HRESULT found = ItemOf(set.Get(), argument, entity);
        if (SUCCEEDED(found)) {
            EXPECT_EQ(Read(entity.Get(), L"Handle"), index.answer);
        } else {
            EXPECT_EQ(Hex(found), Hex(DISP_E_EXCEPTION));
            EXPECT_EQ(AsU16(Hex(exception_.Scode())), index.answer);
        }
    }
    const auto log = server_->Log();
    EXPECT_TRUE(HasLine(log, "call pickfirst Item via=invoke index=too-large hr=0x80070057"));
    EXPECT_TRUE(HasLine(log, "call pickfirst Item via=invoke index-type=8 hr=0x80020005"));
}

// Rule: the pre-selection fails, hangs and answers oddly as the scenario says, as the other objects
// do: the document's PickfirstSelectionSet once, an Item and a Clear (which then changes nothing), a
// Count answered -1, an Update that hangs before it runs, an Item answered with no object.
TEST_F(PreselectionTest, FailuresHangsAndOddAnswersOnPickfirst) {
    ASSERT_NO_FATAL_FAILURE(Start("text t1 40 60 \"a\"\ntext t2 40 100 \"b\"\npreselect t1 t2\n"
                                  "fail doc PickfirstSelectionSet.get 0x80004005\n"
                                  "fail pickfirst Item 0x80004005\nfail pickfirst Clear 0x8007000E\n"
                                  "hang pickfirst Update 1\nanswer pickfirst Count.get number -1\n"));
    ComPtr<IDispatch> set;
    EXPECT_EQ(Hex(ObjectOf(document_.Get(), L"PickfirstSelectionSet", set)), Hex(DISP_E_EXCEPTION));
    EXPECT_EQ(Hex(exception_.Scode()), Hex(E_FAIL));
    set = Pickfirst();
    ASSERT_TRUE(set);
    Variant count;
    ASSERT_EQ(Hex(CallByName(set.Get(), L"Count", {}, count.Out(), exception_, DISPATCH_PROPERTYGET)), Hex(S_OK));
    EXPECT_EQ(V_VT(&count.Get()), VT_I4);
    EXPECT_EQ(V_I4(&count.Get()), -1);
    ComPtr<IDispatch> entity;
    EXPECT_EQ(Hex(ItemOf(set.Get(), LongArgument(0), entity)), Hex(DISP_E_EXCEPTION));
    EXPECT_EQ(Hex(exception_.Scode()), Hex(E_FAIL));
    EXPECT_EQ(Hex(CallByName(set.Get(), L"Clear", {}, nullptr, exception_)), Hex(DISP_E_EXCEPTION));
    EXPECT_EQ(Hex(exception_.Scode()), Hex(E_OUTOFMEMORY));
    ASSERT_EQ(Hex(ItemOf(set.Get(), LongArgument(1), entity)), Hex(S_OK)) << "the failed Clear changed nothing";
    EXPECT_EQ(Read(entity.Get(), L"Handle"), u"t2");
    EXPECT_EQ(Hex(CallByName(set.Get(), L"Update", {}, nullptr, exception_)), Hex(S_OK));
    auto log = server_->Log();
    EXPECT_TRUE(HasLine(log, "call pickfirst Item via=invoke index=0 hr=0x80004005 injected=yes"));
    EXPECT_TRUE(HasLine(log, "call pickfirst Clear via=invoke hr=0x8007000E injected=yes"));
    EXPECT_TRUE(HasLine(log, "hang pickfirst Update milliseconds=1000"));
    EXPECT_TRUE(HasLine(log, "dispatch pickfirst Invoke dispid=1 flags=get hr=0x00000000 answer=odd"));
    EXPECT_FALSE(HasLine(log, "call pickfirst Count.get")) << "answered instead of the member";
    entity.Reset();
    set.Reset();
    TearDown();

    ASSERT_NO_FATAL_FAILURE(Start("text t1 40 60 \"a\"\npreselect t1\nanswer pickfirst Item null\n"));
    set = Pickfirst();
    ASSERT_TRUE(set);
    Variant odd;
    ASSERT_EQ(Hex(CallByName(set.Get(), L"Item", {LongArgument(0)}, odd.Out(), exception_)), Hex(S_OK));
    EXPECT_EQ(V_VT(&odd.Get()), VT_NULL) << "an item that is no object";
    EXPECT_TRUE(HasLine(server_->Log(), "dispatch pickfirst Invoke dispid=0 flags=method hr=0x00000000 answer=odd"));
}

// Rule: every entity answers Layer ("0" unless the scenario places it; an attribute its own, not its
// block's); the document's Layers answers Count and Item by name in any case (a name not there: the
// CAD application's "Key not found") or by index, each layer its Name and Lock. On release 15 too.
TEST_F(PreselectionTest, LayersAnswerByNameAndIndex) {
    for (const int release : {15, 25}) {
        SCOPED_TRACE("release " + std::to_string(release));
        ASSERT_NO_FATAL_FAILURE(Start("text t1 40 60 \"on zero\"\ntext t2 40 100 \"on walls\"\n"
                                      "block b1 300 60 \"DOOR\"\nattribute a1 b1 \"MAKER\" \"acme\"\n"
                                      "layer t2 Walls\nlock WALLS\nlayer b1 Walls\nlayer a1 Notes\n"
                                      "pick t1\npick t2\npick b1\npick a1\n",
                                      release));
        {
            for (const char16_t* expected : {u"0", u"Walls", u"Walls", u"Notes"}) {
                const ComPtr<IDispatch> entity = PickNext();
                ASSERT_TRUE(entity);
                EXPECT_EQ(Read(entity.Get(), L"Layer"), expected) << Narrow(Read(entity.Get(), L"Handle"));
            }
            ComPtr<IDispatch> layers;
            ASSERT_EQ(Hex(ObjectOf(document_.Get(), L"Layers", layers)), Hex(S_OK));
            EXPECT_EQ(NumberOf(layers.Get(), L"Count"), 3);
            struct Asked {
                std::u16string name;  // empty: by index
                LONG index;
                std::u16string answer;  // the layer's name and lock ("Walls -1"), or the failure's scode
            };
            const Asked asked[] = {
                {u"walls", 0, u"Walls -1"}, {u"NOTES", 0, u"Notes 0"}, {u"", 0, u"0 0"},
                {u"Nowhere", 0, u"0x80200014"}, {u"", 3, u"0x80070057"},
            };
            for (const Asked& ask : asked) {
                SCOPED_TRACE(Narrow(ask.name) + " " + std::to_string(ask.index));
                const Bstr name(ask.name);
                ComPtr<IDispatch> layer;
                const HRESULT found = ItemOf(layers.Get(), ask.name.empty() ? LongArgument(ask.index) : TextArgument(name), layer);
                if (FAILED(found)) {
                    EXPECT_EQ(AsU16(Hex(exception_.Scode())), ask.answer);
                    continue;
                }
                Variant locked;
                ASSERT_EQ(Hex(CallByName(layer.Get(), L"Lock", {}, locked.Out(), exception_, DISPATCH_PROPERTYGET)), Hex(S_OK));
                ASSERT_EQ(V_VT(&locked.Get()), VT_BOOL);
                EXPECT_EQ(Read(layer.Get(), L"Name") + u" " + AsU16(std::to_string(V_BOOL(&locked.Get()))), ask.answer);
            }
        }
        const auto log = server_->Log();
        EXPECT_TRUE(HasLine(log, "call doc Layers.get slot=64 via=invoke hr=0x00000000 result=layers"));
        EXPECT_TRUE(HasLine(log, "call layers Item via=invoke index=\"walls\" hr=0x00000000 result=layer.Walls"));
        EXPECT_TRUE(HasLine(log, "call layers Item via=invoke index=\"Nowhere\" hr=0x80200014"));
        EXPECT_TRUE(HasLine(log, "call layer.Walls Lock.get via=invoke hr=0x00000000 result=-1"));
        EXPECT_TRUE(HasLine(log, "call a1 Layer.get via=invoke hr=0x00000000 result=\"Notes\""));
        ExpectEveryReferenceBack();
        TearDown();
    }
}

// Rule: a write to an entity on a locked layer is refused as the CAD application refuses it (TextString,
// TextOverride, MTextAttributeContent and a table's SetText), logged refused=locked-layer, and changes
// nothing and adds no undo step; the same writes on an unlocked layer go through, an attribute's
// following its own layer, not its block's.
TEST_F(PreselectionTest, WritesRefusedOnALockedLayer) {
    ASSERT_NO_FATAL_FAILURE(Start("text t1 40 60 \"free\"\ntext t2 40 100 \"held\"\n"
                                  "dimension d1 40 200 300 200 \"\"\n"
                                  "block b1 400 60 \"DOOR\"\nattribute a1 b1 \"MAKER\" \"acme\"\n"
                                  "attribute a2 b1 \"NOTE\" \"{\\C1;note}\"\nmultiline a2\n"
                                  "table s1 40 300 2 2\ncell s1 0 0 text \"door\"\n"
                                  "layer t2 FIXED\nlayer d1 FIXED\nlayer b1 FIXED\nlayer a2 FIXED\nlayer s1 FIXED\nlock FIXED\n"
                                  "pick t1\npick t2\npick d1\npick a1\npick a2\npick s1\n"));
    struct Write {
        const wchar_t* member;
        std::u16string was;
        bool refused;
    };
    const Write writes[] = {
        {L"TextString", u"free", false},         // t1, on layer 0
        {L"TextString", u"held", true},          // t2
        {L"TextOverride", u"", true},            // d1
        {L"TextString", u"acme", false},         // a1: its block is on the locked layer, it is not
        {L"MTextAttributeContent", u"{\\C1;note}", true},  // a2
    };
    for (const Write& write : writes) {
        const ComPtr<IDispatch> entity = PickNext();
        ASSERT_TRUE(entity);
        const std::u16string id = Read(entity.Get(), L"Handle");
        SCOPED_TRACE(Narrow(id));
        const HRESULT written = PutText(entity.Get(), write.member, u"NEW", exception_);
        if (write.refused) {
            EXPECT_EQ(Hex(written), Hex(DISP_E_EXCEPTION));
            EXPECT_EQ(Hex(exception_.Scode()), "0x80200057");
            EXPECT_EQ(Read(entity.Get(), write.member), write.was) << "nothing changed";
        } else {
            EXPECT_EQ(Hex(written), Hex(S_OK));
            EXPECT_EQ(Read(entity.Get(), write.member), u"NEW");
        }
    }
    const ComPtr<IDispatch> table = PickNext();
    ASSERT_TRUE(table);
    const Bstr text(u"DOOR");
    EXPECT_EQ(Hex(CallByName(table.Get(), L"SetText", {LongArgument(0), LongArgument(0), TextArgument(text)}, nullptr, exception_)),
              Hex(DISP_E_EXCEPTION));
    EXPECT_EQ(Hex(exception_.Scode()), "0x80200057");
    Variant cell;
    ASSERT_EQ(Hex(CallByName(table.Get(), L"GetText", {LongArgument(0), LongArgument(0)}, cell.Out(), exception_)), Hex(S_OK));
    EXPECT_EQ(cell.Text(), u"door");

    ASSERT_TRUE(server_->Dump());
    const auto log = server_->Log();
    EXPECT_EQ(Lines(log, "undo reason=request").back(), "undo reason=request steps=2 open=0") << "t1 and a1 written";
    EXPECT_TRUE(HasLine(log, "call t2 TextString.put via=invoke value=\"NEW\" hr=0x80200057 refused=locked-layer"));
    EXPECT_TRUE(HasLine(log, "call a2 MTextAttributeContent.put via=invoke value=\"NEW\" hr=0x80200057 refused=locked-layer"));
    EXPECT_TRUE(HasLine(log, "call s1 SetText via=invoke row=0 col=0 value=\"DOOR\" hr=0x80200057 refused=locked-layer"));
    EXPECT_TRUE(HasLine(log, "call a1 TextString.put via=invoke value=\"NEW\" hr=0x00000000"));
}

// Rule: in the window, a drag that starts on empty space draws a selection rectangle, and on release
// the entities wholly inside it become the pre-selection (in drawing order); a drag that starts on an
// entity selects nothing; a click on empty space empties it; while a pick waits, a click picks as
// before and the pre-selection stays as it was.
class RectangleTest : public ClickTest {
protected:
    // The left button pressed at one screen point, moved and released at another, by real input.
    // Each event carries its own position: under Wine the pointer moves SetCursorPos makes reach
    // the window late and would place a later press where an earlier move went.
    static void Drag(POINT from, POINT to) {
        const INPUT inputs[] = {At(from, MOUSEEVENTF_LEFTDOWN), At(POINT{(from.x + to.x) / 2, (from.y + to.y) / 2}, 0),
                                At(to, 0), At(to, MOUSEEVENTF_LEFTUP)};
        SendInput(4, const_cast<INPUT*>(inputs), sizeof(INPUT));
    }
    static void ClickAt(POINT at) { Drag(at, at); }
    static INPUT At(POINT at, DWORD button) {
        const LONG width = GetSystemMetrics(SM_CXSCREEN);
        const LONG height = GetSystemMetrics(SM_CYSCREEN);
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = (at.x * 65536 + width - 1) / width;
        input.mi.dy = (at.y * 65536 + height - 1) / height;
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button;
        return input;
    }
    RECT ScreenRectOf(const std::string& id) {
        const std::string screen = *Field(Lines(server_->Log(), "layout " + id + " ").back(), "screen");
        long x = 0, y = 0, width = 0, height = 0;
        std::sscanf(screen.c_str(), "%ld,%ld,%ld,%ld", &x, &y, &width, &height);
        return RECT{x, y, x + width, y + height};
    }
    // Waits for the window's next pre-selection line after the first `seen` ones, and returns it.
    std::string NextPreselection(std::size_t seen) {
        const Waited came = WaitUntil([&] { return Lines(server_->Log(), "preselection ").size() > seen; }, 10000);
        EXPECT_TRUE(came) << "no preselection line";
        const auto lines = Lines(server_->Log(), "preselection ");
        return lines.size() > seen ? lines[seen] : "";
    }
    long PreselectedCount() {
        ComPtr<IDispatch> document;
        if (FAILED(document_.As(&document))) return -1000;
        ExceptionInfo exception;
        Variant set;
        if (FAILED(InvokeByName(document.Get(), L"PickfirstSelectionSet", DISPATCH_PROPERTYGET, nullptr, set.Out(), exception))) return -1000;
        Variant count;
        if (FAILED(InvokeByName(V_DISPATCH(&set.Get()), L"Count", DISPATCH_PROPERTYGET, nullptr, count.Out(), exception))) return -1000;
        return V_I4(&count.Get());
    }
};

TEST_F(RectangleTest, DragSelectsWhatLiesInsideAndAClickClears) {
    Start("text t1 40 60 \"one\"\ntext t2 40 110 \"two\"\ntext t3 300 300 \"far away\"\npick-timeout 20\n");
    const RECT one = ScreenRectOf("t1");
    const RECT two = ScreenRectOf("t2");
    const RECT distant = ScreenRectOf("t3");
    Drag(POINT{one.left - 12, one.top - 12}, POINT{std::max(one.right, two.right) + 12, two.bottom + 12});
    const std::string selected = NextPreselection(0);
    EXPECT_TRUE(StartsWith(selected, "preselection source=rectangle screen=")) << selected;
    EXPECT_NE(selected.find(" count=2 ids=t1,t2"), std::string::npos) << selected;
    EXPECT_EQ(PreselectedCount(), 2);

    // Reaching over t3's middle only: t3 is not wholly inside.
    Drag(POINT{distant.left - 12, distant.top - 12}, POINT{(distant.left + distant.right) / 2, distant.bottom + 12});
    EXPECT_NE(NextPreselection(1).find(" count=0 ids="), std::string::npos);

    Drag(POINT{distant.left - 12, distant.top - 12}, POINT{distant.right + 12, distant.bottom + 12});
    EXPECT_NE(NextPreselection(2).find(" count=1 ids=t3"), std::string::npos);
    // A drag from an entity is no selection rectangle; the click after it shows it changed nothing.
    Drag(CenterOf("t1"), POINT{distant.right + 12, distant.bottom + 12});
    ClickAt(POINT{distant.right + 40, distant.top - 40});
    EXPECT_EQ(NextPreselection(3), "preselection source=click count=0 ids=") << "the drag from t1 logged nothing";
    EXPECT_EQ(PreselectedCount(), 0);

    Drag(POINT{distant.left - 12, distant.top - 12}, POINT{distant.right + 12, distant.bottom + 12});
    EXPECT_NE(NextPreselection(4).find(" ids=t3"), std::string::npos);
    ComPtr<IDispatch> entity;
    EXPECT_EQ(PickWhile(entity, [&] { ClickAt(CenterOf("t1")); }), S_OK);
    EXPECT_TRUE(HasLine(server_->Log(), "pick-end n=1 outcome=entity id=t1 hr=0x00000000"));
    EXPECT_EQ(PreselectedCount(), 1) << "the pick left the pre-selection alone";
    EXPECT_EQ(Lines(server_->Log(), "preselection ").size(), 5u);
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: cadstandin_client_tests <path of cadstandin.exe>\n");
        return 2;
    }
    g_serverPath = WindowsPath(argv[1]);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
