// Select Shape end to end on the example data sets: a batch input run
// through LEAST_SQUARES, then every family at every step count, checking the
// shape of every block it appends to the trace matrix file and the truths
// that hold on any data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/analysis_state.hpp"
#include "engine/select_shape.hpp"
#include "report/report.hpp"
#include "support/example_run.hpp"
#include "support/synthetic_analysis.hpp"

namespace tolvane {
namespace {

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    out.push_back(line);
  return out;
}

class Examples : public ::testing::TestWithParam<const char*> {
 protected:
  bool analyse(int scaleButton) {
    return dir_.ok() &&
           test::runDataFile(s, test::examplePath(GetParam()), dir_.path(), scaleButton);
  }
  // What the trace matrix file gained since `from` bytes.
  std::string traceSince(std::size_t from) {
    std::fflush(s.files.TRACEFILE);
    return dir_.read(s.files.TRACENAME).substr(from);
  }
  std::size_t traceSize() {
    std::fflush(s.files.TRACEFILE);
    return dir_.read(s.files.TRACENAME).size();
  }

  AnalysisState s;
  test::TempDir dir_;
};

// Fields of a line of " %13.6g" numbers.
int fields(const std::string& line) {
  return static_cast<int>(line.size() / 14);
}

// Checks one labelled block of `rows` rows of `cols` numbers at `at`.
void expectBlock(const std::vector<std::string>& lines, std::size_t& at, const std::string& label,
                 int rows, int cols) {
  SCOPED_TRACE(label);
  ASSERT_LT(at, lines.size());
  EXPECT_EQ(lines[at++], label);
  for (int r = 0; r < rows; ++r) {
    for (int left = cols; left > 0; left -= 18) {
      ASSERT_LT(at, lines.size());
      EXPECT_EQ(lines[at].size() % 14, 0u) << lines[at];
      EXPECT_EQ(fields(lines[at++]), left < 18 ? left : 18);
    }
  }
}

TEST_P(Examples, EveryFamilyAtEveryStepCountWritesWholeBlocks) {
  for (int scale : {kCenterOnly, kCenterRescale, kReExpress}) {
    ASSERT_TRUE(analyse(scale)) << GetParam();
    ASSERT_EQ(s.LSPEND, 0);
    const int P = s.P;
    for (const PathShapeNames& family : kPathShapes) {
      const PathShape shape = family.shape;
      for (int steps : {1013, 1014, 1015}) {
        SCOPED_TRACE(::testing::Message() << GetParam() << " scale " << scale << " shape "
                                          << family.word << " steps " << steps);
        const std::size_t before = traceSize();
        test::PathPick pick(shape, steps, "-1.5");
        ASSERT_TRUE(SELECT_SHAPE(s, pick, 2));
        const int n = s.NSTEPS;
        EXPECT_EQ(n, s.RANK * s.MSTEPS + 1);
        const std::vector<std::string> lines = splitLines(traceSince(before));
        std::size_t at = 0;
        expectBlock(lines, at, "3YQ = Three Shrinkage Likelihoods...", n, 5);
        expectBlock(lines, at, "CYQ = Coefficient Trace...", n, P);
        expectBlock(lines, at, "RYQ = Risk Estimate Trace...", n, P);
        expectBlock(lines, at, "EYQ = Excess Eigenvalue Trace...", n, P);
        expectBlock(lines, at, "IYQ = Inferior Direction Trace...", n, P);
        expectBlock(lines, at, "DYQ = Delta Factor Trace...", n, P);
        ASSERT_LT(at, lines.size());
        EXPECT_EQ(lines[at++], std::to_string(s.SCALECODE) + " = rescale choice");
        expectBlock(lines, at, "Original standard deviations...", 1, P);
        expectBlock(lines, at, "Rescaled XTX...", P, P);
        EXPECT_EQ(at, lines.size());

        // Truths on any data: least squares first, nothing at the end, the
        // deltas summing to what is left of the rank, no excess at MCAL 0.
        for (int j = 1; j <= P; ++j) {
          const double b = s.BOLS.data[j];
          EXPECT_NEAR(s.CYQ.data[1][j], b, 2e-5 * (1 + std::fabs(b))) << j;
          EXPECT_EQ(s.CYQ.data[n][j], 0.0f);
          EXPECT_EQ(s.EYQ.data[1][j], 0.0f);
          EXPECT_EQ(s.IYQ.data[1][j], 0.0f);
        }
        const double tol = (shape == PathShape::kLasso ? 1e-10 : 1e-5) + s.RANK * 6e-8;
        for (int step = 1; step <= n; ++step) {
          double sum = 0.0;
          for (int i = 1; i <= s.RANK; ++i)
            sum += s.DYQ.data[step][i];
          EXPECT_NEAR(sum, s.RANK - (step - 1.0) / s.MSTEPS, tol) << step;
        }
      }
    }
  }
}

// Standardized, the Q = 0 path is ordinary ridge regression: each
// coefficient row solves (X'X + kI) b = X'y at that step's constant, X'X and
// X'y formed from the model data (or given by it in cross-product form).
TEST_P(Examples, QZeroPathIsRidgeRegressionOnTheModelData) {
  ASSERT_TRUE(analyse(kCenterRescale));
  test::PathPick pick(PathShape::kQShape, kStepsFour, "0");
  ASSERT_TRUE(SELECT_SHAPE(s, pick, 1));
  const int P = s.P, N = s.N;
  test::synth::Analysis d;
  d.P = P;
  d.XtX.assign(P, std::vector<double>(P, 0.0));
  d.Xty.assign(P, 0.0);
  for (int j = 1; j <= P && s.XPXFORM != 0; ++j) {
    d.Xty[j - 1] = s.XPY.data[j];
    for (int k = 1; k <= P; ++k)
      d.XtX[j - 1][k - 1] = s.XPX.data[j][k];
  }
  for (int i = 1; i <= N && s.XPXFORM == 0; ++i) {
    for (int j = 1; j <= P; ++j) {
      d.Xty[j - 1] += static_cast<double>(s.XMAT.data[i][j]) * s.YVEC.data[i];
      for (int k = 1; k <= P; ++k)
        d.XtX[j - 1][k - 1] += static_cast<double>(s.XMAT.data[i][j]) * s.XMAT.data[i][k];
    }
  }
  double largest = 0.0;
  for (int i = 1; i <= P; ++i)
    largest = std::max(largest, std::fabs(static_cast<double>(s.UCOMP.data[i])));
  for (int step = 2; step < s.NSTEPS; ++step) {
    const std::vector<double> truth = test::synth::ridge(d, s.THREEYQ.data[step][2]);
    double scale = 0.0;
    for (double x : truth)
      scale = std::max(scale, std::fabs(x));
    for (int j = 1; j <= P; ++j) {
      EXPECT_NEAR(s.CYQ.data[step][j], truth[j - 1], 1e-5 * largest + 2e-5 * scale)
          << step << " " << j;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(SelectShape, Examples,
                         ::testing::Values("hald.ayq", "hald_xpx.ayq", "plant.ayq",
                                           "plant_xpx.ayq"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
}  // namespace tolvane
