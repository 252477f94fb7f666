#include "command/text_changes.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "caseconv/caseconv.h"
#include "command/answers.h"
#include "command/program_title.h"
#include "command/table_text.h"

namespace morvane {

namespace {

// The extension dictionary entry that holds an entity's field where the text does not.
constexpr std::u16string_view kFieldEntry = u"ACAD_FIELD";

// The separator of a geometric tolerance's frame ("%%v", either case): every tolerance's text holds one.
bool HoldsFrameSeparator(std::u16string_view text) noexcept {
    for (std::size_t at = text.find(u"%%"); at != std::u16string_view::npos; at = text.find(u"%%", at + 1)) {
        if (at + 2 < text.size() && (text[at + 2] == u'v' || text[at + 2] == u'V')) return true;
    }
    return false;
}

bool LeftAlone(const TextKind* kind) noexcept {
    return kind != nullptr && kind->property == TextProperty::None;
}

// Reads the text through the property the kind's row names.
std::u16string ReadText(CadEntity& entity, TextProperty property) {
    switch (property) {
    case TextProperty::TextString:
        return entity.ReadTextString();
    case TextProperty::MTextAttributeContent:
        return entity.ReadMTextAttributeContent();
    case TextProperty::TextOverride:
        return entity.ReadTextOverride();
    case TextProperty::CellText:
    case TextProperty::None:
        break;
    }
    throw Failure(error_number::kNoSuchMember);
}

// The kind of text an entity holds, from the table of kinds by the entity's ObjectName. The name is
// asked only where the answer matters, so that a plain pick costs no extra call: when the text holds
// something a formatting code begins with or a frame separator (without them every kind reads
// alike), or when the entity keeps no fields in its text on a release that has fields (an attribute
// definition, which may be multiline). It is asked at most once.
class PickedKind {
public:
    PickedKind(const TextKinds& kinds, CadEntity& entity) noexcept : kinds_(kinds), entity_(entity) {}

    // The kind, asked now if the text could read differently by kind; none while it was not asked.
    const TextKind* For(std::u16string_view rest) {
        if (HasFormattingCodes(rest) || HoldsFrameSeparator(rest)) (void)Asked();
        return kind_;
    }

    const TextKind& Asked() {
        if (!kind_) {
            const std::optional<std::u16string> name =
                IfAnswered(AnswerRule::MemberUnknown, [&] { return entity_.ObjectName(); });
            kind_ = &kinds_.Named(name ? std::optional<std::u16string_view>(*name) : std::nullopt);
        }
        return *kind_;
    }

