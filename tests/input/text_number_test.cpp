#include "input/text_number.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace tolvane {
namespace {

TEST(TextToDouble, TakesTheLongestValidPrefixAsStrtodDoes) {
  EXPECT_EQ(textToDouble("1e3"), 1000.0);
  EXPECT_EQ(textToDouble("12abc"), 12.0);
  EXPECT_EQ(textToDouble("1:2"), 1.0);
  EXPECT_EQ(textToDouble("-4.25"), -4.25);
  EXPECT_EQ(textToDouble("+.5"), 0.5);
  EXPECT_EQ(textToDouble("0x10"), 16.0);
  EXPECT_EQ(textToDouble("  7"), 7.0);
  EXPECT_EQ(textToDouble("1e"), 1.0);  // an exponent without digits is not part of it
}

TEST(TextToDouble, ReadsZeroWhenThereIsNoNumber) {
  EXPECT_EQ(textToDouble("abc"), 0.0);
  EXPECT_EQ(textToDouble("-"), 0.0);
  EXPECT_EQ(textToDouble(""), 0.0);
  EXPECT_EQ(textToDouble("."), 0.0);
}

TEST(TextToDouble, ReadsOnlyTheTokenNotTheTextAfterIt) {
  const std::string line = "12 34";
  EXPECT_EQ(textToDouble(std::string_view(line).substr(0, 1)), 1.0);
}

TEST(TextToDouble, PassesNonFiniteSpellingsThroughForTheReaderToRefuse) {
  EXPECT_TRUE(std::isnan(textToDouble("nan")));
  EXPECT_TRUE(std::isinf(textToDouble("inf")));
  EXPECT_TRUE(std::isinf(textToDouble("1e999")));
}

TEST(TextToInt, ReadsLeadingDigitsAsAtoiDoes) {
  EXPECT_EQ(textToInt("40"), 40);
  EXPECT_EQ(textToInt("12x"), 12);
  EXPECT_EQ(textToInt(" -7"), -7);
  EXPECT_EQ(textToInt(""), 0);
  EXPECT_EQ(textToInt("x12"), 0);
  EXPECT_EQ(textToInt("99999999999999999999"), INT_MAX);
  EXPECT_EQ(textToInt("-99999999999999999999"), -INT_MAX);
}

TEST(FirstInteger, FindsTheIntegerAtTheStartOfALine) {
  EXPECT_EQ(firstInteger("5"), 5);
  EXPECT_EQ(firstInteger("  -30   observations"), -30);
  EXPECT_EQ(firstInteger("12.7"), 12);
  EXPECT_EQ(firstInteger("\t+8"), 8);
}

// Sums of cross-products may stand for more rows than an int counts.
TEST(FirstCount, ReadsCountsBeyondIntWhole) {
  EXPECT_EQ(firstCount("-3000000000   observations behind the sums"), -3000000000LL);
  EXPECT_EQ(firstInteger("-3000000000"), -INT_MAX);  // where an int is meant
  // Digits beyond what a count can hold stop adding: huge, never wrapped.
  EXPECT_GE(*firstCount("99999999999999999999999"), 999999999999999999LL);
  EXPECT_FALSE(firstCount("rows"));
}

TEST(FirstInteger, IsEmptyWithoutOneSoTheCallerKeepsItsValue) {
  EXPECT_FALSE(firstInteger(""));
  EXPECT_FALSE(firstInteger("NVAR = 5"));
  EXPECT_FALSE(firstInteger("-"));
  EXPECT_FALSE(firstInteger("- 5"));
}

}  // namespace
}  // namespace tolvane
