#pragma once

#include <string>
#include <string_view>
#include <vector>

// Fields in a text: the CAD application keeps a text's fields as expressions "%<...>%" in its field
// code (FieldCode), and shows each one's value in its TextString. Expressions nest ("%<\AcObjProp
// Object(%<\_ObjId 42>%).Area>%"); only the outermost ones are fields of the text. Portable.

namespace cadstandin {

// What a field expression of one entity shows, as the scenario declares it.
struct FieldDeclaration {
    std::string entity;          // the text's id
    std::u16string expression;   // the whole outermost expression, "%<" to ">%"
    std::u16string value;
};

// Where one outermost expression lies in a text.
struct FieldSpan {
    std::size_t begin = 0;   // at its "%<"
    std::size_t length = 0;  // to the end of its ">%"
};

// The outermost expressions, in order. A "%<" never closed is no field.
[[nodiscard]] std::vector<FieldSpan> OutermostFields(std::u16string_view code);

// The value an expression of this entity shows: the declared one, or "####", as the CAD application
// shows a field it cannot evaluate.
[[nodiscard]] std::u16string FieldValue(const std::vector<FieldDeclaration>& fields, std::string_view entity,
                                        std::u16string_view expression);

// The text as TextString answers it: each outermost expression replaced by its value.
[[nodiscard]] std::u16string ShowFields(std::u16string_view code, const std::vector<FieldDeclaration>& fields,
                                        std::string_view entity);

}  // namespace cadstandin
