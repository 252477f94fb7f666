#include "dialog/text_changes.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "caseconv/caseconv.h"
#include "dialog/answers.h"

namespace morvane {

namespace {

constexpr std::u16string_view kProgramTitle = u"Morvane";
// The one kind of entity whose TextString is formatted text.
constexpr std::u16string_view kMultilineText = u"AcDbMText";

// How the entity's TextString reads: formatted for a multiline text, plain for every other. The
// entity is asked only when the text holds something a formatting code begins with, since without
// that both read alike: a plain pick costs no extra call. An entity that does not say is plain.
TextFormat TextStringFormat(CadEntity& entity, std::u16string_view rest) {
    if (!HasFormattingCodes(rest)) return TextFormat::Plain;
    const std::optional<std::u16string> name = IfAnswered([&] { return entity.ObjectName(); });
    return name == kMultilineText ? TextFormat::Formatted : TextFormat::Plain;
}

// Rewrites the entity's TextString, showing the text behind an underline code first. The box
// waits for as long as the user likes while the CAD application stays usable, so the text is read
// again once it is closed and what is there then is converted. False when the entity has no
// TextString.
bool ChangeTextString(CaseDialog& dialog, CadEntity& entity) {
    const std::optional<std::u16string> text = IfAnswered([&] { return entity.ReadTextString(); });
    if (!text) return false;
    UnderlineSplit split = SplitUnderlinePrefix(*text);
    if (split.underlined) {
        dialog.ShowMessage(split.rest, kProgramTitle);
        split = SplitUnderlinePrefix(entity.ReadTextString());
    }
    if (const std::optional<CaseMode> mode = dialog.SelectedCase()) {
        entity.WriteTextString(ConvertText(split, *mode, TextStringFormat(entity, split.rest)));
        entity.Update();
    }
    return true;
}

// How an attribute's text reads: formatted for a multiline attribute, plain for every other. The
// attribute is asked only when the text holds something a formatting code begins with, so a plain
// attribute costs no extra call; one that does not answer MTextAttribute is plain.
TextFormat AttributeFormat(CadEntity& attribute, std::u16string_view rest) {
    if (!HasFormattingCodes(rest)) return TextFormat::Plain;
    const bool multiline = IfAnswered([&] { return attribute.ReadMTextAttribute(); }).value_or(false);
    return multiline ? TextFormat::Formatted : TextFormat::Plain;
}

// Every attribute's text is converted before any is written, so that one too long for the
// underline code (6), or a failure reading one, leaves the whole block as it was.
void ChangeAttributes(CadEntity& block, CaseMode mode) {
    const std::vector<std::shared_ptr<CadEntity>> attributes = block.GetAttributes();
    std::vector<std::u16string> results;
    results.reserve(attributes.size());
    for (const std::shared_ptr<CadEntity>& attribute : attributes) {
        CadEntity& entity = Require(attribute);
        const UnderlineSplit split = SplitUnderlinePrefix(entity.ReadTextString());
        results.push_back(ConvertText(split, mode, AttributeFormat(entity, split.rest)));
    }
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        attributes[i]->WriteTextString(results[i]);
        attributes[i]->Update();
    }
}

// An override is always formatted text. An empty one means the CAD application shows the
// measurement: it stays empty, and with nothing written nothing needs redrawing.
void ChangeTextOverride(CadEntity& dimension, std::u16string_view text, CaseMode mode) {
    if (text.empty()) return;
    dimension.WriteTextOverride(ConvertText(text, mode, TextFormat::Formatted));
    dimension.Update();
}

// For an entity without TextString: the text of a block's attributes, else a dimension's
// override, in the chosen case and with no message. Anything else stays as it is.
void ChangeOtherText(CaseDialog& dialog, CadEntity& entity) {
    const std::optional<CaseMode> mode = dialog.SelectedCase();
    if (!mode) return;
    if (IfAnswered([&] { return entity.HasAttributes(); }).value_or(false)) {
        ChangeAttributes(entity, *mode);
    } else if (const auto text = IfAnswered([&] { return entity.ReadTextOverride(); })) {
        ChangeTextOverride(entity, *text, *mode);
    }
}

}  // namespace

void ChangePickedText(CaseDialog& dialog, CadEntity& entity) {
    if (!ChangeTextString(dialog, entity)) ChangeOtherText(dialog, entity);
}

}  // namespace morvane
