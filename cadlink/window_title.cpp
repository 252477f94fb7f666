#include "cadlink/window_title.h"

namespace morvane {

std::optional<std::size_t> ChooseWindowByTitle(std::span<const std::u16string> titles,
                                               std::u16string_view wanted) noexcept {
    // An empty text would be a prefix of every title and bring forward whatever window is first.
    if (wanted.empty()) {
        return std::nullopt;
    }
    std::optional<std::size_t> byPrefix;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const std::u16string_view title = titles[i];
        if (title == wanted) {
            return i;
        }
        if (!byPrefix && title.starts_with(wanted)) {
            byPrefix = i;
        }
    }
    return byPrefix;
}

}  // namespace morvane