    [[nodiscard]] const TextKind* Known() const noexcept { return kind_; }
    [[nodiscard]] const TextKinds& Kinds() const noexcept { return kinds_; }

private:
    const TextKinds& kinds_;
    CadEntity& entity_;
    const TextKind* kind_ = nullptr;
};

// Whether the entity keeps a field in its extension dictionary. HasExtensionDictionary is asked
// first: asking for the dictionary makes one where there is none, which would change the drawing.
// None where the entity does not answer it (release 15, which has no fields, tells so without a call).
std::optional<bool> FieldInDictionary(CadEntity& entity) {
    const std::optional<bool> has =
        IfAnswered(AnswerRule::MemberUnknown, [&] { return entity.HasExtensionDictionary(); });
    if (!has.value_or(false)) return has;
    return entity.ExtensionDictionaryHolds(kFieldEntry);
}

// The text that is converted and written, or none when the entity is left as it is. Where the kind
// keeps its fields in its text, the text shows their values, and writing those back would replace
// each field by dead text; FieldCode gives the same text with each field as its expression, and
// writing that keeps them. It is taken when it differs from the text and holds an expression. An
// entity that does not answer FieldCode, like every kind that keeps its field in its extension
// dictionary, is left alone when its dictionary holds one: writing its text would lose it.
std::optional<std::u16string> TextKeepingFields(CadEntity& entity, PickedKind& kind, std::u16string shown) {
    const TextKind* known = kind.Known();
    if (known == nullptr || known->fields == FieldPlace::FieldCode) {
        std::optional<std::u16string> coded = IfAnswered(AnswerRule::MemberUnknown, [&] { return entity.ReadFieldCode(); });
        if (coded) return *coded != shown && HasFieldExpressions(*coded) ? std::move(*coded) : std::move(shown);
    }
    const std::optional<bool> field = FieldInDictionary(entity);
    if (field.value_or(false)) return std::nullopt;
    // A release with fields, and an entity that keeps none in its text: which kind it is decides
    // how it is written.
    if (field) (void)kind.Asked();
    return shown;
}

// An attribute's (or attribute definition's) text as it is written back, its TextString split at the
// underline code. A multiline attribute keeps its formatted content in the property its row names
// (MTextAttributeContent), which its TextString may show without the codes: the content is
// converted and written where the release answers it, else the TextString as formatted text. None:
// the content is empty, nothing to write.
std::optional<TextWrite> AttributeWrite(const TextKinds& kinds, CadEntity& attribute, const UnderlineSplit& split,
                                        CaseMode mode) {
    const std::optional<bool> multiline = IfAnswered(AnswerRule::MemberUnknown, [&] { return attribute.ReadMTextAttribute(); });
    if (multiline.value_or(false)) {
        const TextKind& kind = kinds.multilineAttribute;
        if (const auto content = IfAnswered(AnswerRule::MemberUnknown, [&] { return ReadText(attribute, kind.property); })) {
            if (content->empty()) return std::nullopt;
            return TextWrite{&attribute, kind.property, ConvertText(*content, mode, FormatOf(kind, multiline))};
        }
    }
    const TextKind& kind = kinds.attribute;
    return TextWrite{&attribute, kind.property, ConvertText(split, mode, FormatOf(kind, multiline))};
}

// Reads the entity's TextString and adds its write, showing the text behind an underline code first
// where a dialog is given for it. The box waits for as long as the user likes while the CAD
// application stays usable, so the text is read again once it is closed and what is there then is
// converted. An empty text is never written: no case changes it, and writing it may change what the
// entity shows (a multileader whose content is a block reads ""). False when the entity has no
// TextString.
bool ReadTextString(CaseDialog* box, CadEntity& entity, std::optional<CaseMode> mode, PickedKind& kind,
                    Writes& writes) {
    std::optional<std::u16string> shown = IfAnswered(AnswerRule::MemberUnknown, [&] { return entity.ReadTextString(); });
    if (!shown) return false;
    if (shown->empty() || LeftAlone(kind.Known())) return true;
    if (const UnderlineSplit split = SplitUnderlinePrefix(*shown); split.underlined && box != nullptr) {
        // A tolerance is left as it is, without a box.
        if (LeftAlone(kind.For(split.rest))) return true;
        box->ShowMessage(split.rest, kProgramTitle);
        shown = entity.ReadTextString();
        if (shown->empty()) return true;
    }
    if (!mode) return true;
    std::optional<std::u16string> source = TextKeepingFields(entity, kind, std::move(*shown));
    if (!source) return true;
    // The underline code's limit applies to what is written.
    const UnderlineSplit written = SplitUnderlinePrefix(*source);
    const TextKind* known = kind.For(written.rest);
    if (LeftAlone(known)) return true;
    if (known != nullptr && known->reading == TextReading::AsMTextAttributeSays) {
        if (std::optional<TextWrite> write = AttributeWrite(kind.Kinds(), entity, written, *mode)) {
            writes.Add(std::move(*write));
        }
        return true;
    }
    // Not asked: the text reads alike in every kind.
    const TextKind& as = known != nullptr ? *known : kind.Kinds().singleLineText;
    writes.Add(TextWrite{&entity, TextProperty::TextString, ConvertText(written, *mode, FormatOf(as, std::nullopt))});
    return true;
}

// Every attribute's text is read and converted before any is written, so that one too long for the
// underline code (6), or a failure reading one, leaves the whole block as it was. An attribute
// that shows a field, or whose text is empty, is left as it is; the block's others are converted.
void ReadAttributes(const TextKinds& kinds, CadEntity& block, CaseMode mode, Writes& writes) {
    for (const std::shared_ptr<CadEntity>& attribute : block.GetAttributes()) {
        CadEntity& entity = Require(attribute);
        const std::u16string text = ReadText(entity, kinds.attribute.property);
        if (text.empty()) continue;
        const UnderlineSplit split = SplitUnderlinePrefix(text);
        if (FieldInDictionary(entity).value_or(false)) continue;
        if (std::optional<TextWrite> write = AttributeWrite(kinds, entity, split, mode)) {
            writes.Hold(attribute);
            writes.Add(std::move(*write));
        }
    }
}

// A dimension's override, through the property its row names. An empty override means the CAD
// application shows the measurement: it stays empty. An override that shows a field is left as it is.
void ReadOverride(const TextKind& kind, CadEntity& dimension, std::u16string_view text, CaseMode mode,
                  Writes& writes) {
    if (text.empty()) return;
    std::u16string converted = ConvertText(text, mode, FormatOf(kind, std::nullopt));
    if (FieldInDictionary(dimension).value_or(false)) return;
    writes.Add(TextWrite{&dimension, kind.property, std::move(converted)});
}

// For an entity without TextString: the text of a block's attributes, else a dimension's
// override, else a table's cells, in the chosen case and with no message. Anything else stays as
// it is.
void ReadOtherText(const TextKinds& kinds, CadEntity& entity, std::optional<CaseMode> mode, Writes& writes) {
    if (!mode) return;
    const TextKind& dimension = kinds.dimensionOverride;
    if (IfAnswered(AnswerRule::MemberUnknown, [&] { return entity.HasAttributes(); }).value_or(false)) {
        ReadAttributes(kinds, entity, *mode, writes);
    } else if (const auto text = IfAnswered(AnswerRule::MemberUnknown, [&] { return ReadText(entity, dimension.property); })) {
        ReadOverride(dimension, entity, *text, *mode, writes);
    } else if (const auto name = IfAnswered(AnswerRule::MemberUnknown, [&] { return entity.ObjectName(); });
               name && kinds.Named(*name).property == TextProperty::CellText) {
        TableWrite table = ReadTable(entity, *mode, kinds.Named(*name));
        if (!table.cells.empty()) writes.Add(std::move(table));
    }
}

}  // namespace

void ReadTextChanges(CaseDialog* box, CadEntity& entity, std::optional<CaseMode> mode, const TextKinds& kinds,
                     Writes& writes, KindAsked asked) {
    PickedKind kind(kinds, entity);
    if (asked == KindAsked::First) (void)kind.Asked();
    if (!ReadTextString(box, entity, mode, kind, writes)) ReadOtherText(kinds, entity, mode, writes);
}

void ChangePickedText(CaseDialog& dialog, CadDocument& document, CadEntity& entity, std::optional<CaseMode> mode,
                      const TextKinds& kinds) {
    Writes writes;
    ReadTextChanges(&dialog, entity, mode, kinds, writes);
    writes.Make(document, dialog, Redraw::AsWritten);
}

}  // namespace morvane
