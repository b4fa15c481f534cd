// Ten million rows whose means are 1000 times their spreads, reduced to
// centred sums as the delimited-text reader reduces them (rows fed from
// memory), then analysed as cross-product input: the least-squares
// coefficients must agree with a double-precision solve of the same data to
// at least 5 significant digits. Under the sanitizers, which run the same
// arithmetic many times slower, a million rows stand in.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "engine/comoment_accumulator.hpp"
#include "engine/least_squares.hpp"
#include "input/model_setup.hpp"
#include "support/input_test_support.hpp"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TOLVANE_SLOW_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TOLVANE_SLOW_BUILD 1
#endif
#endif

namespace tolvane {
namespace {

#ifdef TOLVANE_SLOW_BUILD
constexpr std::int64_t kRows = 1'000'000;
#else
constexpr std::int64_t kRows = 10'000'000;
#endif
constexpr int kP = 3, kM = kP + 1;

// A fixed generator of uniform deviates in [-1, 1): every run, the same data.
struct Rows {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  double uniform() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state >> 11) * 0x1p-52 - 1.0;
  }
  // x_j has spread sd_j and mean 1000 sd_j; y likewise around its mean.
  void next(double* row) {
    static constexpr double sd[kP] = {1.0, 2.0, 0.5};
    static constexpr double beta[kP] = {1.5, -0.7, 3.0};
    double y = 2700.0 + uniform();
    for (int j = 0; j < kP; ++j) {
      const double z = uniform() + 0.3 * (j > 0 ? row[0] - 1000.0 : 0.0);
      row[j] = 1000.0 * sd[j] + sd[j] * z;
      y += beta[j] * (row[j] - 1000.0 * sd[j]);
    }
    row[kP] = y;
  }
};

// The double-precision solve: exact means first (long double sums), then
// the centred normal equations accumulated in long double and solved in
// double by Gaussian elimination with partial pivoting.
std::vector<double> referenceCoefficients() {
  Rows gen;
  double row[kM];
  long double sum[kM] = {};
  for (std::int64_t r = 0; r < kRows; ++r) {
    gen.next(row);
    for (int a = 0; a < kM; ++a)
      sum[a] += row[a];
  }
  long double mean[kM];
  for (int a = 0; a < kM; ++a)
    mean[a] = sum[a] / kRows;
  long double co[kM][kM] = {};
  gen = Rows{};
  for (std::int64_t r = 0; r < kRows; ++r) {
    gen.next(row);
    long double d[kM];
    for (int a = 0; a < kM; ++a)
      d[a] = row[a] - mean[a];
    for (int a = 0; a < kM; ++a)
      for (int b = 0; b < kM; ++b)
        co[a][b] += d[a] * d[b];
  }
  double A[kP][kP + 1];
  for (int i = 0; i < kP; ++i) {
    for (int j = 0; j < kP; ++j)
      A[i][j] = static_cast<double>(co[i][j]);
    A[i][kP] = static_cast<double>(co[i][kP]);
  }
  for (int k = 0; k < kP; ++k) {
    int piv = k;
    for (int i = k + 1; i < kP; ++i)
      if (std::fabs(A[i][k]) > std::fabs(A[piv][k])) piv = i;
    for (int j = 0; j <= kP; ++j)
      std::swap(A[k][j], A[piv][j]);
    for (int i = k + 1; i < kP; ++i) {
      const double f = A[i][k] / A[k][k];
      for (int j = k; j <= kP; ++j)
        A[i][j] -= f * A[k][j];
    }
  }
  std::vector<double> b(kP);
  for (int i = kP - 1; i >= 0; --i) {
    double s = A[i][kP];
    for (int j = i + 1; j < kP; ++j)
      s -= A[i][j] * b[j];
    b[i] = s / A[i][i];
  }
  return b;
}

// The reader's reduction, fed chunk by chunk from the generator: memory
// holds one chunk whatever the number of rows.
CentredSums streamedSums() {
  Rows gen;
  ComomentAccumulator acc(kM);
  std::vector<double> chunk(ComomentAccumulator::kChunkRows * kM);
  for (std::int64_t first = 0; first < kRows;
       first += static_cast<std::int64_t>(ComomentAccumulator::kChunkRows)) {
    const auto count = static_cast<std::size_t>(
        std::min<std::int64_t>(kRows - first, ComomentAccumulator::kChunkRows));
    for (std::size_t r = 0; r < count; ++r)
      gen.next(&chunk[r * kM]);
    acc.push(reduceChunk(chunk.data(), count, kM));
  }
  return acc.result();
}

double digits(double estimate, double truth) {
  return -std::log10(std::fabs(estimate - truth) / std::fabs(truth));
}

// Both store precisions: single precision keeps 5 digits because the sums
// it is handed are centred; double precision keeps nearly all of them.
TEST(StreamingAccuracy, TenMillionRowsWithLargeMeansKeepFiveDigitsOfTheCoefficients) {
  const std::vector<double> truth = referenceCoefficients();
  const CentredSums sums = streamedSums();
  ASSERT_EQ(sums.count, kRows);
  for (const auto& [precision, wanted] :
       {std::pair{Precision::kSingle, 5.0}, std::pair{Precision::kDouble, 12.0}}) {
    PrecisionScope scope(precision);
    auto s = std::make_unique<AnalysisState>();
    s->precision = precision;
    s->reset();
    s->NVAR = kM;
    s->NOBS = kRows;
    s->XPXFORM = 1;
    for (int c = 1; c <= kM; ++c)
      s->VNAME[c] = c == kM ? "y" : "x" + std::to_string(c);
    s->CSUMS = sums;

    test::ScriptedDialogs dialogs;
    dialogs.onScaling = [](ScalingDialogModel& d) {
      d.clickButton(kCenterOnly);
      d.ok();
      return true;
    };
    ASSERT_TRUE(setUpModel(*s, dialogs).completed());
    EXPECT_EQ(s->N, kRows);
    ASSERT_TRUE(LEAST_SQUARES(*s));
    for (int i = 1; i <= kP; ++i) {
      const double b = s->BOLS.data[i];
      std::printf("%s precision, coefficient %d: %.17g, reference %.17g, %.1f digits\n",
                  precision == Precision::kSingle ? "single" : "double", i, b, truth[i - 1],
                  digits(b, truth[i - 1]));
      EXPECT_GE(digits(b, truth[i - 1]), wanted)
          << "coefficient " << i << ": " << b << " against " << truth[i - 1];
    }
  }
}

}  // namespace
}  // namespace tolvane
