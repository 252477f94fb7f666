#include "testing/fakes/call_log.h"

#include <cstdio>

namespace morvane::fakes {

void CallLog::Add(std::string call) {
    calls_.push_back(std::move(call));
    if (observer_) observer_(calls_.back());
}

std::string Readable(std::u16string_view text) {
    std::string readable;
    readable.reserve(text.size());
    for (const char16_t unit : text) {
        if (unit >= 0x20 && unit < 0x7F) {
            readable.push_back(static_cast<char>(unit));
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
            readable += escaped;
        }
    }
    return readable;
}

}  // namespace morvane::fakes
