#include "engine/qshape_table.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/engine_state_setup.hpp"

namespace tolvane {
namespace {

using test::fileText;
using test::findLine;
using test::ReportLines;
using test::splitLines;

const char kTitle[] = "    Classical Maximum Likelihood Q-shape Selection:";
const char kHeading[] = "    Q-shape  MCAL      Konst    CRLQ   Chi-Sq  Best";

// One row of the table, from the Q-shape family's own definition: axis j is
// shrunk by delta_j = 1 / (1 + k sval_j^(2(Q-1))); the likelihood picks
// k = (1 - t) |w|^2 / (n t) with w_j = sval_j^(1-Q), t = cos^2 R^2 and cos
// the cosine between w and |rho|; MCAL is the sum of 1 - delta_j. EPS
// floors the quantities that would otherwise vanish: R^2 |w|^2 under the
// cosine's root, t under k, and a weight that stands in for sval^(1-Q).
struct Row {
  double q, mcal, konst, crlq, chi;
};

constexpr double kEps = 1.0e-5f;

Row truthRow(double q, const std::vector<double>& sval, const std::vector<double>& rho, double rsq,
             int n) {
  double c = 0, ww = 0;
  for (std::size_t j = 0; j < sval.size(); ++j) {
    const double w = std::pow(sval[j], 1 - q);
    c += std::fabs(rho[j]) * w;
    ww += w * w;
  }
  Row r{};
  r.q = q;
  r.crlq = c / std::sqrt(std::max(ww * rsq, kEps));
  const double t = r.crlq * r.crlq * rsq;
  r.konst = t > kEps ? (1 - t) * ww / (n * t) : ww / (n * kEps);
  for (double sv : sval) {
    const double w = std::pow(sv, 1 - q);
    r.mcal += w > kEps ? 1 - 1 / (1 + r.konst * std::pow(sv, 2 * (q - 1)))
                       : 1 - 1 / (1 + r.konst / (kEps * kEps));
  }
  r.chi = n * std::log((1 - t) / (1 - rsq));
  return r;
}

// A table row as read back: five numbers and whether it carries "<<<".
struct Shown {
  double q = 0, mcal = 0, konst = 0, crlq = 0, chi = 0;
  bool best = false;
  bool parsed = false;
};

Shown readRow(const std::string& row) {
  Shown r;
  char mark[4] = "";
  const int got = std::sscanf(row.c_str(), "%lf %lf %lf %lf %lf %3s", &r.q, &r.mcal, &r.konst,
                              &r.crlq, &r.chi, mark);
  r.parsed = got >= 5;
  r.best = got == 6 && std::string(mark) == "<<<";
  return r;
}

// The row shows `want` to the digits it prints (two decimals of Q and
// Chi-Sq, three of MCAL, three significant digits of Konst, four decimals
// of CRLQ), and the best-row mark when `best`.
void expectShows(const std::string& row, const Row& want, bool best) {
  const Shown r = readRow(row);
  ASSERT_TRUE(r.parsed) << row;
  EXPECT_NEAR(r.q, want.q, 0.51e-2) << row;
  EXPECT_NEAR(r.mcal, want.mcal, 0.51e-3) << row;
  EXPECT_NEAR(r.konst, want.konst, 0.51e-2 * std::fabs(want.konst)) << row;
  EXPECT_NEAR(r.crlq, want.crlq, 0.51e-4) << row;
  EXPECT_NEAR(r.chi, want.chi, 0.51e-2) << row;
  EXPECT_EQ(r.best, best) << row;
}

class QshapeTableTest : public ::testing::Test {
 protected:
  // These tests pin single-precision bits.
  PrecisionScope single_{Precision::kSingle};
  // A state as the least-squares analysis leaves it.
  void setAxes(const std::vector<double>& sval, const std::vector<double>& rho, int n) {
    const int rank = static_cast<int>(sval.size());
    s.precision = Precision::kSingle;
    s.RANK = rank;
    s.P = rank;
    s.N = n;
    s.EPS = 1.0e-5f;
    s.EQUALSV = 0;
    s.SVAL.allocate(rank);
    s.PCOR.allocate(rank);
    double r2 = 0;
    for (int j = 1; j <= rank; ++j) {
      s.SVAL.data[j] = toFloat(sval[j - 1]);
      s.PCOR.data[j] = toFloat(rho[j - 1]);
      r2 += double(s.PCOR.data[j]) * s.PCOR.data[j];
    }
    s.RSQ = toFloat(r2);
  }
  std::vector<std::string> tableRows(const std::vector<std::string>& lines) const {
    std::vector<std::string> rows;
    const int head = findLine(lines, kHeading);
    if (head < 0) return rows;
    for (int i = head + 1; i < static_cast<int>(lines.size()) && lines[i] != kHeading; ++i) {
      rows.push_back(lines[i]);
    }
    return rows;
  }

