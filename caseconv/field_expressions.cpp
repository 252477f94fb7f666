#include "caseconv/field_expressions.h"

#include "caseconv/caseconv.h"

namespace morvane::fields {

// Each "%<" opens an expression and each ">%" inside one closes the innermost; outside every
// expression a ">%" is text. An expression that closes holds every one that closed since it opened,
// so those leave the list; an outer one that never closes leaves the inner ones complete.
std::vector<Span> Outermost(std::u16string_view text) {
    std::vector<Span> spans;
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < text.size();) {
        if (StartsAt(text, i)) {
            open.push_back(i);
            i += 2;
        } else if (!open.empty() && EndsAt(text, i)) {
            const std::size_t start = open.back();
            open.pop_back();
            i += 2;
            while (!spans.empty() && spans.back().start > start) spans.pop_back();
            spans.push_back({start, i - start});
        } else {
            ++i;
        }
    }
    return spans;
}

}  // namespace morvane::fields

namespace morvane {

// The first ">%" met inside an expression completes one: no stack is needed to know that much.
bool HasFieldExpressions(std::u16string_view text) noexcept {
    std::size_t depth = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (fields::StartsAt(text, i)) {
            ++depth;
            i += 2;
        } else if (depth > 0 && fields::EndsAt(text, i)) {
            return true;
        } else {
            ++i;
        }
    }
    return false;
}

}  // namespace morvane
