#include "cadstandin/mtext_format.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <optional>
#include <string>

namespace cadstandin {
namespace {

constexpr double kSmallestHeight = 6;
constexpr double kLargestHeight = 96;

std::string Ascii(std::u16string_view text) {
    std::string out;
    for (char16_t unit : text) out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    return out;
}

std::optional<double> Number(std::u16string_view text) {
    const std::string ascii = Ascii(text);
    double value = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (error != std::errc{} || end != ascii.data() + ascii.size()) return std::nullopt;
    return value;
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else if (cp <= 0x10FFFF) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// "\U+XXXX": the character, or none when the four hex digits are not there.
std::optional<char32_t> NamedCharacter(std::u16string_view text, std::size_t at) {
    if (text.size() - at < 7 || text[at + 2] != u'+') return std::nullopt;
    const std::string digits = Ascii(text.substr(at + 3, 4));
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

class Reader {
public:
    Reader(std::u16string_view text, double baseHeight) : text_(text) { style_.height = baseHeight; }

    std::vector<MTextLine> Read() {
        while (at_ < text_.size()) Step();
        Flush();
        return std::move(lines_);
    }

private:
    void Step() {
        const char16_t unit = text_[at_];
        if (unit == u'{') {
            Flush();
            scopes_.push_back(style_);
            ++at_;
        } else if (unit == u'}') {
            Flush();
            if (!scopes_.empty()) {
                style_ = scopes_.back();
                scopes_.pop_back();
            }
            ++at_;
        } else if (unit == u'\n') {
            NewLine(false);
            ++at_;
        } else if (text_.substr(at_, 3) == u"%%U" || text_.substr(at_, 3) == u"%%u") {
            Switch(style_.underline, !style_.underline);
            at_ += 3;
        } else if (unit == u'\\') {
            Code();
        } else {
            pending_.push_back(unit);
            ++at_;
        }
    }

    void Code() {
        if (at_ + 1 == text_.size()) {
            ++at_;
            return;
        }
        const char16_t name = text_[at_ + 1];
        switch (name) {
        case u'P': case u'N': NewLine(false); at_ += 2; return;
        case u'X': NewLine(true); at_ += 2; return;
        case u'~': pending_.push_back(u'\u00A0'); at_ += 2; return;
        case u'L': Switch(style_.underline, true); at_ += 2; return;
        case u'l': Switch(style_.underline, false); at_ += 2; return;
        case u'O': Switch(style_.overline, true); at_ += 2; return;
        case u'o': Switch(style_.overline, false); at_ += 2; return;
        case u'K': Switch(style_.strikeThrough, true); at_ += 2; return;
        case u'k': Switch(style_.strikeThrough, false); at_ += 2; return;
        case u'\\': case u'{': case u'}': pending_.push_back(name); at_ += 2; return;
        case u'U':
            if (const auto named = NamedCharacter(text_, at_)) {
                AppendCodePoint(pending_, *named);
                at_ += 7;
                return;
            }
            break;
        case u'A': case u'C': case u'c': case u'F': case u'f': case u'H': case u'Q': case u'T': case u'W':
        case u'p': case u'S': {
            const std::size_t semicolon = text_.find(u';', at_ + 2);
            if (semicolon == std::u16string_view::npos) {
                at_ = text_.size();
                return;
            }
            Argument(name, text_.substr(at_ + 2, semicolon - at_ - 2));
            at_ = semicolon + 1;
            return;
        }
        default:
            break;
        }
        at_ += 2;
    }

    void Argument(char16_t name, std::u16string_view argument) {
        switch (name) {
        case u'C': {
            const std::optional<double> index = Number(argument);
            Flush();
            style_.colorIndex = index && *index >= 1 && *index <= 7 ? static_cast<int>(*index) : 0;
            break;
        }
        case u'f': {
            Flush();
            style_.bold = argument.find(u"|b1") != std::u16string_view::npos;
            style_.italic = argument.find(u"|i1") != std::u16string_view::npos;
            break;
        }
        case u'H': {
            const bool relative = !argument.empty() && (argument.back() == u'x' || argument.back() == u'X');
            const std::optional<double> value = Number(relative ? argument.substr(0, argument.size() - 1) : argument);
            if (!value || *value <= 0) break;
            Flush();
            style_.height = std::clamp(relative ? style_.height * *value : *value, kSmallestHeight, kLargestHeight);
            break;
        }
        case u'S': {
            Flush();
            const std::size_t split = argument.find_first_of(u"/^#");
            MTextSpan span{.stacked = true, .style = style_};
            span.text = std::u16string(argument.substr(0, split));
            if (split != std::u16string_view::npos) span.lower = std::u16string(argument.substr(split + 1));
            lines_.back().spans.push_back(std::move(span));
            break;
        }
        default:
            break;
        }
    }

    void Switch(bool& property, bool on) {
        Flush();
        property = on;
    }

    void NewLine(bool belowDimensionLine) {
        Flush();
        belowDimensionLine_ = belowDimensionLine_ || belowDimensionLine;
        lines_.emplace_back().belowDimensionLine = belowDimensionLine_;
    }

    void Flush() {
        if (pending_.empty()) return;
        lines_.back().spans.push_back({.text = std::move(pending_), .style = style_});
        pending_.clear();
    }

    std::u16string_view text_;
    std::size_t at_ = 0;
    MTextStyle style_;
    std::vector<MTextStyle> scopes_;
    std::u16string pending_;
    std::vector<MTextLine> lines_ = std::vector<MTextLine>(1);
    bool belowDimensionLine_ = false;
};

}  // namespace

std::vector<MTextLine> LayOutMText(std::u16string_view text, double baseHeight) {
    return Reader(text, baseHeight).Read();
}

std::u16string TextWithoutCodes(std::u16string_view text) {
    std::u16string shown;
    bool first = true;
    for (const MTextLine& line : LayOutMText(text, 10)) {
        if (!first) shown += u' ';
        first = false;
        for (const MTextSpan& span : line.spans) {
            shown += span.text;
            if (span.stacked) shown.append(u"/").append(span.lower);
        }
    }
    return shown;
}

}  // namespace cadstandin
