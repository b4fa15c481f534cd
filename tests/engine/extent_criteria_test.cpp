#include "engine/extent_criteria.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "engine/delta_step.hpp"
#include "report/report.hpp"
#include "support/synthetic_analysis.hpp"

namespace tolvane {
namespace {

std::vector<std::string> fileLines(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::vector<std::string> out;
  std::string line;
  for (int ch; (ch = std::fgetc(f)) != EOF;) {
    if (ch == '\n') {
      out.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(ch));
    }
  }
  if (!line.empty()) out.push_back(line);
  return out;
}

// Fields of a table row: the window layout puts each value and mark in fixed
// columns ("     %6.3f   %9.3g %3s %9.3g %3s %9.3g %3s").
struct TableRow {
  double mcal, clik, ebays, rcoef;
  std::string clikMark, ebaysMark, rcoefMark, ebaysText, rcoefText;
  std::string tail;  // after the last mark: " GUP" on a CLIK minimum that is GUP
};
TableRow parseRow(const std::string& line) {
  TableRow r{};
  r.mcal = std::stod(line.substr(5, 6));
  r.clik = std::stod(line.substr(14, 9));
  r.clikMark = line.substr(24, 3);
  r.ebays = std::stod(line.substr(28, 9));
  r.ebaysMark = line.substr(38, 3);
  r.rcoef = std::stod(line.substr(42, 9));
  r.rcoefMark = line.substr(52, 3);
  r.ebaysText = line.substr(28, 9);
  r.rcoefText = line.substr(42, 9);
  r.tail = line.substr(55);
  return r;
}

std::string g3(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%9.3g", static_cast<double>(v));
  return buf;
}

class ExtentCriteria : public ::testing::Test {
 protected:
  // These tests pin single-precision bits.
  PrecisionScope single_{Precision::kSingle};
  void SetUp() override {
    resetReportStore();
    mark_ = reportCounters().linesWritten;
  }

  // A completed analysis and a Q-shape path over it, files open.
  void analysed(int P, int msteps, float q = 0.0f) {
    test::synth::Options o;
    o.P = P;
    o.N = 30;
    d = test::synth::analyse(o);
    test::synth::fill(s, d);
    s.SHAPECODE = PathShape::kQShape;
    s.QSHAPE = q;
    s.MSTEPS = msteps;
    s.NSTEPS = s.RANK * msteps + 1;
    for (int i = 1; i <= s.P; ++i) {
      s.QWEIGHT[i] =
          i <= s.RANK ? std::pow(static_cast<double>(s.SVAL.data[i]), 2.0 * (q - 1.0)) : 0.0;
    }
    s.files.SUMMFILE = std::tmpfile();
    s.files.TRACEFILE = std::tmpfile();
    ASSERT_NE(s.files.SUMMFILE, nullptr);
    ASSERT_NE(s.files.TRACEFILE, nullptr);
  }

  // A table made by hand for the marking rules: RANK 4, MSTEPS 4.
  void handTable(const std::vector<std::vector<float>>& rows) {
    s.RANK = 4;
    s.MSTEPS = 4;
    s.NSTEPS = static_cast<int>(rows.size()) + 1;
    MYQCONST(&s.THREEYQ, s.NSTEPS, 5, 0.0);
    for (int step = 2; step <= s.NSTEPS; ++step) {
      s.THREEYQ.data[step][1] = toFloat((step - 1) / 4.0);
      for (int c = 0; c < 3; ++c)
        s.THREEYQ.data[step][3 + c] = rows[step - 2][c];
    }
  }

  std::vector<std::string> lines() const { return reportLinesSince(mark_); }
  bool said(const std::string& text) const {
    for (const std::string& l : lines())
      if (l.find(text) != std::string::npos) return true;
    return false;
  }
  // The rows of steps 2..NSTEPS of the window table.
  std::vector<TableRow> tableRows() const {
    std::vector<TableRow> rows;
    const std::vector<std::string> all = lines();
    for (std::size_t i = 0; i < all.size(); ++i) {
      if (all[i].find("+infinity") == std::string::npos) continue;
      for (std::size_t j = i + 1; j < all.size() && all[j].size() > 50; ++j) {
        rows.push_back(parseRow(all[j]));
      }
      break;
    }
    return rows;
  }

