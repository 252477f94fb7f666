#pragma once

#include <optional>
#include <string_view>

#include "caseconv/caseconv.h"

// The one place that says, for each kind of text the CAD application holds, how the command reads and
// writes it, whether it is formatted text, where its fields are kept and whether it is left alone.

namespace morvane {

// The property (or member) the text is read and written through.
enum class TextProperty {
    TextString,
    // A multiline attribute's formatted content; its TextString may read the text without its codes.
    MTextAttributeContent,
    // A dimension's override: empty shows the measurement.
    TextOverride,
    // A table's cells, GetText and SetText one by one.
    CellText,
    // Nothing is written: the text is left as it is.
    None,
};

// How the text reads: plain, formatted, or formatted only where the attribute's MTextAttribute says
// it is a multiline one.
enum class TextReading { Plain, Formatted, AsMTextAttributeSays };

// Where the CAD application keeps the text's fields. An entity with a field kept elsewhere than in
// its text is left alone: writing its text would replace the field by dead text.
enum class FieldPlace {
    // In the text as expressions, which FieldCode gives (TextString shows their values). An entity
    // that does not answer FieldCode keeps them in its extension dictionary.
    FieldCode,
    // In the extension dictionary's "ACAD_FIELD" entry.
    ExtensionDictionary,
    // A cell's GetFieldId: a field or a formula.
    CellFieldId,
};

struct TextKind {
    std::u16string_view name;
    TextProperty property;
    TextReading reading;
    FieldPlace fields;
};

// The kinds, by name, as the rows of the table.
namespace text_kind {
inline constexpr TextKind kSingleLineText{u"single-line text", TextProperty::TextString, TextReading::Plain, FieldPlace::FieldCode};
inline constexpr TextKind kMultilineText{u"multiline text", TextProperty::TextString, TextReading::Formatted, FieldPlace::FieldCode};
inline constexpr TextKind kMultileader{u"multileader", TextProperty::TextString, TextReading::Formatted,
                                       FieldPlace::ExtensionDictionary};
inline constexpr TextKind kAttribute{u"attribute", TextProperty::TextString, TextReading::AsMTextAttributeSays,
                                     FieldPlace::ExtensionDictionary};
inline constexpr TextKind kMultilineAttribute{u"multiline attribute", TextProperty::MTextAttributeContent,
                                              TextReading::Formatted, FieldPlace::ExtensionDictionary};
inline constexpr TextKind kAttributeDefinition{u"attribute definition", TextProperty::TextString,
                                               TextReading::AsMTextAttributeSays, FieldPlace::ExtensionDictionary};
inline constexpr TextKind kDimensionOverride{u"dimension override", TextProperty::TextOverride, TextReading::Formatted,
                                             FieldPlace::ExtensionDictionary};
inline constexpr TextKind kTableCell{u"table cell", TextProperty::CellText, TextReading::Formatted, FieldPlace::CellFieldId};
inline constexpr TextKind kArcText{u"arc text", TextProperty::TextString, TextReading::Plain, FieldPlace::ExtensionDictionary};
// A geometric tolerance: symbol codes and datum letters, whose case is their meaning.
inline constexpr TextKind kTolerance{u"tolerance", TextProperty::None, TextReading::Plain, FieldPlace::FieldCode};
// Kinds this program does not know: their codes are kept, and FieldCode is asked first.
inline constexpr TextKind kNotKnown{u"a kind not known", TextProperty::TextString, TextReading::Formatted,
                                    FieldPlace::FieldCode};
}  // namespace text_kind

// The table: a row for each kind, and which row each of the CAD application's names for an entity
// (ObjectName) picks. The command reads, writes and keeps fields as the rows say; a table other than
// the program's changes what a press does.
struct TextKinds {
    TextKind singleLineText = text_kind::kSingleLineText;
    TextKind multilineText = text_kind::kMultilineText;
    TextKind multileader = text_kind::kMultileader;
    TextKind attribute = text_kind::kAttribute;
    TextKind multilineAttribute = text_kind::kMultilineAttribute;
    TextKind attributeDefinition = text_kind::kAttributeDefinition;
    TextKind dimensionOverride = text_kind::kDimensionOverride;
    TextKind tableCell = text_kind::kTableCell;
    TextKind arcText = text_kind::kArcText;
    TextKind tolerance = text_kind::kTolerance;
    TextKind notKnown = text_kind::kNotKnown;

    // The row for the CAD application's name for the entity; an entity that does not say what it
    // is (none) holds single-line text.
    [[nodiscard]] const TextKind& Named(std::optional<std::u16string_view> objectName) const noexcept;
};

// The program's table.
inline constexpr TextKinds kTextKinds{};

// The program's row for the CAD application's name for an entity (kTextKinds.Named).
[[nodiscard]] const TextKind& KindNamed(std::optional<std::u16string_view> objectName) noexcept;

// How a text of this kind is read, once a multiline attribute's MTextAttribute is known (none: not
// asked, or not answered).
[[nodiscard]] TextFormat FormatOf(const TextKind& kind, std::optional<bool> mtextAttribute) noexcept;

}  // namespace morvane
