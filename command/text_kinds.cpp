#include "command/text_kinds.h"

namespace morvane {

namespace {

struct NamedKind {
    std::u16string_view objectName;
    const TextKind& kind;
};

constexpr NamedKind kNamedKinds[] = {
    {u"AcDbText", text_kind::kSingleLineText},
    {u"AcDbMText", text_kind::kMultilineText},
    {u"AcDbMLeader", text_kind::kMultileader},
    {u"AcDbAttribute", text_kind::kAttribute},
    {u"AcDbAttributeDefinition", text_kind::kAttributeDefinition},
    {u"AcDbTable", text_kind::kTableCell},
    {u"AcDbArcAlignedText", text_kind::kArcText},
    {u"AcDbFcf", text_kind::kTolerance},
};

// Every kind of dimension ("AcDbRotatedDimension", "AcDbRadialDimensionLarge", ...) holds its text
// in its override.
constexpr std::u16string_view kDimension = u"Dimension";

}  // namespace

const TextKind& KindNamed(std::optional<std::u16string_view> objectName) noexcept {
    if (!objectName) return text_kind::kSingleLineText;
    for (const NamedKind& named : kNamedKinds) {
        if (named.objectName == *objectName) return named.kind;
    }
    if (objectName->starts_with(u"AcDb") && objectName->find(kDimension) != std::u16string_view::npos) {
        return text_kind::kDimensionOverride;
    }
    return text_kind::kNotKnown;
}

TextFormat FormatOf(const TextKind& kind, std::optional<bool> mtextAttribute) noexcept {
    switch (kind.reading) {
    case TextReading::Formatted:
        return TextFormat::Formatted;
    case TextReading::AsMTextAttributeSays:
        return mtextAttribute.value_or(false) ? TextFormat::Formatted : TextFormat::Plain;
    case TextReading::Plain:
        break;
    }
    return TextFormat::Plain;
}

}  // namespace morvane
