#include "matrix/matrix_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "report/report.hpp"

namespace tolvane {
namespace {

std::string written(const std::function<void(std::FILE*)>& write) {
  std::FILE* f = std::tmpfile();
  write(f);
  std::fflush(f);
  std::rewind(f);
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;)
    text.push_back(static_cast<char>(c));
  std::fclose(f);
  return text;
}

MatrixRec counting(int r, int c) {
  MatrixRec m;
  m.allocate(r, c);
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= c; ++j)
      m.data[i][j] = static_cast<float>((i - 1) * c + j);
  return m;
}

// Numbers on each text line of `text`.
std::vector<int> countsPerLine(const std::string& text) {
  std::vector<int> counts;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    int n = 0;
    bool inNumber = false;
    for (std::size_t i = start; i < end; ++i) {
      const bool digit = text[i] != ' ';
      if (digit && !inNumber) ++n;
      inNumber = digit;
    }
    counts.push_back(n);
    start = end + 1;
  }
  return counts;
}

TEST(MatrixText, RowsWrapAtTheNumbersPerLineWithAFloorOfFive) {
  const std::string twoByThree =
      written([](std::FILE* f) { MYQWRITE(f, counting(2, 3), 18, " %13.6g", 0); });
  EXPECT_EQ(twoByThree,
            "             1             2             3\n"
            "             4             5             6\n");

  EXPECT_EQ(countsPerLine(written([](std::FILE* f) { MYQWRITE(f, counting(1, 12), 3, " %g", 0); })),
            (std::vector<int>{5, 5, 2}));
  EXPECT_EQ(
      countsPerLine(written([](std::FILE* f) { MYQWRITE(f, counting(1, 40), 18, " %g", 0); })),
      (std::vector<int>{18, 18, 4}));
  EXPECT_EQ(
      countsPerLine(written([](std::FILE* f) { MYQWRITE(f, counting(1, 20), 18, " %g", 0); })),
      (std::vector<int>{18, 2}));

  VectorRec v;
  VYQCONST(&v, 7, 0.5);
  EXPECT_EQ(written([&](std::FILE* f) { VYQWRITE(f, v, 5, " %7.4f", 0); }),
            "  0.5000  0.5000  0.5000  0.5000  0.5000\n  0.5000  0.5000\n");
}

TEST(MatrixText, MissingObjectsAreReportedAndWriteNothing) {
  resetReportStore();
  MatrixRec none;
  EXPECT_EQ(written([&](std::FILE* f) { MYQWRITE(f, none, 18, " %g", 0); }), "");
  EXPECT_EQ(reportRow(12), "MYQWRITE: matrix does not exist.");
  VectorRec noVec;
  EXPECT_EQ(written([&](std::FILE* f) { VYQWRITE(f, noVec, 18, " %g", 0); }), "");
  EXPECT_EQ(reportRow(15), "VYQWRITE: vector does not exist.");
}

TEST(MatrixText, ColumnStatistics) {
  MatrixRec x;
  x.allocate(4, 3);
  const float values[4][3] = {{1, 2, 0.1f}, {2, 4, 0.7f}, {3, 6, 0.2f}, {4, 8.5f, 0.9f}};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 3; ++j)
      x.data[i + 1][j + 1] = values[i][j];
  VectorRec mean, sd;
  MatrixRec corr;
  MYQ_STAT(x, &mean, &sd, &corr);
  ASSERT_EQ(mean.rows, 3);
  ASSERT_EQ(corr.rows, 3);
  EXPECT_FLOAT_EQ(mean.data[1], 2.5f);
  EXPECT_FLOAT_EQ(sd.data[1], static_cast<float>(std::sqrt(5.0 / 3.0)));
  // The diagonal is exactly 1, whatever the ratio would have rounded to.
  for (int i = 1; i <= 3; ++i)
    EXPECT_EQ(corr.data[i][i], 1.0f);
  EXPECT_FLOAT_EQ(corr.data[1][2], corr.data[2][1]);
  // Independent double computation of r(1, 2).
  double m1 = 2.5, m2 = (2 + 4 + 6 + 8.5) / 4.0, sxy = 0, sxx = 0, syy = 0;
  for (auto& row : values) {
    sxy += (row[0] - m1) * (row[1] - m2);
    sxx += (row[0] - m1) * (row[0] - m1);
    syy += (row[1] - m2) * (row[1] - m2);
  }
  EXPECT_NEAR(corr.data[1][2], sxy / std::sqrt(sxx * syy), 1e-6);
}

