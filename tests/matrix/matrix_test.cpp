#include "matrix/matrix.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "report/report.hpp"

namespace tolvane {
namespace {

MatrixRec make(int r, int c, std::initializer_list<float> values) {
  MatrixRec m;
  EXPECT_TRUE(m.allocate(r, c));
  auto it = values.begin();
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= c; ++j)
      m.data[i][j] = *it++;
  return m;
}

VectorRec makeVec(std::initializer_list<float> values) {
  VectorRec v;
  EXPECT_TRUE(v.allocate(static_cast<int>(values.size())));
  int i = 1;
  for (float x : values)
    v.data[i++] = x;
  return v;
}

// Every test here pins single-precision bits unless it says otherwise.
class Toolkit : public ::testing::Test {
 protected:
  PrecisionScope single_{Precision::kSingle};
  void SetUp() override {
    resetReportStore();
    mark_ = reportCounters().linesWritten;
  }
  std::vector<std::string> messages() const { return reportLinesSince(mark_); }
  int mark_ = 0;
};

TEST_F(Toolkit, StorageIsOneContiguousBlockAddressedFromOne) {
  MatrixRec m;
  ASSERT_TRUE(m.allocate(3, 4));
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 4; ++j)
      m.data[i][j] = static_cast<float>(10 * i + j);
  // Row i starts (i-1) x cols elements after row 1.
  const double* first = &m.data[1][1];
  EXPECT_EQ(&m.data[2][1], first + 4);
  EXPECT_EQ(&m.data[3][4], first + 11);
  EXPECT_EQ(first[11], 34.0f);
  EXPECT_EQ(m.data.row(2)[0], 21.0f);

  VectorRec v;
  ASSERT_TRUE(v.allocate(2));
  v.data[1] = 5.0f;
  EXPECT_EQ(v.data.first()[0], 5.0f);
}

TEST_F(Toolkit, DoublePrecisionKeepsEveryPartialSumAndIsEachThreadsOwn) {
  MatrixRec a = make(1, 5, {1.0e8f, 3.0f, 3.0f, 3.0f, 3.0f});
  MatrixRec b = make(5, 1, {1, 1, 1, 1, 1});
  MatrixRec out;
  {
    PrecisionScope dbl(Precision::kDouble);
    MYQMULTP(&out, a, b);
    EXPECT_EQ(out.data[1][1], 1.0e8 + 12.0);
    // A thread starts in double precision whatever this one holds; a scope
    // on another thread leaves this one's precision alone.
    PrecisionScope single(Precision::kSingle);
    Precision other = Precision::kSingle;
    std::thread([&] {
      other = storePrecision();
      PrecisionScope inner(Precision::kDouble);
    }).join();
    EXPECT_EQ(other, Precision::kDouble);
    EXPECT_EQ(storePrecision(), Precision::kSingle);
  }
  // The scope ends: the fixture's single precision is back.
  EXPECT_EQ(storePrecision(), Precision::kSingle);
  MYQMULTP(&out, a, b);
  EXPECT_EQ(out.data[1][1], 1.0e8);
}

TEST_F(Toolkit, EveryPartialSumIsRoundedToSinglePrecision) {
  // 1e8 + 3 rounds back to 1e8 in float (spacing 8), four times over; a
  // double sum would reach 1e8 + 12 and round to 100000016.
  MatrixRec a = make(1, 5, {1.0e8f, 3.0f, 3.0f, 3.0f, 3.0f});
  MatrixRec b = make(5, 1, {1, 1, 1, 1, 1});
  MatrixRec out;
  MYQMULTP(&out, a, b);
  ASSERT_EQ(out.rows, 1);
  EXPECT_EQ(out.data[1][1], 1.0e8f);
  const double doubleSum = 1.0e8 + 12.0;
  EXPECT_NE(out.data[1][1], static_cast<float>(doubleSum));
  EXPECT_EQ(static_cast<float>(doubleSum), 100000016.0f);

  // The same rule in the vector product.
  VectorRec ones = makeVec({1, 1, 1, 1, 1});
  VectorRec av;
  MYQBYVYQ(&av, ones, a);
  EXPECT_EQ(av.data[1], 1.0e8f);
}

