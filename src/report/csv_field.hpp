// One field of a CSV table, as every table the program writes quotes it.
#pragma once

#include <string>
#include <string_view>

namespace tolvane {

// `text` as one field: unchanged unless it holds a comma, a double quote, a
// carriage return or a line feed, which a reader would take for the field's
// end; then in double quotes, each quote inside doubled (RFC 4180). Blanks
// are kept as they are, at either end too; empty text is an empty field.
std::string csvField(std::string_view text);

}  // namespace tolvane
