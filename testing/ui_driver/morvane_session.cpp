#include "testing/ui_driver/morvane_session.h"

#include <cstdio>
#include <stdexcept>

namespace morvane::ui {

Programs& ProgramPaths() {
    static Programs programs;
    return programs;
}

namespace {

std::wstring NewFolder() {
    wchar_t temp[MAX_PATH]{};
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    std::wstring folder = std::wstring(temp) + L"morvane-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(++serial);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void WriteFile(const std::wstring& path, std::string_view content) {
    std::FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot write " + Utf8(path));
    }
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

std::string ReadShared(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        content.append(buffer, read);
    }
    CloseHandle(file);
    return content;
}

bool ContainsAll(std::string_view line, const std::vector<std::string_view>& fragments) {
    for (auto fragment : fragments) {
        if (line.find(fragment) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

}  // namespace

Standin::Standin(std::string_view scenario) : folder_(NewFolder()), logPath_(folder_ + L"\\standin.log") {
    const std::wstring scenarioPath = folder_ + L"\\scenario.txt";
    WriteFile(scenarioPath, scenario);
    process_ = std::make_unique<Process>(ProgramPaths().standin,
                                         L"--scenario \"" + scenarioPath + L"\" --log \"" + logPath_ + L"\"");
    if (WaitForLine({"ready"}, 30000).empty()) {
        throw std::runtime_error("the stand-in did not get ready; its log:\n" + ReadShared(logPath_));
    }
    const std::string windowLine = WaitForLine({"window hwnd="}, 1000);
    const auto at = windowLine.find("hwnd=");
    window_ = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::stoull(windowLine.substr(at + 5), nullptr, 16)));
}

Standin::~Standin() {
    if (process_->Running()) {
        Close();
    }
}

bool Standin::Close() {
    PostMessageW(window_, WM_CLOSE, 0, 0);
    return process_->WaitForExit(15000);
}

std::vector<std::string> Standin::Lines() const {
    std::vector<std::string> lines;
    const std::string content = ReadShared(logPath_);
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            break;  // a line still being written
        }
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string Standin::WaitForLine(const std::vector<std::string_view>& fragments, DWORD timeoutMs) const {
    std::string found;
    (void)WaitUntil(
        [&] {
            for (const auto& line : Lines()) {
                if (ContainsAll(line, fragments)) {
                    found = line;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

std::vector<std::string> Standin::LinesWith(std::string_view fragment) const {
    std::vector<std::string> found;
    for (const auto& line : Lines()) {
        if (line.find(fragment) != std::string::npos) {
            found.push_back(line);
        }
    }
    return found;
}

std::vector<std::string> Standin::DumpReferences() const {
    const std::size_t before = Lines().size();
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window_, RegisterWindowMessageW(L"CadStandin.DumpReferences"), 0, 0, SMTO_ABORTIFHUNG, 10000,
                        &result);
    std::vector<std::string> refs;
    const auto lines = Lines();
    for (std::size_t i = before; i < lines.size(); ++i) {
        if (lines[i].rfind("refs", 0) == 0) {
            refs.push_back(lines[i]);
        }
    }
    return refs;
}

Morvane::Morvane() : process_(std::make_unique<Process>(ProgramPaths().morvane, L"")) {
    window_ = WaitForWindow(process_->Id(), L"frmMorvane", L"Morvane", true, 20000);
    if (window_ == nullptr) {
        throw std::runtime_error("the Morvane window did not show");
    }
    Sync();
}

Morvane::~Morvane() {
    if (process_->Running()) {
        PostMessageW(window_, WM_CLOSE, 0, 0);
        if (!process_->WaitForExit(5000)) {
            process_->Terminate();
        }
    }
}

HWND Morvane::Control(std::wstring_view caption) const {
    HWND control = ChildByCaption(window_, caption);
    if (control == nullptr) {
        throw std::runtime_error("no control " + Utf8(caption));
    }
    return control;
}

void Morvane::Press(std::wstring_view caption) const { PressButton(Control(caption)); }

std::array<bool, 4> Morvane::Checks() const {
    std::array<bool, 4> checks{};
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
        checks[i] = SendMessageW(Control(kOptions[i]), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    return checks;
}

void Morvane::Sync() const {
    // Messages posted to one thread are handled in order: once a state change posted last has
    // happened, everything posted before it has been handled. The group box shows no pushed state.
    HWND frame = Control(L"");
    PostMessageW(frame, BM_SETSTATE, TRUE, 0);
    (void)WaitUntil([&] { return (SendMessageW(frame, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }, 10000);
    SendMessageW(frame, BM_SETSTATE, FALSE, 0);
}

}  // namespace morvane::ui