// Every sum of products of deviations runs over the observations in order,
// each partial sum stored: single-precision results depend on that order
// bit for bit. Checked against the plain loop in both precisions.
TEST(MatrixText, ColumnStatisticsSumInObservationOrder) {
  const int n = 37, p = 6;
  MatrixRec x;
  x.allocate(n, p);
  unsigned state = 12345u;
  for (int k = 1; k <= n; ++k) {
    for (int j = 1; j <= p; ++j) {
      state = state * 1103515245u + 12345u;
      // Wide spread of magnitudes, so that the order of the sums shows.
      x.data[k][j] = static_cast<float>(((state >> 8) & 0xFFFF) / 4096.0 * (j == 3 ? 1e4 : 1.0));
    }
  }
  for (Precision precision : {Precision::kSingle, Precision::kDouble}) {
    PrecisionScope scope(precision);
    VectorRec mean, sd;
    MatrixRec corr;
    MYQ_STAT(x, &mean, &sd, &corr);
    ASSERT_EQ(corr.rows, p);
    for (int i = 1; i <= p; ++i) {
      double cii = 0.0;
      for (int k = 1; k <= n; ++k) {
        const double d = static_cast<double>(x.data[k][i]) - mean.data[i];
        cii = stored(cii + d * d);
      }
      EXPECT_EQ(sd.data[i], stored(std::sqrt(cii / (n - 1)))) << i;
      for (int j = 1; j <= p; ++j) {
        if (i == j) continue;
        double c = 0.0;
        for (int k = 1; k <= n; ++k) {
          const double di = static_cast<double>(x.data[k][i]) - mean.data[i];
          const double dj = static_cast<double>(x.data[k][j]) - mean.data[j];
          c = stored(c + di * dj);
        }
        const double denom = static_cast<double>(n - 1) * sd.data[i] * sd.data[j];
        EXPECT_EQ(corr.data[i][j], stored(c / denom)) << i << "," << j;
      }
    }
  }
}

// The fast rounding to 8 decimals against the printed and re-read text it
// stands for, bit for bit: standardized data, large and tiny magnitudes,
// values next to a decimal tie, signed zeros and what cannot be printed
// exactly.
TEST(MatrixText, EightDecimalsAsPrintedAndReadBack) {
  auto viaText = [](double x) {
    char text[400];
    std::snprintf(text, sizeof text, "%20.8f", x);
    double y = 0.0;
    if (std::sscanf(text, "%lf", &y) != 1) y = 0.0;
    return y;
  };
  std::vector<double> values = {
      0.0,     -0.0,      1e-9, -1e-9,   0.000000005, -0.000000005, 0.5,
      1.0 / 3, 123456.78, 1e15, -2.5e22, 1.7e308,     4.9e-324,     0.12345678500000001};
  unsigned long long state = 88172645463325252ull;
  for (int i = 0; i < 200000; ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    const double unit = static_cast<double>(state >> 11) / 9007199254740992.0;  // [0, 1)
    const int exponent = static_cast<int>(state % 41) - 20;
    values.push_back((unit - 0.5) * std::pow(10.0, exponent));
    // Next to a tie at the ninth decimal.
    const double tie = (std::floor(unit * 1e8) + 0.5) / 1e8;
    values.push_back(std::nextafter(tie, 0.0));
    values.push_back(std::nextafter(tie, 1.0));
  }
  int differ = 0;
  for (double x : values) {
    const double fast = roundedToEightDecimals(x), slow = viaText(x);
    if (std::memcmp(&fast, &slow, sizeof fast) != 0 && ++differ <= 5)
      ADD_FAILURE() << std::hexfloat << x << ": " << fast << " against " << slow;
  }
  EXPECT_EQ(differ, 0);
  EXPECT_TRUE(std::signbit(roundedToEightDecimals(-1e-10)));
  EXPECT_TRUE(std::isnan(roundedToEightDecimals(std::nan(""))));
}

TEST(MatrixText, StatisticsOfTooFewRowsAreReportedNotHidden) {
  resetReportStore();
  MatrixRec x;
  x.allocate(1, 2);
  x.data[1][1] = 1;
  x.data[1][2] = 2;
  VectorRec mean, sd;
  MatrixRec corr;
  MYQ_STAT(x, &mean, &sd, &corr);
  EXPECT_EQ(reportRow(12), "MYQ_STAT: too few observations in input matrix.");
  ASSERT_EQ(sd.rows, 2);
  // One row: the divisor n - 1 is 0 and the spread 0/0 is not a number.
  EXPECT_TRUE(std::isnan(sd.data[1]));
}

}  // namespace
}  // namespace tolvane
