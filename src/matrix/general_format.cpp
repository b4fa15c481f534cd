#include "matrix/general_format.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace tolvane {

// The digits are assembled in machine words, first digit first in memory.
static_assert(std::endian::native == std::endian::little);

namespace {

// Powers of ten that are exact in double.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExact = 22;

// The standard's route: std::to_chars writes what printf writes.
int slow(double x, char* out) {
  return static_cast<int>(std::to_chars(out, out + 32, x, std::chars_format::general, 6).ptr - out);
}

// "000" to "999" as the low three bytes of a word (first digit lowest): six
// digits are two table lookups instead of a chain of six divisions.
constexpr auto kTriples = [] {
  std::array<std::uint32_t, 1000> t{};
  for (unsigned i = 0; i < 1000; ++i)
    t[i] = ('0' + i / 100) | ('0' + i / 10 % 10) << 8 | ('0' + i % 10) << 16;
  return t;
}();

// The doubles nearest 10^-30 .. 10^30: where they are not exact a wrong
// exponent is still caught by the range check of the scaled value.
constexpr double kNearPow10[] = {
    1e-30, 1e-29, 1e-28, 1e-27, 1e-26, 1e-25, 1e-24, 1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18,
    1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,
    1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,   1e7,   1e8,
    1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21,
    1e22,  1e23,  1e24,  1e25,  1e26,  1e27,  1e28,  1e29,  1e30};
constexpr int kNearPowOffset = 30;

// How many zeros end each group of three digits ("000" has three).
constexpr auto kTrailingZeros = [] {
  std::array<unsigned char, 1000> t{};
  for (int i = 0; i < 1000; ++i) {
    int n = i, z = 0;
    while (z < 3 && n % 10 == 0) {
      ++z;
      n /= 10;
    }
    t[i] = static_cast<unsigned char>(z);
  }
  return t;
}();

// |x| 10^k with one rounding.
double scaled(double ax, int k) {
  return k >= 0 ? ax * kPow10[k] : ax / kPow10[-k];
}

}  // namespace

// The six digits are |x| 10^(5 - e) rounded to an integer, where
// 10^e <= |x| < 10^(e+1). With an exact power of ten that product has one
// rounding, an error below 6e-11 at its size (under 2^20), so its rounding
// to an integer is certain unless the fraction lies within 1e-6 of one half;
// those rare numbers, and magnitudes beyond the exact powers, take the slow
// route.
int formatGeneral6(double x, char* out) {
  const double ax = std::fabs(x);
  if (!(ax > 0.0) || !std::isfinite(x)) return slow(x, out);
  // The binary exponent from the bits (subnormals have none and go slow).
  const int biased = static_cast<int>(std::bit_cast<std::uint64_t>(ax) >> 52);
  if (biased == 0) return slow(x, out);
  const int e2 = biased - 1022;      // 2^(e2-1) <= ax < 2^e2
  int e = ((e2 - 1) * 78913) >> 18;  // floor((e2 - 1) log10 2): e or one below
  if (5 - e > kMaxExact || e + 1 - 5 > kMaxExact) return slow(x, out);
  e += ax >= kNearPow10[e + 1 + kNearPowOffset] ? 1 : 0;
  const double y = scaled(ax, 5 - e);
  if (y < 1e5 || y >= 1e6) return slow(x, out);
  const int whole = static_cast<int>(y);  // y is positive: truncation is floor
  const double frac = y - whole;
  if (std::fabs(frac - 0.5) < 1e-6) return slow(x, out);
  int n = whole + (frac > 0.5 ? 1 : 0);
  if (n == 1000000) {
    n = 100000;
    ++e;
  }
  // The last digit that is kept: %g drops trailing zeros.
  const int high = n / 1000, low = n % 1000;
  // The six digits as one word, the first in the lowest byte; the text is
  // made by shifting a point into it and storing whole words, with no branch
  // on how many digits are kept.
  const std::uint64_t six = kTriples[high] | std::uint64_t{kTriples[low]} << 24;
  const int last = low != 0 ? 5 - kTrailingZeros[low] : 2 - kTrailingZeros[high];
  // The digits with a point after the first `point` of them.
  auto withPoint = [six](int point) {
    const int shift = 8 * point;
    const std::uint64_t head = six & ((std::uint64_t{1} << shift) - 1);
    return head | (std::uint64_t{'.'} << shift) | ((six & ~((std::uint64_t{1} << shift) - 1)) << 8);
  };
  out[0] = '-';
  char* p = out + (x < 0.0 ? 1 : 0);
  if (e >= 0 && e < 6) {
    const std::uint64_t word = withPoint(e + 1);
    std::memcpy(p, &word, 8);
    return static_cast<int>(p - out) + (last > e ? last + 2 : e + 1);
  }
  if (e < 0 && e >= -4) {
    std::memcpy(p, "0.000000", 8);
    std::memcpy(p + 1 - e, &six, 8);  // after "0." and -e - 1 zeros
    return static_cast<int>(p - out) + 1 - e + last + 1;
  }
  const std::uint64_t word = withPoint(1);
  std::memcpy(p, &word, 8);
  int len = static_cast<int>(p - out) + (last > 0 ? last + 2 : 1);
  out[len++] = 'e';
  out[len++] = e < 0 ? '-' : '+';
  const int ae = e < 0 ? -e : e;
  if (ae >= 100) out[len++] = static_cast<char>('0' + ae / 100);
  out[len++] = static_cast<char>('0' + ae / 10 % 10);
  out[len++] = static_cast<char>('0' + ae % 10);
  return len;
}

}  // namespace tolvane
