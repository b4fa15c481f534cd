// The O(P^2) risk and excess step against the same step with a dense
// symmetric eigen-solver, and against the single-precision traces of
// RIDGE_TRACES, on every example and every path family.
//
// Differences are measured relative to the largest absolute entry of the
// row (or vector) they belong to: each entry is a sum over the whole row's
// terms (G a, G M G', an eigenvector), so its rounding error follows the
// row's scale, and an entry near zero has no relative accuracy of its own.
#include "engine/excess_rank_one.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/analysis_state.hpp"
#include "engine/select_shape.hpp"
#include "input/batch_dialogs.hpp"
#include "input/batch_input_run.hpp"

namespace tolvane {
namespace {

struct OkDialogs : BatchDialogs {
  int scaleButton = kCenterRescale;
  bool fileName(FileNameDialogModel& d) override {
    d.ok();
    return true;
  }
  bool filesExist(FilesExistDialogModel& d) override {
    d.ok();
    return true;
  }
  bool roles(RoleDialogModel& d) override {
    d.ok();
    return true;
  }
  bool scaling(ScalingDialogModel& d) override {
    d.clickButton(scaleButton);
    d.ok();
    return true;
  }
};

struct Pick : PathDialog {
  int shape, steps;
  const char* q;
  Pick(int shapeId, int stepsId, const char* qText) : shape(shapeId), steps(stepsId), q(qText) {}
  void run(PathDialogModel& m) override {
    m.clickShape(shape);
    m.clickSteps(steps);
    m.editQText(q);
    m.ok();
  }
};

double rowScale(const std::vector<double>& x) {
  double m = 0.0;
  for (double v : x)
    m = std::max(m, std::fabs(v));
  return m;
}

// Largest difference of x and y (or of x and -y, when upToSign gives the
// smaller) relative to the larger row scale.
double relDiff(const std::vector<double>& x, const std::vector<double>& y, bool upToSign = false) {
  double plus = 0.0, minus = 0.0;
  for (std::size_t j = 0; j < x.size(); ++j) {
    plus = std::max(plus, std::fabs(x[j] - y[j]));
    minus = std::max(minus, std::fabs(x[j] + y[j]));
  }
  const double scale = std::max(rowScale(x), rowScale(y));
  if (scale == 0.0) return 0.0;
  return (upToSign ? std::min(plus, minus) : plus) / scale;
}

// The analysis state's inputs of the step, in double.
struct DoubleInputs {
  std::vector<double> G, sv, t;
  ExcessInputs in;
  explicit DoubleInputs(const AnalysisState& s) {
    const int p = s.P;
    for (int j = 1; j <= p; ++j) {
      sv.push_back(s.SVAL.data[j]);
      t.push_back(s.PCTSTAT.data[j]);
      for (int i = 1; i <= p; ++i)
        G.push_back(s.DCOS.data[j][i]);
    }
    in.p = p;
    in.r = s.RANK;
    in.G = G.data();
    in.sv = sv.data();
    in.t = t.data();
    const int below = s.N - s.RANK - 1;
    in.F = below == 0 ? 0.0 : static_cast<double>(s.N - s.RANK - 3) / below;
    in.eps = s.EPS;
  }
  // G u: the direction in predictor coordinates.
  std::vector<double> direction(const std::vector<double>& u) const {
    std::vector<double> w(in.p, 0.0);
    for (int j = 0; j < in.p; ++j)
      for (int i = 0; i < in.p; ++i)
        w[j] += G[static_cast<std::size_t>(j) * in.p + i] * u[i];
    return w;
  }
};

class ExcessExamples : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-xs-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  bool analyse(int scaleButton) {
    const std::string path = std::string(TOLVANE_SOURCE_DIR) + "/examples/" + GetParam();
    OkDialogs dialogs;
    dialogs.scaleButton = scaleButton;
    std::FILE* in = std::fopen(path.c_str(), "r");
    if (in == nullptr) return false;
    return runBatchInput(s, {in, path, dir_, 1'000'000'000}, dialogs).completed();
  }
  AnalysisState s;
  std::string dir_;
};

TEST_P(ExcessExamples, RankOneAgreesWithDenseAndWithSinglePrecision) {
  ASSERT_TRUE(analyse(kCenterRescale));
  const struct {
    int shape;
    const char* q;
  } paths[] = {{1003, "-1.5"}, {1003, "0"}, {1003, "1"}, {1003, "2.5"},
               {1004, "0"},    {1005, "0"}, {1006, "0"}};
  int inferiorSteps = 0;
  for (const auto& path : paths) {
    Pick pick(path.shape, 1014, path.q);
    ASSERT_TRUE(SELECT_SHAPE(s, pick, 2));
    const int p = s.P;
    DoubleInputs di(s);
    ExcessStep step;
    ExcessResult fast, dense;
    for (int k = 1; k <= s.NSTEPS; ++k) {
      SCOPED_TRACE(testing::Message()
                   << GetParam() << " shape " << path.shape << " Q " << path.q << " step " << k);
      std::vector<double> delta(p);
      for (int i = 1; i <= p; ++i)
        delta[i - 1] = s.DYQ.data[k][i];
      ASSERT_TRUE(step.run(di.in, delta.data(), ExcessSolver::kRankOne, fast));
      ASSERT_TRUE(step.run(di.in, delta.data(), ExcessSolver::kDense, dense));
      EXPECT_EQ(fast.sigma, dense.sigma);
      EXPECT_EQ(fast.risk, dense.risk);
      EXPECT_LE(relDiff(fast.e, dense.e), 1e-10);

      std::vector<double> ryq(p), eyq(p), iyq(p), eyqFast(p);
      for (int j = 1; j <= p; ++j) {
        ryq[j - 1] = s.RYQ.data[k][j];
        eyq[j - 1] = s.EYQ.data[k][j];
        iyq[j - 1] = s.IYQ.data[k][j];
        eyqFast[j - 1] = fast.sigma * fast.e[j - 1];
      }
      EXPECT_LE(relDiff(fast.risk, ryq), 1e-4);
      EXPECT_LE(relDiff(eyqFast, eyq), 1e-4);

      const bool inferior = fast.e[p - 1] < -di.in.eps && fast.e[0] > di.in.eps;
      EXPECT_EQ(inferior, dense.e[p - 1] < -di.in.eps && dense.e[0] > di.in.eps);
      if (!inferior) continue;
      ++inferiorSteps;
      // Where there is an inferior direction it belongs to the one negative
      // eigenvalue, an isolated one, so both solvers fix it up to sign.
      EXPECT_LE(relDiff(di.direction(fast.u), di.direction(dense.u), true), 1e-10);
      if (rowScale(iyq) > 0.0) {
        EXPECT_LE(relDiff(di.direction(fast.u), iyq, true), 1e-4);
      }
    }
  }
  EXPECT_GT(inferiorSteps, 0);
}

INSTANTIATE_TEST_SUITE_P(All, ExcessExamples,
                         ::testing::Values("hald.ayq", "hald_xpx.ayq", "plant.ayq", "plant_xpx.ayq",
                                           "wide.ayq"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
}  // namespace tolvane
