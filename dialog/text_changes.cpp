#include "dialog/text_changes.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "caseconv/caseconv.h"
#include "dialog/answers.h"
#include "dialog/program_title.h"
#include "dialog/table_text.h"
#include "dialog/undo_step.h"

namespace morvane {

namespace {

constexpr std::u16string_view kTable = u"AcDbTable";
// The extension dictionary entry that holds an attribute's field.
constexpr std::u16string_view kFieldEntry = u"ACAD_FIELD";

// How the CAD application reads an entity's text: plain, formatted, or not to be changed at all.
enum class TextKind { Plain, Formatted, LeftAlone };

// The separator of a geometric tolerance's frame ("%%v", either case): every tolerance's text holds one.
bool HoldsFrameSeparator(std::u16string_view text) noexcept {
    for (std::size_t at = text.find(u"%%"); at != std::u16string_view::npos; at = text.find(u"%%", at + 1)) {
        if (at + 2 < text.size() && (text[at + 2] == u'v' || text[at + 2] == u'V')) return true;
    }
    return false;
}

// Whether an attribute's text is formatted text: a multiline attribute's is. One that does not
// answer MTextAttribute is a plain one.
bool IsMultilineAttribute(CadEntity& attribute) {
    return IfAnswered([&] { return attribute.ReadMTextAttribute(); }).value_or(false);
}

// What kind of text an entity's TextString holds, by the entity's ObjectName. The name is asked
// only when the text holds something a formatting code begins with or a frame separator, since
// without them every kind reads alike: a plain pick costs no extra call. It is asked at most once.
class KindOfText {
public:
    explicit KindOfText(CadEntity& entity) noexcept : entity_(entity) {}

    TextKind Of(std::u16string_view rest) {
        if (!HasFormattingCodes(rest) && !HoldsFrameSeparator(rest)) return TextKind::Plain;
        if (!kind_) kind_ = Asked();
        return *kind_;
    }

private:
    TextKind Asked() {
        const std::optional<std::u16string> name = IfAnswered([&] { return entity_.ObjectName(); });
        // An entity that does not say what it is holds plain text.
        if (!name || *name == u"AcDbText" || *name == u"AcDbArcAlignedText") return TextKind::Plain;
        // A geometric tolerance: symbol codes and datum letters, whose case is their meaning.
        if (*name == u"AcDbFcf") return TextKind::LeftAlone;
        if (*name == u"AcDbAttribute" || *name == u"AcDbAttributeDefinition") {
            return IsMultilineAttribute(entity_) ? TextKind::Formatted : TextKind::Plain;
        }
        // Multiline text, multileaders and kinds this program does not know: their codes are kept.
        return TextKind::Formatted;
    }