  AnalysisState s;
  ReportLines capture;
};

// The full 21-row grid against the family's definition, in the window, the
// summary file and the trace file.
TEST_F(QshapeTableTest, GridRowsMatchTheLikelihoodDefinition) {
  const std::vector<double> sval = {3.1, 1.7, 0.45};
  const std::vector<double> rho = {0.62, -0.31, 0.22};
  setAxes(sval, rho, 20);
  test::openScratchOutputs(s);
  QSHAPE_TABLE(s);

  const auto lines = capture.lines();
  EXPECT_EQ(lines[0], kTitle);
  EXPECT_EQ(lines[1], BLANK_LINE);
  EXPECT_EQ(lines[2], kHeading);  // no warning at R-square 0.53
  const auto rows = tableRows(lines);
  ASSERT_EQ(rows.size(), 21u);
  std::vector<Row> truth;
  double best = 0;
  for (int i = 0; i < 21; ++i) {
    truth.push_back(truthRow(5.0 - 0.5 * i, sval, rho, s.RSQ, 20));
    best = std::max(best, truth.back().crlq);
  }
  const auto summ = splitLines(fileText(s.files.SUMMFILE));
  ASSERT_EQ(summ.size(), 23u);
  EXPECT_EQ(summ[0], std::string(kHeading + 4));
  EXPECT_EQ(summ[22], summ[0]);
  int marked = 0;
  for (int i = 0; i < 21; ++i) {
    const Row& r = truth[i];
    marked += r.crlq == best;
    SCOPED_TRACE(i);
    expectShows(rows[i], r, r.crlq == best);
    EXPECT_EQ(summ[1 + i], rows[i].substr(4));
    EXPECT_GE(r.crlq, 0.0);
    EXPECT_LE(r.crlq, 1.0);
  }
  EXPECT_EQ(marked, 1);
  EXPECT_EQ(rows.front().substr(0, 9), "     5.00");
  EXPECT_EQ(rows.back().substr(0, 9), "    -5.00");
  const int after = findLine(lines, kHeading) + 22;
  EXPECT_EQ(lines[after], kHeading);
  EXPECT_EQ(lines[after + 1], BLANK_LINE);
  EXPECT_EQ(lines[after + 2], "    NOTE: The Q-shape most likely to be MSE optimal");
  EXPECT_EQ(lines[after + 3], "      maximizes CRLQ and minimizes Chi-Squared.");
  EXPECT_EQ(lines[after + 4], BLANK_LINE);
  EXPECT_EQ(lines.size(), static_cast<std::size_t>(after + 5));

  // Trace file: label, column heading, then one line of five 14-character
  // fields per row.
  const auto trace = splitLines(fileText(s.files.TRACEFILE));
  ASSERT_EQ(trace.size(), 23u);
  EXPECT_EQ(trace[0], "QYQ = Likelihood Statistics...");
  EXPECT_EQ(trace[1], "     Q-shape        MCAL        Konst           CRLQ        Chi-Sq");
  for (int i = 0; i < 21; ++i) {
    const std::string& line = trace[2 + i];
    ASSERT_EQ(line.size(), 5u * 14u) << line;
    const Row& r = truth[i];
    const double want[5] = {r.q, r.mcal, r.konst, r.crlq, r.chi};
    for (int c = 0; c < 5; ++c) {
      const double v = std::stod(line.substr(14 * c, 14));
      EXPECT_NEAR(v, want[c], 1e-5 * std::max(1.0, std::fabs(want[c]))) << i << "," << c;
    }
  }
}

// The best row maximises CRLQ and, with it, minimises Chi-Sq; at Q = 1 the
// weights are all 1.
TEST_F(QshapeTableTest, BestRowHasLargestCrlqAndSmallestChiSquare) {
  const std::vector<double> sval = {4.0, 2.0, 1.0, 0.5};
  const std::vector<double> rho = {0.1, 0.5, 0.3, 0.4};
  setAxes(sval, rho, 30);
  QSHAPE_TABLE(s);
  const auto rows = tableRows(capture.lines());
  ASSERT_EQ(rows.size(), 21u);
  double q, mcal, konst, crlq, chi;
  double bestCrlq = -1, bestChi = 0, minChi = 1e30;
  for (const auto& row : rows) {
    char mark[4] = "";
    const int got =
        std::sscanf(row.c_str(), "%lf %lf %lf %lf %lf %3s", &q, &mcal, &konst, &crlq, &chi, mark);
    ASSERT_GE(got, 5) << row;
    minChi = std::min(minChi, chi);
    if (got == 6) {
      EXPECT_STREQ(mark, "<<<");
      bestCrlq = crlq;
      bestChi = chi;
    }
    EXPECT_GE(mcal, 0.0);
    EXPECT_LE(mcal, 4.0);
    if (q == 1.0) {
      const double c = (0.1 + 0.5 + 0.3 + 0.4) / std::sqrt(s.RSQ * 4.0);
      EXPECT_NEAR(crlq, c, 0.5e-4);
    }
  }
  EXPECT_GT(bestCrlq, 0);
  EXPECT_EQ(bestChi, minChi);
}

// Rows sharing the largest CRLQ are all marked: with every singular value 1
// the weights are 1 for every Q and all rows tie.
TEST_F(QshapeTableTest, TiesAreAllMarked) {
  setAxes({1.0, 1.0, 1.0}, {0.5, 0.2, -0.4}, 15);
  QSHAPE_TABLE(s);
  const auto rows = tableRows(capture.lines());
  ASSERT_EQ(rows.size(), 21u);
  for (const auto& row : rows) {
    EXPECT_EQ(row.substr(row.size() - 3), "<<<") << row;
    EXPECT_EQ(row.substr(9), rows[0].substr(9));
  }
}

// No correlation at all: every CRLQ is 0, so every row is best; Konst is
// the guarded |w|^2 / (N EPS) and Chi-Sq is 0.
TEST_F(QshapeTableTest, ZeroCorrelationsMarkEveryRow) {
  const std::vector<double> sval = {2.0, 1.0};
  setAxes(sval, {0.0, 0.0}, 10);
  test::openScratchOutputs(s);
  QSHAPE_TABLE(s);
  const auto rows = tableRows(capture.lines());
  ASSERT_EQ(rows.size(), 21u);
  for (int i = 0; i < 21; ++i) {
    const double q = 5.0 - 0.5 * i;
    const double ww = std::pow(2.0, 2 * (1 - q)) + 1.0;
    const double konst = ww / (10 * 1.0e-5);
    double mcal = 0;
    for (double sv : sval)
      mcal += 1 - 1 / (1 + konst * std::pow(sv, 2 * (q - 1)));
    expectShows(rows[i], Row{q, mcal, konst, 0.0, 0.0}, true);
  }
}

// Perfect fit: only the title and the two-line message, and no file output.
TEST_F(QshapeTableTest, PerfectFitPrintsOnlyTheMessage) {
  for (double rsq : {1.0, 1.0 - 0.5e-5}) {
    AnalysisState st;
    st.RANK = 1;
    st.EPS = 1.0e-5f;
    st.N = 10;
    st.SVAL.allocate(1);
    st.SVAL.data[1] = 1.0f;
    st.PCOR.allocate(1);
    st.PCOR.data[1] = 1.0f;
    st.RSQ = toFloat(rsq);
    test::openScratchOutputs(st);
    ReportLines cap;
    QSHAPE_TABLE(st);
    const std::vector<std::string> want = {kTitle, BLANK_LINE,
                                           "    Classical likelihood path-shape selection",
                                           "    methods cannot be applied when R-square = 1."};
    EXPECT_EQ(cap.lines(), want);
    EXPECT_EQ(fileText(st.files.SUMMFILE), "");
    EXPECT_EQ(fileText(st.files.TRACEFILE), "");
  }
}

// R-square near 1 warns, shows it to four decimals, and goes on.
TEST_F(QshapeTableTest, NearPerfectFitWarnsAndContinues) {
  setAxes({2.0, 1.0}, {0.9, 0.4}, 12);
  s.RSQ = 0.98f;
  QSHAPE_TABLE(s);
  const auto lines = capture.lines();
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(lines[2], "    Classical likelihood path-shape selection methods");
  EXPECT_EQ(lines[3], "    can be numerically unstable when R-square is nearly 1.");
  EXPECT_EQ(lines[4], "    Note that R-square = 0.9800 for these data.");
  EXPECT_EQ(lines[5], BLANK_LINE);
  EXPECT_EQ(lines[6], kHeading);
  EXPECT_EQ(tableRows(lines).size(), 21u);

  // The warning starts at R-square 0.975.
  for (auto [rsq, warns] : {std::pair{0.974f, false}, std::pair{0.975f, true}}) {
    s.RSQ = rsq;
    ReportLines cap;
    QSHAPE_TABLE(s);
    ASSERT_GE(cap.lines().size(), 3u);
    EXPECT_EQ(cap.lines()[2] != kHeading, warns) << rsq;
  }
}

// Equal singular values: a single Q = 1 row, marked, with the uniform
// shrinkage lines in place of the note.
TEST_F(QshapeTableTest, EqualSingularValuesGiveOneUniformRow) {
  setAxes({2.5, 2.5}, {0.6, 0.3}, 16);
  s.EQUALSV = 1;
  test::openScratchOutputs(s);
  QSHAPE_TABLE(s);
  const auto lines = capture.lines();
  const auto rows = tableRows(lines);
  ASSERT_EQ(rows.size(), 1u);
  const Row r = truthRow(1.0, {2.5, 2.5}, {0.6, 0.3}, s.RSQ, 16);
  expectShows(rows[0], r, true);
  const int head = findLine(lines, kHeading);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(head + 8));
  EXPECT_EQ(lines[head + 2], kHeading);
  EXPECT_EQ(lines[head + 3], BLANK_LINE);
  EXPECT_EQ(lines[head + 4], "    Only Uniform Shrinkage (Q=1) can be performed");
  EXPECT_EQ(lines[head + 5], "    by Tolvane when all positive regressor singular");
  EXPECT_EQ(lines[head + 6], "    values are equal.");
  EXPECT_EQ(lines[head + 7], BLANK_LINE);
  EXPECT_EQ(findLine(lines, "    NOTE: The Q-shape most likely to be MSE optimal"), -1);
  EXPECT_EQ(splitLines(fileText(s.files.TRACEFILE)).size(), 3u);
}

// Singular values in the thousands (centre-only scaling): the weights'
// sum of squares passes 1e64 at Q = -5. Konst is shown capped, MCAL and
// every other column stay finite and correct.
TEST_F(QshapeTableTest, LargeSingularValuesStayFinite) {
  const std::vector<double> sval = {5200.0, 310.0, 24.0};
  const std::vector<double> rho = {0.55, 0.42, -0.3};
  setAxes(sval, rho, 25);
  test::openScratchOutputs(s);
  QSHAPE_TABLE(s);
  const auto rows = tableRows(capture.lines());
  ASSERT_EQ(rows.size(), 21u);
  int capped = 0;
  for (int i = 0; i < 21; ++i) {
    EXPECT_EQ(rows[i].find("inf"), std::string::npos) << rows[i];
    EXPECT_EQ(rows[i].find("nan"), std::string::npos) << rows[i];
    const Row r = truthRow(5.0 - 0.5 * i, sval, rho, s.RSQ, 25);
    const double shown = r.konst < 3.4e38 ? r.konst : 3.4e38;
    capped += r.konst >= 3.4e38;
    const Shown got = readRow(rows[i]);
    ASSERT_TRUE(got.parsed) << rows[i];
    EXPECT_NEAR(got.q, r.q, 0.51e-2) << i;
    EXPECT_NEAR(got.mcal, r.mcal, 0.51e-3) << i;
    EXPECT_NEAR(got.konst, shown, 0.51e-2 * shown) << i;
  }
  EXPECT_GT(capped, 0);
  EXPECT_NE(rows[20].find("  3.4e+38"), std::string::npos);
  const std::string trace = fileText(s.files.TRACEFILE);
  EXPECT_EQ(trace.find("inf"), std::string::npos);
  EXPECT_EQ(trace.find("nan"), std::string::npos);
}

// Without open files the table still reaches the report.
TEST_F(QshapeTableTest, ClosedFilesAreSkipped) {
  setAxes({3.0, 1.0}, {0.5, 0.2}, 12);
  QSHAPE_TABLE(s);
  EXPECT_EQ(tableRows(capture.lines()).size(), 21u);
}

}  // namespace
}  // namespace tolvane