  AnalysisState s;
  test::synth::Analysis d;
  int mark_ = 0;
};

TEST_F(ExtentCriteria, EndOfPathAndFirstRowFollowTheirClosedForms) {
  analysed(4, 4);
  EXTENT_CRITERIA(s);
  const Rows1<double> t = s.THREEYQ.data;
  ASSERT_EQ(s.THREEYQ.rows, 17);
  ASSERT_EQ(s.THREEYQ.cols, 5);
  ASSERT_EQ(s.DYQ.rows, 17);

  // Every axis shrunk to zero: CLIK = EBAYS = -N ln(1 - R^2), RCOEF = sum t^2.
  const double N = s.N, rsq = s.RSQ;
  double sumT2 = 0.0;
  for (int j = 1; j <= 4; ++j)
    sumT2 += static_cast<double>(s.PCTSTAT.data[j]) * s.PCTSTAT.data[j];
  EXPECT_FLOAT_EQ(t[17][1], 4.0f);
  EXPECT_EQ(t[17][2], toFloat(3.4e38));
  EXPECT_NEAR(t[17][3], -N * std::log(1.0 - rsq), 1e-5 * N);
  EXPECT_NEAR(t[17][5], -N * std::log(1.0 - rsq), 1e-5 * N);
  EXPECT_NEAR(t[17][4], sumT2, 1e-5 * sumT2);

  // MCAL column, rising constants, and 1.1 times the column maxima in row 1.
  double most[6] = {0, 0, 0, 0, 0, 0};
  for (int step = 2; step <= 17; ++step) {
    EXPECT_FLOAT_EQ(t[step][1], (step - 1) / 4.0f);
    EXPECT_GT(t[step][2], t[step - 1][2]);
    for (int c = 3; c <= 5; ++c)
      most[c] = std::max(most[c], t[step][c]);
  }
  EXPECT_EQ(t[1][1], 0.0f);
  EXPECT_EQ(t[1][2], 0.0f);
  for (int c = 3; c <= 5; ++c)
    EXPECT_FLOAT_EQ(t[1][c], 1.1f * most[c]) << c;
}

// CLIK, EBAYS and RCOEF recomputed at every step, in double, from the
// normalized likelihood ratios they stand for.
TEST_F(ExtentCriteria, CriteriaMatchTheirDefinitionsAlongThePath) {
  analysed(5, 8, -1.0f);
  EXTENT_CRITERIA(s);
  const double N = s.N, rsq = s.RSQ;
  for (int step = 2; step < s.NSTEPS; ++step) {
    double A = 0, B = 0, rcoef = 0, sumL = 0, fit = 0;
    for (int j = 1; j <= s.RANK; ++j) {
      const double delta = s.DYQ.data[step][j], u = 1.0 - delta;
      const double x = delta / std::max(u, 1e-5);
      const double rho = s.PCOR.data[j], t = s.PCTSTAT.data[j];
      A += std::sqrt(x) * std::fabs(rho);
      B += x;
      const double L = std::log(std::max(u, 1e-5));
      rcoef += t * t * u - L;
      sumL += L;
      fit += rho * rho * delta;
    }
    // z solves N z^2 + A z - 1 = 0.
    const double z = (-A + std::sqrt(A * A + 4 * N)) / (2 * N);
    const double clik = 2 * N * std::log(z) + B - A / z - N * std::log((1 - rsq) / N);
    const double ebays = -sumL + N * std::log((1 - fit) / (1 - rsq));
    const Rows1<double> t = s.THREEYQ.data;
    EXPECT_NEAR(t[step][3], clik, 1e-4 * (1 + std::fabs(clik))) << step;
    EXPECT_NEAR(t[step][4], rcoef, 1e-4 * (1 + std::fabs(rcoef))) << step;
    EXPECT_NEAR(t[step][5], ebays, 1e-4 * (1 + std::fabs(ebays))) << step;
  }
}

TEST_F(ExtentCriteria, TableGoesToTheWindowTheSummaryFileAndTheTraceFile) {
  analysed(3, 4);
  EXTENT_CRITERIA(s);
  const std::vector<std::string> win = lines();
  ASSERT_GE(win.size(), 2u);
  EXPECT_EQ(win[0], "    3 Likelihood Criteria for Extent of Shrinkage along a Q= 0.0 Shape Path:");
  EXPECT_EQ(win[1], BLANK_LINE);

  // The summary file holds exactly the table, line for line as in the window.
  const std::vector<std::string> summ = fileLines(s.files.SUMMFILE);
  ASSERT_EQ(summ.size(), 2u + 12u);
  EXPECT_EQ(summ[0], "       MCAL        CLIK           EBAYS           RCOEF");
  EXPECT_EQ(summ[1], "      0.000     +infinity       +infinity       +infinity");
  for (std::size_t i = 0; i < summ.size(); ++i)
    EXPECT_EQ(win[2 + i], summ[i]) << i;

  // Printed columns: EBAYS before RCOEF; marks on the minima only.
  const std::vector<TableRow> rows = tableRows();
  ASSERT_EQ(rows.size(), 12u);
  const Rows1<double> t = s.THREEYQ.data;
  double minClik = t[2][3], minEbays = t[2][5], minRcoef = t[2][4];
  for (int step = 2; step <= 13; ++step) {
    minClik = std::min(minClik, t[step][3]);
    minEbays = std::min(minEbays, t[step][5]);
    minRcoef = std::min(minRcoef, t[step][4]);
  }
  int gups = 0;
  for (int step = 2; step <= 13; ++step) {
    const TableRow& r = rows[step - 2];
    EXPECT_NEAR(r.mcal, (step - 1) / 4.0, 1e-9);
    EXPECT_EQ(r.ebaysText, g3(t[step][5])) << step;
    EXPECT_EQ(r.rcoefText, g3(t[step][4])) << step;
    EXPECT_EQ(r.clikMark == "<<<", t[step][3] == minClik) << step;
    EXPECT_EQ(r.ebaysMark == "<<<", t[step][5] == minEbays) << step;
    EXPECT_EQ(r.rcoefMark == "<<<", t[step][4] == minRcoef) << step;
    gups += r.clikMark == "GUP";
  }
  EXPECT_LE(gups, 1);

  // The trace matrix file: label, then one line of five fields per step.
  const std::vector<std::string> trace = fileLines(s.files.TRACEFILE);
  ASSERT_EQ(trace.size(), 1u + 13u);
  EXPECT_EQ(trace[0], "3YQ = Three Shrinkage Likelihoods...");
  for (std::size_t i = 1; i < trace.size(); ++i)
    EXPECT_EQ(trace[i].size(), 5u * 14u) << i;
  float firstClik = 0;
  ASSERT_EQ(std::sscanf(trace[1].c_str(), "%*f %*f %f", &firstClik), 1);
  EXPECT_NEAR(firstClik, t[1][3], 1e-5 * std::fabs(t[1][3]));
}

TEST_F(ExtentCriteria, TiedMinimaAreAllMarkedAndGupFollowsTheLowestClikMinimum) {
  // RANK 4, MSTEPS 4: the CLIK minimum at MCAL 1.0 (r* = 5) and again at
  // MCAL 2.75; g = 2 (5 - 1) / 4 + 1 = 3, so GUP marks MCAL 0.5.
  std::vector<std::vector<float>> rows;
  for (int step = 2; step <= 17; ++step) {
    const float clik = step == 12 ? 1.0f : 1.0f + 0.5f * std::fabs(step - 5.0f);
    const float ebays = (step == 7 || step == 9) ? -3.0f : -1.0f - 0.1f * step;
    const float rcoef = 10.0f - step;  // lowest at the end of the path
    rows.push_back({clik, rcoef, ebays});
  }
  handTable(rows);
  const ExtentMinima m = extentMinima(s.THREEYQ, 4);
  EXPECT_EQ(m.clikStep, 5);
  EXPECT_EQ(m.gupStep, 3);
  EXPECT_EQ(m.clik, 1.0f);
  EXPECT_EQ(m.ebays, -3.0f);
  EXPECT_EQ(m.rcoef, -7.0f);
  reportExtentTable(s, m);

  const std::vector<TableRow> table = tableRows();
  ASSERT_EQ(table.size(), 16u);
  for (int step = 2; step <= 17; ++step) {
    const TableRow& r = table[step - 2];
    const std::string clikMark = (step == 5 || step == 12) ? "<<<" : step == 3 ? "GUP" : "   ";
    EXPECT_EQ(r.clikMark, clikMark) << step;
    EXPECT_EQ(r.ebaysMark, (step == 7 || step == 9) ? "<<<" : "   ") << step;
    EXPECT_EQ(r.rcoefMark, step == 17 ? "<<<" : "   ") << step;
  }
  const std::vector<std::string> win = lines();
  bool note = false;
  for (const std::string& l : win) {
    note |= l == "      MCAL= 0.500 is marked \"GUP\" above because this is the estimated";
  }
  EXPECT_TRUE(note);
}

TEST_F(ExtentCriteria, GupOnAClikMinimumShowsBothMarksAndTheNoteNamesIt) {
  // With RANK 2 the GUP step is r* itself.
  std::vector<std::vector<float>> rows;
  for (int step = 2; step <= 9; ++step)
    rows.push_back({std::fabs(step - 4.0f), 1.0f, 1.0f});
  handTable(rows);
  s.RANK = 2;
  const ExtentMinima m = extentMinima(s.THREEYQ, 2);
  EXPECT_EQ(m.clikStep, 4);
  EXPECT_EQ(m.gupStep, 4);
  reportExtentTable(s, m);
  const std::vector<TableRow> table = tableRows();
  ASSERT_EQ(table.size(), 8u);
  for (int step = 2; step <= 9; ++step) {
    const TableRow& r = table[step - 2];
    EXPECT_EQ(r.clikMark, step == 4 ? "<<<" : "   ") << step;
    EXPECT_EQ(r.tail, step == 4 ? " GUP" : "") << step;
    // Equal values everywhere: nothing lies below the maximum, all are marked.
    EXPECT_EQ(r.ebaysMark, "<<<");
    EXPECT_EQ(r.rcoefMark, "<<<");
  }
  EXPECT_TRUE(said("      MCAL= 0.750 is marked \"GUP\" above because this is the estimated"));
}

TEST_F(ExtentCriteria, GupAtTheFirstStepIsNamedAsLeastSquaresItself) {
  // RANK 4, the CLIK minimum at step 2: g = 2 (2 - 1) / 4 + 1 = 1, the
  // "+infinity" row, which carries no mark.
  std::vector<std::vector<float>> rows;
  for (int step = 2; step <= 9; ++step)
    rows.push_back({static_cast<float>(step), 1.0f, 1.0f});
  handTable(rows);
  const ExtentMinima m = extentMinima(s.THREEYQ, 4);
  EXPECT_EQ(m.clikStep, 2);
  ASSERT_EQ(m.gupStep, 1);
  reportExtentTable(s, m);
  for (const TableRow& r : tableRows()) {
    EXPECT_NE(r.clikMark, "GUP");
    EXPECT_EQ(r.tail, "");
  }
  // The note's other lines stay as they are.
  const std::vector<std::string> win = lines();
  const std::vector<std::string> note = {
      "      At MCAL = 0: least squares itself is the estimated",
      "      upper limit on extent of shrinkage that is GOOD [dominates",
      "      least squares in the multivariate (matrix) MSE risk sense.]"};
  ASSERT_GE(win.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(win.end() - 3, win.end()), note);
  EXPECT_FALSE(said("is marked \"GUP\" above"));
}

TEST_F(ExtentCriteria, RankOneWithOneStepPerUnitKeepsGupOnThePath) {
  // NSTEPS 2: the only row is the CLIK minimum (r* = 2), and the GUP rule's
  // g = 2 (2 - 1) / 1 + 1 = 3 lies beyond the path; it is held at step 2.
  analysed(1, 1);
  ASSERT_EQ(s.RANK, 1);
  EXTENT_CRITERIA(s);
  const std::vector<TableRow> rows = tableRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].clikMark, "<<<");
  bool note = false;
  for (const std::string& l : lines()) {
    note |= l == "      MCAL= 1.000 is marked \"GUP\" above because this is the estimated";
  }
  EXPECT_TRUE(note);
}

