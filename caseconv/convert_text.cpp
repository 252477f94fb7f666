#include "caseconv/caseconv.h"
#include "caseconv/kept_pieces.h"

namespace morvane {
namespace {

// The form the code always goes back in, whatever form was found.
constexpr std::u16string_view kUnderlineCodeWritten = u"%%u";

}  // namespace

std::u16string ConvertText(const UnderlineSplit& split, CaseMode mode, const CaseMapper& mapper, TextFormat format) {
    std::u16string converted = ConvertKeepingCodes(split.rest, mode, mapper, format, FieldExpressions::Kept);
    if (!split.underlined) return converted;
    std::u16string result;
    result.reserve(kUnderlineCodeWritten.size() + converted.size());
    return result.append(kUnderlineCodeWritten).append(converted);
}

std::u16string ConvertText(const UnderlineSplit& split, CaseMode mode, TextFormat format) {
    return ConvertText(split, mode, DefaultCaseMapper(), format);
}

std::u16string ConvertText(std::u16string_view text, CaseMode mode, const CaseMapper& mapper, TextFormat format) {
    return ConvertText(SplitUnderlinePrefix(text, mapper), mode, mapper, format);
}

std::u16string ConvertText(std::u16string_view text, CaseMode mode, TextFormat format) {
    return ConvertText(text, mode, DefaultCaseMapper(), format);
}

}  // namespace morvane