TEST_F(Toolkit, LinearCombinationCoversTheLargerShape) {
  MatrixRec A = make(2, 3, {1, 2, 3, 4, 5, 6});
  MatrixRec B = make(3, 2, {10, 20, 30, 40, 50, 60});
  MatrixRec out;
  EXPECT_EQ(MYQLCOMB(&out, A, B, -0.5), &out);
  ASSERT_EQ(out.rows, 3);
  ASSERT_EQ(out.cols, 3);
  EXPECT_EQ(out.data[3][3], 0.0f);
  EXPECT_EQ(out.data[1][3], 3.0f);    // A only
  EXPECT_EQ(out.data[3][1], -25.0f);  // x B only
  EXPECT_EQ(out.data[2][2], 5.0f - 20.0f);
  EXPECT_TRUE(messages().empty());

  // A missing factor is reported and contributes nothing.
  MatrixRec none, out2;
  MYQLCOMB(&out2, A, none, 2.0);
  ASSERT_EQ(out2.rows, 2);
  EXPECT_EQ(out2.data[2][3], 6.0f);
  EXPECT_EQ(messages(),
            (std::vector<std::string>{"    ", "YQ run-time error...",
                                      "MYQLCOMB: at least one factor matrix does not exist."}));
}

TEST_F(Toolkit, ProductsAndInnerProduct) {
  MatrixRec A = make(2, 3, {1, 2, 3, 4, 5, 6});
  MatrixRec B = make(3, 2, {1, 0, 0, 1, 1, 1});
  MatrixRec AB;
  MYQMULTP(&AB, A, B);
  ASSERT_EQ(AB.rows, 2);
  ASSERT_EQ(AB.cols, 2);
  EXPECT_EQ(AB.data[1][1], 4.0f);
  EXPECT_EQ(AB.data[1][2], 5.0f);
  EXPECT_EQ(AB.data[2][1], 10.0f);
  EXPECT_EQ(AB.data[2][2], 11.0f);

  VectorRec d = makeVec({1, 2, 3});
  MatrixRec ADA;
  MYQINERP(&ADA, A, d);  // A diag(d) A'
  ASSERT_EQ(ADA.rows, 2);
  ASSERT_EQ(ADA.cols, 2);
  EXPECT_EQ(ADA.data[1][1], 1 + 8 + 27.0f);
  EXPECT_EQ(ADA.data[1][2], 4 + 20 + 54.0f);
  EXPECT_EQ(ADA.data[2][1], ADA.data[1][2]);
  EXPECT_EQ(ADA.data[2][2], 16 + 50 + 108.0f);
}

TEST_F(Toolkit, SquareMatrixTimesVectorIsNeverTheTranspose) {
  MatrixRec A = make(2, 2, {1, 2, 3, 4});
  VectorRec v = makeVec({1, 10});
  VectorRec out;
  MYQBYVYQ(&out, v, A);
  ASSERT_EQ(out.rows, 2);
  EXPECT_EQ(out.data[1], 21.0f);  // A v, not A' v (31)
  EXPECT_EQ(out.data[2], 43.0f);

  // A 3 x 2 with a vector of 3 gives A' v.
  MatrixRec T = make(3, 2, {1, 2, 3, 4, 5, 6});
  VectorRec w = makeVec({1, 1, 1});
  MYQBYVYQ(&out, w, T);
  ASSERT_EQ(out.rows, 2);
  EXPECT_EQ(out.data[1], 9.0f);
  EXPECT_EQ(out.data[2], 12.0f);
}

TEST_F(Toolkit, CorrelationsOfAVectorWithColumns) {
  MatrixRec A = make(4, 2, {1, 4, 2, 3, 3, 2, 4, 1});
  VectorRec v = makeVec({2, 4, 6, 8});
  VectorRec r;
  MVYQCORR(&r, v, A);
  ASSERT_EQ(r.rows, 2);
  EXPECT_FLOAT_EQ(r.data[1], 1.0f);
  EXPECT_FLOAT_EQ(r.data[2], -1.0f);

  // A constant vector has no spread: the quotient is not finite, unguarded.
  VectorRec c = makeVec({5, 5, 5, 5});
  MVYQCORR(&r, c, A);
  ASSERT_EQ(r.rows, 2);
  EXPECT_FALSE(std::isfinite(r.data[1]));
}