TEST_F(ExtentCriteria, RSquareOfOneStopsAndNearOneWarns) {
  analysed(3, 4);
  MYQCONST(&s.DYQ, 2, 2, 7.0);
  MYQCONST(&s.THREEYQ, 2, 2, 7.0);
  s.RSQ = 1.0f - 1.0e-6f;
  EXTENT_CRITERIA(s);
  const std::vector<std::string> stop = lines();
  ASSERT_EQ(stop.size(), 4u);
  EXPECT_EQ(stop[2], "    Classical likelihood shrinkage-extent selection");
  EXPECT_EQ(stop[3], "    methods cannot be applied when R-square = 1.");
  EXPECT_EQ(s.DYQ.rows, 2);
  EXPECT_EQ(s.DYQ.data[2][2], 7.0f);
  EXPECT_EQ(s.THREEYQ.rows, 2);
  EXPECT_TRUE(fileLines(s.files.SUMMFILE).empty());
  EXPECT_TRUE(fileLines(s.files.TRACEFILE).empty());

  mark_ = reportCounters().linesWritten;
  s.RSQ = 0.98f;
  EXTENT_CRITERIA(s);
  const std::vector<std::string> warn = lines();
  ASSERT_GE(warn.size(), 7u);
  EXPECT_EQ(warn[2], "    Classical likelihood shrinkage-extent selection methods");
  EXPECT_EQ(warn[3], "    can be numerically unstable when R-square is nearly 1.");
  EXPECT_EQ(warn[4], "    Note that R-square = 0.9800 for these data.");
  EXPECT_EQ(warn[5], BLANK_LINE);
  EXPECT_EQ(warn[6], "       MCAL        CLIK           EBAYS           RCOEF");
  EXPECT_EQ(s.THREEYQ.rows, s.NSTEPS);
}

