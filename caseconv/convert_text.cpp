#include "caseconv/caseconv.h"

namespace morvane {
namespace {

// The form the code always goes back in, whatever form was found.
constexpr std::u16string_view kUnderlineCodeWritten = u"%%u";

}  // namespace

std::u16string ConvertText(const UnderlineSplit& split, CaseMode mode, const CaseMapper& mapper, TextFormat format, FieldExpressions) {
    std::u16string converted = format == TextFormat::Formatted ? ConvertMTextCase(split.rest, mode, mapper)
                                                               : ConvertCase(split.rest, mode, mapper);
    if (!split.underlined) return converted;
    std::u16string result;
    result.reserve(kUnderlineCodeWritten.size() + converted.size());
    return result.append(kUnderlineCodeWritten).append(converted);
}

std::u16string ConvertText(const UnderlineSplit& split, CaseMode mode, TextFormat format, FieldExpressions) {
    return ConvertText(split, mode, DefaultCaseMapper(), format);
}

std::u16string ConvertText(std::u16string_view text, CaseMode mode, const CaseMapper& mapper, TextFormat format, FieldExpressions) {
    return ConvertText(SplitUnderlinePrefix(text, mapper), mode, mapper, format);
}

std::u16string ConvertText(std::u16string_view text, CaseMode mode, TextFormat format, FieldExpressions) {
    return ConvertText(text, mode, DefaultCaseMapper(), format);
}

// Interim: fields are not yet told apart.
bool HasFieldExpressions(std::u16string_view text) noexcept { return text.find(u"%<") != std::u16string_view::npos; }

}  // namespace morvane
