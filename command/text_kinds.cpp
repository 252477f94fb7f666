#include "command/text_kinds.h"

namespace morvane {

namespace {

struct NamedKind {
    std::u16string_view objectName;
    TextKind TextKinds::*row;
};

constexpr NamedKind kNamedKinds[] = {
    {u"AcDbText", &TextKinds::singleLineText},
    {u"AcDbMText", &TextKinds::multilineText},
    {u"AcDbMLeader", &TextKinds::multileader},
    {u"AcDbAttribute", &TextKinds::attribute},
    {u"AcDbAttributeDefinition", &TextKinds::attributeDefinition},
    {u"AcDbTable", &TextKinds::tableCell},
    {u"AcDbArcAlignedText", &TextKinds::arcText},
    {u"AcDbFcf", &TextKinds::tolerance},
};

// Every kind of dimension ("AcDbRotatedDimension", "AcDbRadialDimensionLarge", ...) holds its text
// in its override.
constexpr std::u16string_view kDimension = u"Dimension";

}  // namespace

const TextKind& TextKinds::Named(std::optional<std::u16string_view> objectName) const noexcept {
    if (!objectName) return singleLineText;
    for (const NamedKind& named : kNamedKinds) {
        if (named.objectName == *objectName) return this->*named.row;
    }
    if (objectName->starts_with(u"AcDb") && objectName->find(kDimension) != std::u16string_view::npos) {
        return dimensionOverride;
    }
    return notKnown;
}

const TextKind& KindNamed(std::optional<std::u16string_view> objectName) noexcept {
    return kTextKinds.Named(objectName);
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
