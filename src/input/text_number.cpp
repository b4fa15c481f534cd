#include "input/text_number.hpp"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <string>

namespace tolvane {

namespace {

bool isCSpace(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Sign and digits from position i on; empty when no digit follows the sign.
// Saturates at +-(LLONG_MAX - 9) instead of overflowing: any count this large
// is corrected later.
std::optional<long long> signedDigits(std::string_view t, std::size_t i) {
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
  }
  if (i >= t.size() || !isDigit(t[i])) return std::nullopt;
  long long value = 0;
  for (; i < t.size() && isDigit(t[i]); ++i) {
    if (value <= LLONG_MAX / 10 - 9) value = value * 10 + (t[i] - '0');
  }
  return negative ? -value : value;
}

std::optional<int> clampedToInt(std::optional<long long> v) {
  if (!v) return std::nullopt;
  if (*v > INT_MAX) return INT_MAX;
  if (*v < -INT_MAX) return -INT_MAX;
  return static_cast<int>(*v);
}

std::size_t afterSpace(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && isCSpace(line[i]))
    ++i;
  return i;
}

}  // namespace

double textToDouble(std::string_view text) {
  // strtod needs a terminated string; a token is a view into a longer line.
  const std::string copy(text);
  return std::strtod(copy.c_str(), nullptr);
}

int textToInt(std::string_view text) {
  return clampedToInt(signedDigits(text, afterSpace(text))).value_or(0);
}

std::optional<int> firstInteger(std::string_view line) {
  return clampedToInt(signedDigits(line, afterSpace(line)));
}

std::optional<std::int64_t> firstCount(std::string_view line) {
  return signedDigits(line, afterSpace(line));
}

}  // namespace tolvane
