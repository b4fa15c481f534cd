// Text-to-number conversion with the C library's rules, for the batch input
// file and the dialogs' number fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tolvane {

// strtod semantics: leading white space skipped, the longest valid prefix
// used ("12abc" is 12, "1e3" is 1000, hexadecimal, "inf" and "nan" as C reads
// them), 0 when there is none.
double textToDouble(std::string_view text);

// atoi semantics: leading white space, an optional sign and the decimal
// digits that follow; 0 when there are none. Values beyond int are clamped.
int textToInt(std::string_view text);

// The integer at the start of a line as scanf's "%d" finds it: white space,
// an optional sign and at least one digit. Empty when the line does not start
// that way (the caller then keeps its previous value). Clamped to int.
std::optional<int> firstInteger(std::string_view line);

// The same for a count of rows, which sums of cross-products may carry far
// beyond int (billions of rows reduced): clamped only near the 64-bit limit.
std::optional<std::int64_t> firstCount(std::string_view line);

}  // namespace tolvane