    CadEntity& entity_;
    std::optional<TextKind> kind_;
};

TextFormat FormatOf(TextKind kind) noexcept {
    return kind == TextKind::Formatted ? TextFormat::Formatted : TextFormat::Plain;
}

// The text that is converted and written back. Where the entity has fields, TextString shows
// their values, and writing those back would replace each field by dead text; FieldCode gives the
// same text with each field as its expression, and writing that through TextString keeps them.
// It is taken when it differs from TextString and holds an expression.
struct TextToWrite {
    std::u16string text;
    FieldExpressions fields;
};

TextToWrite WithFields(CadEntity& entity, std::u16string shown) {
    std::optional<std::u16string> coded = IfAnswered([&] { return entity.ReadFieldCode(); });
    if (coded && *coded != shown && HasFieldExpressions(*coded)) return {std::move(*coded), FieldExpressions::Kept};
    return {std::move(shown), FieldExpressions::AsText};
}

// Rewrites the entity's TextString, showing the text behind an underline code first. The box
// waits for as long as the user likes while the CAD application stays usable, so the text is read
// again once it is closed and what is there then is converted. False when the entity has no
// TextString.
bool ChangeTextString(CaseDialog& dialog, CadEntity& entity, std::optional<CaseMode> mode) {
    std::optional<std::u16string> shown = IfAnswered([&] { return entity.ReadTextString(); });
    if (!shown) return false;
    KindOfText kind(entity);
    if (const UnderlineSplit split = SplitUnderlinePrefix(*shown); split.underlined) {
        // A tolerance is left as it is, without a box.
        if (kind.Of(split.rest) == TextKind::LeftAlone) return true;
        dialog.ShowMessage(split.rest, kProgramTitle);
        shown = entity.ReadTextString();
    }
    if (!mode) return true;
    const TextToWrite source = WithFields(entity, std::move(*shown));
    // The underline code's limit applies to what is written.
    const UnderlineSplit written = SplitUnderlinePrefix(source.text);
    const TextKind writtenKind = kind.Of(written.rest);
    if (writtenKind == TextKind::LeftAlone) return true;
    entity.WriteTextString(ConvertText(written, *mode, FormatOf(writtenKind), source.fields));
    entity.Update();
    return true;
}

// How an attribute's text reads: formatted for a multiline attribute, plain for every other. The
// attribute is asked only when the text holds something a formatting code begins with, so a plain
// attribute costs no extra call.
TextFormat AttributeFormat(CadEntity& attribute, std::u16string_view rest) {
    return HasFormattingCodes(rest) && IsMultilineAttribute(attribute) ? TextFormat::Formatted : TextFormat::Plain;
}

// An attribute keeps its field in its extension dictionary. HasExtensionDictionary is asked first:
// asking for the dictionary makes one where there is none, which would change the drawing.
bool HoldsField(CadEntity& attribute) {
    return IfAnswered([&] { return attribute.HasExtensionDictionary(); }).value_or(false) &&
           attribute.ExtensionDictionaryHolds(kFieldEntry);
}

// Every attribute's text is converted before any is written, so that one too long for the
// underline code (6), or a failure reading one, leaves the whole block as it was. An attribute
// that shows a field is left as it is; the block's others are converted.
void ChangeAttributes(CaseDialog& dialog, CadDocument& document, CadEntity& block, CaseMode mode) {
    const std::vector<std::shared_ptr<CadEntity>> attributes = block.GetAttributes();
    std::vector<std::pair<CadEntity*, std::u16string>> writes;
    writes.reserve(attributes.size());
    for (const std::shared_ptr<CadEntity>& attribute : attributes) {
        CadEntity& entity = Require(attribute);
        const UnderlineSplit split = SplitUnderlinePrefix(entity.ReadTextString());
        if (HoldsField(entity)) continue;
        writes.emplace_back(&entity, ConvertText(split, mode, AttributeFormat(entity, split.rest)));
    }
    InOneUndoStep(document, dialog, writes.size(), [&](const auto& beforeEachCall) {
        for (const auto& [entity, text] : writes) {
            beforeEachCall();
            entity->WriteTextString(text);
            beforeEachCall();
            entity->Update();
        }
    });
}

// An override is always formatted text. An empty one means the CAD application shows the
// measurement: it stays empty, and with nothing written nothing needs redrawing.
void ChangeTextOverride(CadEntity& dimension, std::u16string_view text, CaseMode mode) {
    if (text.empty()) return;
    dimension.WriteTextOverride(ConvertText(text, mode, TextFormat::Formatted));
    dimension.Update();
}

// Every text cell of a table; the table is redrawn once when a cell was written.
void ChangeTableCells(CaseDialog& dialog, CadDocument& document, CadEntity& entity, CaseMode mode) {
    if (ChangeTable(document, dialog, *entity.AsTable(), mode) > 0) entity.Update();
}

// For an entity without TextString: the text of a block's attributes, else a dimension's
// override, else a table's cells, in the chosen case and with no message. Anything else stays as
// it is.
void ChangeOtherText(CaseDialog& dialog, CadDocument& document, CadEntity& entity, std::optional<CaseMode> mode) {
    if (!mode) return;
    if (IfAnswered([&] { return entity.HasAttributes(); }).value_or(false)) {
        ChangeAttributes(dialog, document, entity, *mode);
    } else if (const auto text = IfAnswered([&] { return entity.ReadTextOverride(); })) {
        ChangeTextOverride(entity, *text, *mode);
    } else if (IfAnswered([&] { return entity.ObjectName(); }) == kTable) {
        ChangeTableCells(dialog, document, entity, *mode);
    }
}

}  // namespace

void ChangePickedText(CaseDialog& dialog, CadDocument& document, CadEntity& entity, std::optional<CaseMode> mode) {
    if (!ChangeTextString(dialog, entity, mode)) ChangeOtherText(dialog, document, entity, mode);
}

}  // namespace morvane