TEST_F(Toolkit, ShapesOfTransposeDiagonalCopyAndConstants) {
  MatrixRec row = make(1, 4, {1, 2, 3, 4});
  MatrixRec col;
  MYQTRANS(&col, row);
  EXPECT_EQ(col.rows, 4);
  EXPECT_EQ(col.cols, 1);
  EXPECT_EQ(col.data[3][1], 3.0f);

  MatrixRec wide = make(3, 5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  VectorRec diag;
  VYQDIAGN(&diag, wide);
  ASSERT_EQ(diag.rows, 3);
  EXPECT_EQ(diag.data[3], 13.0f);

  // Copy keeps every bit, including a NaN payload and a negative zero.
  MatrixRec odd = make(1, 3, {0.0f, -0.0f, 1.0f / 3.0f});
  std::uint32_t nanBits = 0x7fc12345u;
  std::memcpy(&odd.data[1][1], &nanBits, sizeof nanBits);
  MatrixRec copy;
  MYQ_COPY(&copy, odd);
  ASSERT_EQ(copy.cols, 3);
  EXPECT_EQ(std::memcmp(odd.data.row(1), copy.data.row(1), 3 * sizeof(double)), 0);

  VectorRec v = makeVec({7, 8, 9});
  MatrixRec asRow;
  VYQTOMYQ(v, &asRow);
  EXPECT_EQ(asRow.rows, 1);
  EXPECT_EQ(asRow.cols, 3);
  EXPECT_EQ(asRow.data[1][3], 9.0f);

  MatrixRec k;
  MYQCONST(&k, 2, 3, 0.1);
  EXPECT_EQ(k.data[2][3], 0.1f);
  VectorRec kv;
  VYQCONST(&kv, 4, -2.5);
  EXPECT_EQ(kv.rows, 4);
  EXPECT_EQ(kv.data[4], -2.5f);
}

TEST_F(Toolkit, RefillingReleasesAndResizesTheDestination) {
  MatrixRec out;
  MYQCONST(&out, 50, 50, 1.0);
  MatrixRec A = make(1, 2, {1, 2});
  MYQ_COPY(&out, A);
  EXPECT_EQ(out.rows, 1);
  EXPECT_EQ(out.cols, 2);
  VectorRec v;
  VYQCONST(&v, 100, 0.0);
  VYQDIAGN(&v, A);
  EXPECT_EQ(v.rows, 1);
  // The sanitizer build proves the old blocks were released, not leaked.
}

struct FailedCheck {
  const char* name;
  std::function<void(MatrixRec*, VectorRec*)> call;
  const char* message;
  bool vectorResult;
};

TEST_F(Toolkit, FailedChecksGiveThreeLinesAndAnEmptyDestination) {
  MatrixRec A23 = make(2, 3, {1, 2, 3, 4, 5, 6});
  MatrixRec A22 = make(2, 2, {1, 2, 3, 4});
  VectorRec v2 = makeVec({1, 2});
  VectorRec v5 = makeVec({1, 2, 3, 4, 5});
  MatrixRec none;
  VectorRec noVec;
  const std::vector<FailedCheck> cases = {
      {"inerp missing", [&](MatrixRec* m, VectorRec*) { MYQINERP(m, none, v2); },
       "MYQINERP: at least one component does not exist.", false},
      {"inerp size", [&](MatrixRec* m, VectorRec*) { MYQINERP(m, A23, v2); },
       "MYQINERP: factors do not conform for inner-product.", false},
      {"multp missing", [&](MatrixRec* m, VectorRec*) { MYQMULTP(m, A22, none); },
       "MYQMULTP: at least one matrix does not exist.", false},
      {"multp size", [&](MatrixRec* m, VectorRec*) { MYQMULTP(m, A23, A22); },
       "MYQMULTP: matrices do not conform for multiplication.", false},
      {"const", [&](MatrixRec* m, VectorRec*) { MYQCONST(m, 0, 3, 1.0); },
       "MYQCONST: rows or cols argument < 1.", false},
      {"vconst", [&](MatrixRec*, VectorRec* v) { VYQCONST(v, -1, 1.0); },
       "VYQCONST: rows argument < 1.", true},
      {"copy", [&](MatrixRec* m, VectorRec*) { MYQ_COPY(m, none); },
       "MYQ_COPY: input matrix does not exist.", false},
      {"byv missing", [&](MatrixRec*, VectorRec* v) { MYQBYVYQ(v, noVec, A22); },
       "MYQBYVYQ: at least one component does not exist.", true},
      {"byv size", [&](MatrixRec*, VectorRec* v) { MYQBYVYQ(v, v5, A23); },
       "MYQBYVYQ: factors wrong size to form output vector.", true},
      {"corr missing", [&](MatrixRec*, VectorRec* v) { MVYQCORR(v, v2, none); },
       "MVYQCORR: at least one component does not exist.", true},
      {"corr size", [&](MatrixRec*, VectorRec* v) { MVYQCORR(v, v5, A23); },
       "MVYQCORR: factors wrong size to form correlations.", true},
      {"trans", [&](MatrixRec* m, VectorRec*) { MYQTRANS(m, none); },
       "MYQTRANS: input matrix does not exist.", false},
      {"diagn", [&](MatrixRec*, VectorRec* v) { VYQDIAGN(v, none); },
       "VYQDIAGN: rows or cols argument < 1.", true},
      {"tomyq", [&](MatrixRec* m, VectorRec*) { VYQTOMYQ(noVec, m); },
       "VYQTOMYQ: A vector does not exist.", false},
  };
  for (const FailedCheck& c : cases) {
    SCOPED_TRACE(c.name);
    MatrixRec m;
    VectorRec v;
    MYQCONST(&m, 3, 3, 9.0);  // the destination held storage before
    VYQCONST(&v, 3, 9.0);
    const int before = reportCounters().linesWritten;
    c.call(&m, &v);
    EXPECT_EQ(reportLinesSince(before),
              (std::vector<std::string>{"    ", "YQ run-time error...", c.message}));
    if (c.vectorResult) {
      EXPECT_EQ(v.rows, 0);
      EXPECT_EQ(m.rows, 3);  // the other record is not touched
    } else {
      EXPECT_EQ(m.rows, 0);
      EXPECT_EQ(v.rows, 3);
    }
  }
}

TEST_F(Toolkit, ExhaustedMemoryIsReportedAndYieldsNoStorage) {
  Rows1<float> huge = MATRIX(1 << 20, 1 << 20);
  EXPECT_FALSE(huge);
  EXPECT_EQ(messages(),
            (std::vector<std::string>{
                "    ", "YQ run-time error...", "MATRIX: column allocation failure",
                "Your system had no RAM memory available for dynamic", "matrix-storage allocation.",
                "    ", "If you cannot make more memory available to Tolvane, you should",
                "specify a regression model with fewer regressor variables and/or",
                "use only a subset of the available observations."}));

  mark_ = reportCounters().linesWritten;
  MatrixRec out;
  MYQCONST(&out, 2, 2, 1.0);
  MYQCONST(&out, 1 << 20, 1 << 20, 1.0);
  EXPECT_EQ(out.rows, 0);  // destination left empty, old block released
  ASSERT_GE(messages().size(), 3u);
  EXPECT_EQ(messages()[2], "MATRIX: column allocation failure");

  mark_ = reportCounters().linesWritten;
  EXPECT_FALSE(DVECTOR(0));
  EXPECT_EQ(messages()[2], "DVECTOR: allocation failure");
  mark_ = reportCounters().linesWritten;
  EXPECT_FALSE(DATRIX(0, 4));
  EXPECT_EQ(messages()[2], "DATRIX: row allocation failure");
}

}  // namespace
}  // namespace tolvane
