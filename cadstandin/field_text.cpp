#include "cadstandin/field_text.h"

namespace cadstandin {

std::vector<FieldSpan> OutermostFields(std::u16string_view code) {
    std::vector<FieldSpan> spans;
    std::size_t depth = 0;
    std::size_t begin = 0;
    for (std::size_t i = 0; i + 1 < code.size(); ++i) {
        if (code[i] == u'%' && code[i + 1] == u'<') {
            if (depth++ == 0) begin = i;
            ++i;
        } else if (depth > 0 && code[i] == u'>' && code[i + 1] == u'%') {
            ++i;
            if (--depth == 0) spans.push_back({begin, i + 1 - begin});
        }
    }
    return spans;
}

std::u16string FieldValue(const std::vector<FieldDeclaration>& fields, std::string_view entity,
                          std::u16string_view expression) {
    for (const FieldDeclaration& field : fields) {
        if (field.entity == entity && field.expression == expression) return field.value;
    }
    return u"####";
}

std::u16string ShowFields(std::u16string_view code, const std::vector<FieldDeclaration>& fields,
                          std::string_view entity) {
    std::u16string shown;
    std::size_t done = 0;
    for (const FieldSpan& span : OutermostFields(code)) {
        shown.append(code.substr(done, span.begin - done));
        shown += FieldValue(fields, entity, code.substr(span.begin, span.length));
        done = span.begin + span.length;
    }
    shown.append(code.substr(done));
    return shown;
}

}  // namespace cadstandin
