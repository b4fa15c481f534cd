// formatGeneral6 against snprintf's "%.6g", digit for digit: on random
// numbers of every magnitude, and on the ones that sit on a rounding
// boundary (exact halves at the sixth digit, powers of ten and their
// neighbours, 999999.5-like carries), where a shortcut would go wrong.
#include "matrix/general_format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace tolvane {
namespace {

std::string viaPrintf(double x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6g", x);
  return buf;
}

std::string viaFormat(double x) {
  char buf[64];
  return std::string(buf, static_cast<std::size_t>(formatGeneral6(x, buf)));
}

TEST(GeneralFormat, RandomNumbersOfEveryMagnitude) {
  std::mt19937_64 rng(17);
  std::normal_distribution<double> normal(0.0, 1.0);
  int mismatches = 0;
  for (int i = 0; i < 400000 && mismatches < 10; ++i) {
    double x = normal(rng) * std::pow(10.0, static_cast<int>(rng() % 80) - 40);
    if (i % 3 == 1) x = static_cast<float>(x);  // single-precision values
    if (i % 3 == 2) {
      const std::uint64_t bits = rng();
      std::memcpy(&x, &bits, sizeof x);  // any bit pattern
    }
    const std::string want = viaPrintf(x);
    if (viaFormat(x) != want) ++mismatches;
    EXPECT_EQ(viaFormat(x), want) << x;
  }
}

TEST(GeneralFormat, RoundingBoundaries) {
  std::mt19937_64 rng(5);
  for (int i = 0; i < 200000; ++i) {
    // Six digits and an exact half, scaled: 123456.5 e-3 and the like.
    const double x = (static_cast<double>(rng() % 900000 + 100000) + 0.5) *
                     std::pow(10.0, static_cast<int>(rng() % 24) - 12);
    ASSERT_EQ(viaFormat(x), viaPrintf(x)) << x;
    ASSERT_EQ(viaFormat(-x), viaPrintf(-x)) << -x;
  }
  for (int e = -30; e <= 30; ++e) {
    const double p = std::pow(10.0, e);
    for (double x : {p, std::nextafter(p, 0.0), std::nextafter(p, 1e300), 999999.5 * p / 1e6,
                     9.999995 * p, 9.9999949999 * p, 1.000005 * p, 0.5 * p}) {
      EXPECT_EQ(viaFormat(x), viaPrintf(x)) << x;
      EXPECT_EQ(viaFormat(-x), viaPrintf(-x)) << -x;
    }
  }
}

TEST(GeneralFormat, SpecialValues) {
  const double inf = std::numeric_limits<double>::infinity();
  for (double x : {0.0, -0.0, inf, -inf, std::numeric_limits<double>::denorm_min(),
                   std::numeric_limits<double>::max(), std::numeric_limits<double>::min(), 1e-5,
                   1e-4, 123456.0, 1234567.0, 100000.0, 0.0001234565}) {
    EXPECT_EQ(viaFormat(x), viaPrintf(x)) << x;
  }
  EXPECT_EQ(viaFormat(std::numeric_limits<double>::quiet_NaN()),
            viaPrintf(std::numeric_limits<double>::quiet_NaN()));
}

}  // namespace
}  // namespace tolvane
