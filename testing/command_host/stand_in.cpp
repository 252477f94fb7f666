#include "testing/command_host/stand_in.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "cadstandin/end_waits.h"

namespace morvane::testing_host {

namespace {

using testing_support::Wide;

std::u16string FromUtf8(std::string_view utf8) {
    const std::wstring wide = Wide(utf8);
    return std::u16string(wide.begin(), wide.end());
}

std::wstring SafeName(std::string_view name) {
    std::wstring result;
    for (const char c : name) {
        result.push_back(std::isalnum(static_cast<unsigned char>(c)) ? static_cast<wchar_t>(c) : L'_');
    }
    return result;
}

int IntField(std::string_view line, std::string_view key) {
    const std::optional<std::u16string> value = LogField(line, key);
    if (!value) {
        return -1;
    }
    int number = 0;
    for (const char16_t c : *value) {
        number = number * 10 + (c - u'0');
    }
    return number;
}

}  // namespace

std::wstring& StandIn::ServerPath() {
    static std::wstring path;
    return path;
}

std::wstring& StandIn::WorkFolder() {
    static std::wstring folder;
    return folder;
}

StandIn::StandIn(std::string_view name, std::string_view scenario, std::wstring_view arguments) {
    const std::wstring base = WorkFolder() + L"\\" + SafeName(name);
    const std::wstring scenarioPath = base + L".scenario.txt";
    logPath_ = base + L".log.txt";
    DeleteFileW(logPath_.c_str());
    {
        std::ofstream file(std::filesystem::path(scenarioPath), std::ios::binary | std::ios::trunc);
        file << scenario;
        if (!file) {
            problem_ = "cannot write the scenario file";
            return;
        }
    }
    try {
        std::wstring commandLine = L"--scenario \"" + scenarioPath + L"\" --log \"" + logPath_ + L"\"";
        if (!arguments.empty()) {
            commandLine.append(L" ").append(arguments);
        }
        process_.emplace(ServerPath(), commandLine);
    } catch (const std::runtime_error& error) {
        problem_ = error.what();
        return;
    }
    const testing_support::Waited ready =
        process_->WaitWhileRunning([&] { return !LogLines("ready").empty(); }, 20'000, "the stand-in's \"ready\" line");
    ready_ = ready;
    if (!ready_) {
        problem_ = ready.Reason() + "; its log:\n" + LogText();
    }
}

StandIn::~StandIn() { Stop(); }

std::string StandIn::LogText() const {
    std::ifstream file(std::filesystem::path(logPath_), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> StandIn::Log() const {
    std::vector<std::string> lines;
    std::istringstream text(LogText());
    std::string line;
    while (std::getline(text, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> StandIn::LogLines(std::string_view prefix) const {
    std::vector<std::string> lines;
    for (std::string& line : Log()) {
        if (std::string_view(line).starts_with(prefix)) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

HWND StandIn::Window() const {
    for (const std::string& line : LogLines("window ")) {
        if (const auto value = LogField(line, "hwnd")) {
            const std::string digits(value->begin(), value->end());  // "0x0003004A"
            return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(digits, nullptr, 16)));
        }
    }
    return nullptr;
}

std::optional<References> StandIn::Dump() {
    const HWND window = Window();
    if (window == nullptr) {
        return std::nullopt;
    }
    const std::size_t before = LogLines("refs-total ").size();
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(window, RegisterWindowMessageW(L"CadStandin.DumpReferences"), 0, 0, SMTO_ABORTIFHUNG,
                            10'000, &answer) == 0 ||
        answer != 1) {
        return std::nullopt;
    }
    // The newest block: refs lines, refs-total, then the calls line.
    const std::vector<std::string> lines = Log();
    References references;
    std::size_t totalAt = lines.size();
    std::size_t seen = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].starts_with("refs-total ") && ++seen == before + 1) {
            totalAt = i;
        }
    }
    if (totalAt == lines.size()) {
        return std::nullopt;
    }
    // Between the refs lines and refs-total come the drawing's state lines: a table's cells, the undo
    // steps.
    for (std::size_t i = totalAt; i-- > 0;) {
        const std::string_view line = lines[i];
        if (line.starts_with("refs ")) {
            const std::size_t nameEnd = line.find(' ', 5);
            references.external[std::string(line.substr(5, nameEnd - 5))] = IntField(line, "ext");
        } else if (line.starts_with("undo ")) {
            references.undoSteps = IntField(line, "steps");
            references.undoOpen = IntField(line, "open");
        } else if (!line.starts_with("table ") && !line.starts_with("cell ")) {
            break;
        }
    }
    if (totalAt + 1 < lines.size() && lines[totalAt + 1].starts_with("calls ")) {
        const std::string_view line = lines[totalAt + 1];
        references.calls = {IntField(line, "qi"), IntField(line, "vtable"), IntField(line, "getidsofnames"),
                            IntField(line, "invoke"), IntField(line, "total")};
    }
    return references;
}

std::optional<DWORD> StandIn::WaitForExit(DWORD milliseconds) {
    return process_ ? process_->WaitForExit(milliseconds) : std::nullopt;
}

void StandIn::EndWaits() const {
    if (!process_) {
        return;
    }
    const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, cadstandin::EndWaitsEventName(process_->Id()).c_str());
    if (event != nullptr) {
        SetEvent(event);
        CloseHandle(event);
    }
}

std::optional<DWORD> StandIn::Stop() {
    if (!process_) {
        return std::nullopt;
    }
    EndWaits();
    const std::optional<DWORD> code = process_->Close(Window(), 15'000);
    process_.reset();
    return code;
}

std::optional<std::u16string> LogField(std::string_view line, std::string_view key) {
    std::string needle(1, ' ');
    needle.append(key).append(1, '=');
    const std::size_t at = line.find(needle);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = line.substr(at + needle.size());
    if (!rest.starts_with('"')) {
        return FromUtf8(rest.substr(0, rest.find(' ')));
    }
    std::u16string value;
    std::string plain;
    auto flush = [&] {
        value += FromUtf8(plain);
        plain.clear();
    };
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '"') {
            break;
        }
        if (c != '\\' || i + 1 >= rest.size()) {
            plain.push_back(c);
            continue;
        }
        flush();
        const char escaped = rest[++i];
        switch (escaped) {
        case '0': value.push_back(u'\0'); break;
        case 'n': value.push_back(u'\n'); break;
        case 'r': value.push_back(u'\r'); break;
        case 't': value.push_back(u'\t'); break;
        case 'u': {
            const std::size_t close = rest.find('}', i);
            value.push_back(static_cast<char16_t>(std::stoul(std::string(rest.substr(i + 2, close - i - 2)), nullptr, 16)));
            i = close;
            break;
        }
        default: value.push_back(static_cast<char16_t>(escaped)); break;
        }
    }
    flush();
    return value;
}

}  // namespace morvane::testing_host
