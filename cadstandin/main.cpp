// The stand-in CAD application: serves the CAD application's automation interface and a drawing window.
// See README.md for the command line, the scenario and the log.

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <wrl/client.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cadstandin/automation.h"
#include "cadstandin/drawing_window.h"
#include "cadstandin/registration.h"
#include "cadstandin/scenario.h"
#include "cadstandin/server.h"
#include "standin_automation.h"

namespace {

using cadstandin::Server;
using Microsoft::WRL::ComPtr;

enum ExitCode : int {
    kExitOk = 0,
    kExitNoServer = 1,
    kExitUsage = 2,
    kExitRefused = 3,
    kExitStartFailed = 4,
    kExitTimeout = 5,
};

struct Options {
    std::optional<std::wstring> scenario;
    std::optional<std::wstring> log;
    bool takeOver = false;
    bool hidden = false;
    std::wstring send;
    int timeoutSeconds = 10;
    cadstandin::StandinRelease release;
};

void ToStderr(const std::string& text) {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
    const std::string line = "cadstandin: " + text + "\n";
    DWORD written = 0;
    WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// A start that cannot go on: says why on stderr and in the log, and in a box when a person started it.
int Refuse(int code, const std::string& message, bool interactive) {
    ToStderr(message);
    Server::Get().log.Line("error code=" + std::to_string(code) + " message=" + cadstandin::QuoteText(cadstandin::Utf8ToUtf16(message)));
    if (interactive) {
        const std::wstring text = cadstandin::AsWide(cadstandin::Utf8ToUtf16(message));
        MessageBoxW(nullptr, text.c_str(), L"AutoCAD Stand-in", MB_OK | MB_ICONERROR);
    }
    return code;
}

std::optional<Options> ParseOptions(std::string& problem) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) {
        problem = "cannot read the command line";
        return std::nullopt;
    }
    std::vector<std::wstring> words(arguments + 1, arguments + count);
    LocalFree(arguments);
    Options options;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::wstring& word = words[i];
        const auto value = [&]() -> std::optional<std::wstring> {
            if (i + 1 >= words.size()) return std::nullopt;
            return words[++i];
        };
        std::optional<std::wstring> given;
        if (word == L"--take-over") {
            options.takeOver = true;
            continue;
        }
        if (word == L"--hidden") {
            options.hidden = true;
            continue;
        }
        if (word != L"--scenario" && word != L"--log" && word != L"--send" && word != L"--timeout" && word != L"--release") {
            problem = "unknown argument " + cadstandin::WideToUtf8(word);
            return std::nullopt;
        }
        given = value();
        if (!given) {
            problem = cadstandin::WideToUtf8(word) + " needs a value";
            return std::nullopt;
        }
        if (word == L"--scenario") options.scenario = *given;
        if (word == L"--log") options.log = *given;
        if (word == L"--send") {
            options.send = *given;
            if (options.send != L"exit" && options.send != L"dump") {
                problem = "--send takes exit or dump";
                return std::nullopt;
            }
        }
        if (word == L"--release") {
            const int number = _wtoi(given->c_str());
            if (number < cadstandin::StandinRelease::kRelease15 || number > cadstandin::StandinRelease::kNewest ||
                std::to_wstring(number) != *given) {
                problem = "--release takes a release number from 15 to 999";
                return std::nullopt;
            }
            options.release = cadstandin::StandinRelease(number);
        }
        if (word == L"--timeout") {
            options.timeoutSeconds = _wtoi(given->c_str());
            if (options.timeoutSeconds <= 0) {
                problem = "--timeout takes a number of seconds";
                return std::nullopt;
            }
        }
    }
    return options;
}

// --send: asks the running stand-in to exit or to dump its references.
struct StandinSearch {
    std::wstring titlePrefix;
    HWND found = nullptr;
};