TEST_F(ExtentCriteria, HeadingNamesTheFamily) {
  analysed(2, 1, 0.5f);
  const struct {
    PathShape shape;
    const char* heading;
  } kCases[] = {{PathShape::kQShape,
                 "    3 Likelihood Criteria for Extent of Shrinkage along a Q= 0.5 Shape Path:"},
                {PathShape::kCrosr,
                 "    3 Likelihood Criteria for Extent of Shrinkage along a CROSR Shape Path:"},
                {PathShape::kGarrote,
                 "    3 Likelihood Criteria for Extent of Shrinkage along a GARROTE Shape Path:"},
                {PathShape::kLasso,
                 "    3 Likelihood Criteria for Extent of Shrinkage along a LASSO Shape Path:"}};
  for (const auto& c : kCases) {
    s.SHAPECODE = c.shape;
    mark_ = reportCounters().linesWritten;
    EXTENT_CRITERIA(s);
    EXPECT_EQ(lines().at(0), c.heading);
    // Every family reaches MCAL = RANK with all deltas 0.
    for (int i = 1; i <= s.P; ++i)
      EXPECT_EQ(s.DYQ.data[s.NSTEPS][i], 0.0f);
  }
}

TEST_F(ExtentCriteria, WithoutAnAnalysisItSaysSoAndReadsNothing) {
  s.RANK = 3;
  s.P = 3;
  s.MSTEPS = 4;
  s.NSTEPS = 13;
  s.RSQ = 0.5f;
  EXTENT_CRITERIA(s);  // no PCOR, no PCTSTAT
  const std::vector<std::string> win = lines();
  ASSERT_FALSE(win.empty());
  EXPECT_EQ(win.back(), "EXTENT_CRITERIA: no completed analysis and path to assess.");
  EXPECT_FALSE(s.THREEYQ.exists());
}

}  // namespace
}  // namespace tolvane