BOOL CALLBACK MatchStandin(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<StandinSearch*>(parameter);
    wchar_t className[64] = {};
    wchar_t title[256] = {};
    GetClassNameW(window, className, 64);
    GetWindowTextW(window, title, 256);
    if (std::wstring(className) == cadstandin::DrawingWindow::kClassName && std::wstring(title).starts_with(search.titlePrefix)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// The drawing window of the running stand-in of this release (its title names the release).
HWND FindStandin(const cadstandin::StandinRelease& release) {
    const std::wstring emptyDocument = cadstandin::AsWide(release.WindowTitle(u""));
    StandinSearch search{emptyDocument.substr(0, emptyDocument.size() - 1)};
    EnumWindows(&MatchStandin, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int Send(const Options& options) {
    const HWND window = FindStandin(options.release);
    if (window == nullptr) {
        ToStderr("no stand-in is running");
        return kExitNoServer;
    }
    const DWORD timeout = static_cast<DWORD>(options.timeoutSeconds) * 1000;
    if (options.send == L"dump") {
        DWORD_PTR answer = 0;
        const UINT message = RegisterWindowMessageW(cadstandin::DrawingWindow::kDumpMessageName);
        if (SendMessageTimeoutW(window, message, 0, 0, SMTO_ABORTIFHUNG, timeout, &answer) == 0 || answer != 1) {
            ToStderr("the stand-in did not answer");
            return kExitTimeout;
        }
        return kExitOk;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (process == nullptr) return kExitOk;
    const DWORD waited = WaitForSingleObject(process, timeout);
    CloseHandle(process);
    if (waited != WAIT_OBJECT_0) {
        ToStderr("the stand-in did not exit in time");
        return kExitTimeout;
    }
    return kExitOk;
}

std::optional<std::string> ReadFile(const std::wstring& path) {
    std::FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) return std::nullopt;
    std::string content;
    char buffer[4096];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, read);
    std::fclose(file);
    return content;
}

// Registers, publishes and serves until the window closes; then revokes, disconnects and unregisters.
int Serve(HINSTANCE instance, const Options& options, bool interactive) {
    Server& server = Server::Get();
    const CLSID classId = server.release.ClassId();
    ComPtr<IUnknown> running;
    if (SUCCEEDED(GetActiveObject(classId, nullptr, running.GetAddressOf()))) {
        return Refuse(kExitRefused, "another stand-in of this release is already running", interactive);
    }
    running.Reset();

    wchar_t exePath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exePath, MAX_PATH);
    cadstandin::Registration registration(server.release);
    std::string problem;
    switch (registration.Register(exePath, options.takeOver, problem)) {
    case cadstandin::Registration::Outcome::Registered: break;
    case cadstandin::Registration::Outcome::Refused: return Refuse(kExitRefused, problem, interactive);
    case cadstandin::Registration::Outcome::Failed: return Refuse(kExitStartFailed, problem, interactive);
    }
    server.typeLibrary = registration.TypeLibrary();
    // A newer release's entities are release 15's, described by its library (loaded, not registered).
    if (!server.release.IsRelease15()) {
        const HRESULT loaded = LoadTypeLibEx(exePath, REGKIND_NONE, server.entityLibrary.ReleaseAndGetAddressOf());
        if (FAILED(loaded)) return Refuse(kExitStartFailed, "cannot load the entities' type library: " + cadstandin::HexResult(loaded), interactive);
    }
    // Rejects incoming calls while the scenario makes the application busy.
    server.busy.Configure(server.scenario);
    ComPtr<IMessageFilter> previousFilter;
    const HRESULT filtered = CoRegisterMessageFilter(cadstandin::MakeBusyFilter().Get(), previousFilter.GetAddressOf());
    if (FAILED(filtered)) return Refuse(kExitStartFailed, "CoRegisterMessageFilter failed: " + cadstandin::HexResult(filtered), interactive);

    int code = kExitOk;
    {
        cadstandin::Drawing drawing(server.scenario.entities);
        cadstandin::DrawingWindow window(server.scenario, drawing.TopLevel());
        if (!window.Create(instance)) {
            return Refuse(kExitStartFailed, "cannot create the drawing window: error " + std::to_string(GetLastError()),
                          interactive);
        }
        server.window = window.Handle();
        ComPtr<IStandinApplication> application = cadstandin::CreateApplication(drawing, window);
        DWORD cookie = 0;
        const HRESULT published = RegisterActiveObject(application.Get(), classId, ACTIVEOBJECT_STRONG, &cookie);
        if (FAILED(published)) {
            return Refuse(kExitStartFailed, "RegisterActiveObject failed: " + cadstandin::HexResult(published), interactive);
        }
        server.published = true;
        server.log.Line("published cookie=" + std::to_string(cookie));
        server.log.Line("ready");

        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        code = static_cast<int>(message.wParam);

        server.DumpReferences("exit");
        RevokeActiveObject(cookie, nullptr);
        server.published = false;
        // Cut off every client still holding an object, so that nothing calls into a server that has gone.
        std::vector<ComPtr<IUnknown>> objects;
        for (cadstandin::ReportedObject* object : server.Objects()) objects.emplace_back(object->Identity());
        for (const ComPtr<IUnknown>& object : objects) CoDisconnectObject(object.Get(), 0);
        objects.clear();
        application.Reset();
    }
    (void)CoRegisterMessageFilter(previousFilter.Get(), nullptr);
    server.typeLibrary.Reset();
    server.entityLibrary.Reset();
    registration.Unregister();
    server.log.Line("exit code=" + std::to_string(code));
    return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    std::string problem;
    const std::optional<Options> options = ParseOptions(problem);
    if (!options) {
        ToStderr(problem);
        ToStderr("usage: cadstandin [--release N] [--scenario FILE] [--log FILE] [--take-over] [--hidden] | "
                 "[--release N] --send exit|dump [--timeout SECONDS]");
        return kExitUsage;
    }
    if (!options->send.empty()) return Send(*options);

    Server& server = Server::Get();
    if (options->log && !server.log.Open(*options->log)) {
        ToStderr("cannot create the log " + cadstandin::WideToUtf8(*options->log));
        return kExitUsage;
    }
    const bool interactive = !options->scenario && !options->log;
    try {
        if (options->scenario) {
            const std::optional<std::string> text = ReadFile(*options->scenario);
            if (!text) return Refuse(kExitUsage, "cannot read the scenario " + cadstandin::WideToUtf8(*options->scenario), false);
            server.scenario = cadstandin::ParseScenario(*text, options->release.Number());
        } else {
            server.scenario = cadstandin::SampleScenario(options->release.Number());
            server.scenario.pickTimeoutSeconds = 0;
        }
    } catch (const cadstandin::ScenarioError& error) {
        return Refuse(kExitUsage, error.what(), false);
    }
    if (options->hidden) server.scenario.visible = false;
    server.release = options->release;

    const HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(initialized)) return Refuse(kExitStartFailed, "CoInitializeEx failed: " + cadstandin::HexResult(initialized), interactive);
    server.log.Line("start pid=" + std::to_string(GetCurrentProcessId()) + " release=" + std::to_string(server.release.Number()) +
                    " mode=" + (options->scenario ? "test" : "demo") +
                    (options->scenario ? " scenario=" + cadstandin::QuoteText(cadstandin::AsU16(*options->scenario)) : std::string()));
    int code = kExitStartFailed;
    try {
        code = Serve(instance, *options, interactive);
    } catch (...) {
        code = Refuse(kExitStartFailed, "unexpected failure", interactive);
    }
    CoUninitialize();
    return code;
}
