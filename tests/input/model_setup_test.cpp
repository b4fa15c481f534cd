#include "input/model_setup.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "input/batch_reader.hpp"
#include "support/input_test_support.hpp"

namespace tolvane {
namespace {

std::string contents(std::FILE* f) {
  std::string text;
  std::rewind(f);
  char buf[512];
  while (std::fgets(buf, sizeof buf, f) != nullptr)
    text += buf;
  return text;
}

// A state that has read `text`, with both output files open in memory.
struct Model {
  std::unique_ptr<AnalysisState> s = std::make_unique<AnalysisState>();
  test::ScriptedDialogs dialogs;
  BatchRunResult result;
  test::ReportLines report;

  // Single precision unless asked: these tests pin its values and messages.
  explicit Model(const std::string& text, Precision precision = Precision::kSingle) {
    s->precision = precision;
    s->files.SUMMFILE = std::tmpfile();
    s->files.TRACEFILE = std::tmpfile();
    test::TrackedFile f = test::trackedFile(text);
    BatchLineReader in(f.file);
    const BatchRunResult read = readBatchData(*s, in, "T.AYQ");
    std::fclose(f.file);
    EXPECT_TRUE(read.completed()) << read.message;
    report.clear();
  }
  BatchRunResult setUp() { return result = setUpModel(*s, dialogs); }
  std::string summary() const { return contents(s->files.SUMMFILE); }
  std::string trace() const { return contents(s->files.TRACEFILE); }
};

// Seven observations: A = 1..7, B alternating, Y a mix of both.
const std::string kSeven =
    "3\n7\nA B Y\n"
    "1 2 5\n2 0 4\n3 2 9\n4 0 7\n5 2 12\n6 0 9\n7 2 15\n";

TEST(ObservationRange, FirstAndLastFollowTheCorrectionRules) {
  AnalysisState s;
  s.NOBS = 30;
  s.P = 3;
  struct Case {
    const char* first;
    const char* last;
    int n1, n2;
  } cases[] = {
      {"40", "9999", 23, 30}, {"5", "6", 5, 12},   {"", "30", 1, 30},    {"0", "20", 1, 20},
      {"10", "0", 10, 17},    {"25", "0", 23, 30}, {"1", "9999", 1, 30},
  };
  for (const Case& c : cases) {
    setObservationRange(s, c.first, c.last);
    EXPECT_EQ(s.N1, c.n1) << c.first << " " << c.last;
    EXPECT_EQ(s.N2, c.n2) << c.first << " " << c.last;
    EXPECT_EQ(s.N, c.n2 - c.n1 + 1);
  }
}

// Each limit of the range on both of its sides, so that moving any of them
// by one fails a named case. 30 observations of 3 predictors: the latest
// first observation is 30 - 3 - 4 = 23, the fewest rows 3 + 5 = 8.
TEST(ObservationRange, EachLimitHoldsOnBothSides) {
  AnalysisState s;
  s.NOBS = 30;
  s.P = 3;
  struct Case {
    const char* what;
    const char* first;
    const char* last;
    int n1, n2;
  } cases[] = {
      {"first below 1 is raised to 1", "0", "30", 1, 30},
      {"first at 1 is kept", "1", "30", 1, 30},
      {"first at the latest start NOBS - P - 4 is kept", "23", "30", 23, 30},
      {"first one past the latest start is lowered to it", "24", "30", 23, 30},
      {"last at NOBS is kept", "2", "30", 2, 30},
      {"last one past NOBS is lowered to NOBS", "2", "31", 2, 30},
      {"last one before NOBS is kept", "2", "29", 2, 29},
      {"last at the fewest rows N1 + P + 4 is kept", "5", "12", 5, 12},
      {"last one short of the fewest rows is raised", "5", "11", 5, 12},
      {"a short range at the latest start ends at NOBS", "23", "29", 23, 30},
      {"a short range one past the latest start ends at NOBS", "24", "1", 23, 30},
  };
  for (const Case& c : cases) {
    setObservationRange(s, c.first, c.last);
    EXPECT_EQ(s.N1, c.n1) << c.what;
    EXPECT_EQ(s.N2, c.n2) << c.what;
    EXPECT_EQ(s.N, c.n2 - c.n1 + 1) << c.what;
  }
}

// Fewer rows than P + 5 (only when called before the count is checked):
// the range still starts at 1 and never passes NOBS.
TEST(ObservationRange, TooFewRowsStartAtOneAndEndAtTheLast) {
  AnalysisState s;
  s.NOBS = 7;
  s.P = 3;
  setObservationRange(s, "5", "0");
  EXPECT_EQ(s.N1, 1);
  EXPECT_EQ(s.N2, 7);
  EXPECT_EQ(s.N, 7);
}

// P + 5 observations are the fewest a model takes: one fewer stops the run.
TEST(ModelSetup, FewestObservationsArePredictorsPlusFive) {
  Model enough(kSeven);  // 2 predictors, 7 rows
  EXPECT_TRUE(enough.setUp().completed()) << enough.result.message;
  EXPECT_EQ(enough.s->N, 7);

  Model fewer("3\n6\nA B Y\n1 2 5\n2 0 4\n3 2 9\n4 0 7\n5 2 12\n6 0 9\n");
  const BatchRunResult r = fewer.setUp();
  EXPECT_EQ(r.code, StatusCode::kStopped);
  EXPECT_EQ(r.message,
            "Too few observations for the model: 6, but 2 predictors need at least 7. Batch input "
            "stopped.");
}

TEST(ModelSetup, RescaledRawModelIsCentredWithUnitDeviations) {
  Model m(test::kHaldRaw);
  ASSERT_TRUE(m.setUp().completed()) << m.result.message;
  const AnalysisState& s = *m.s;
  ASSERT_EQ(s.XMAT.rows, 13);
  ASSERT_EQ(s.XMAT.cols, 4);
  EXPECT_FLOAT_EQ(s.YAVG, 95.423077f);
  EXPECT_NEAR(s.XAVG.data[1], 7.4615385, 1e-5);
  EXPECT_NEAR(s.XSTD.data[1], 5.8823952, 1e-5);
  for (int i = 1; i <= 4; ++i) {
    double sum = 0, squares = 0;
    for (int j = 1; j <= 13; ++j) {
      sum += s.XMAT.data[j][i];
      squares += static_cast<double>(s.XMAT.data[j][i]) * s.XMAT.data[j][i];
    }
    EXPECT_NEAR(sum, 0.0, 1e-5) << i;
    EXPECT_NEAR(squares, 12.0, 1e-4) << i;  // N - 1 after dividing by the deviation
  }
  // Row 1 of the model is observation 1, centred and rescaled.
  EXPECT_NEAR(s.XMAT.data[1][4], (60 - 30.0) / 16.738161, 1e-5);
  EXPECT_NEAR(s.YVEC.data[1], (78.5 - 95.423077) / 15.043723, 1e-5);
}

TEST(ModelSetup, CenterOnlyKeepsTheGivenScale) {
  Model m(kSeven);
  m.dialogs.onScaling = [](ScalingDialogModel& d) {
    d.clickButton(kCenterOnly);
    d.ok();
    return true;
  };
  ASSERT_TRUE(m.setUp().completed()) << m.result.message;
  const AnalysisState& s = *m.s;
  EXPECT_EQ(s.SCALECODE, 0);
  for (int j = 1; j <= 7; ++j)
    EXPECT_EQ(s.XMAT.data[j][1], j - 4.0f);
  EXPECT_FLOAT_EQ(s.YAVG, 61.0f / 7);
}

TEST(ModelSetup, ObservationRangeSelectsTheRows) {
  Model m("3\n9\nA B Y\n9 9 9\n1 2 5\n2 0 4\n3 2 9\n4 0 7\n5 2 12\n6 0 9\n7 2 15\n9 9 9\n");
  m.dialogs.onScaling = [](ScalingDialogModel& d) {
    d.setFirstText("2");
    d.setLastText("8");
    d.clickButton(kCenterOnly);
    d.ok();
    return true;
  };
  ASSERT_TRUE(m.setUp().completed()) << m.result.message;
  EXPECT_EQ(m.s->N1, 2);
  EXPECT_EQ(m.s->N2, 8);
  EXPECT_EQ(m.s->N, 7);
  EXPECT_EQ(m.s->XMAT.data[1][1], -3.0f);  // observation 2: A = 1, mean 4
  EXPECT_EQ(m.s->XMAT.data[7][1], 3.0f);
}

TEST(ModelSetup, WritesTheSummaryAndTraceLinesInOrder) {
  Model m(kSeven);
  ASSERT_TRUE(m.setUp().completed()) << m.result.message;
  EXPECT_EQ(m.summary(),
            "   3 = NVAR, Number of Variables (Columns)\n"
            "   7 = NOBS, Number of Observations (Rows)\n"
            "   3 = Response Variable Index\n"
            "Rescale (and center) variables.......Code=1\n"
            "Single precision: every stored number has 24 bits\n"
            "   1 = N1, First Observation Number\n"
            "   7 = N2, Last Observation Number\n"
            "   2 = P, number of regressors\n"
            "   7 = N, number of observations\n"
            "Response  Var. 3 Mean =       8.71429  Std.Error =       3.86067\n"
            "Predictor Var. 1 Mean =             4  Std.Error =       2.16025\n"
            "Predictor Var. 2 Mean =       1.14286  Std.Error =       1.06905\n"
            "Predictor Intercorrelations Matrix...\n"
            "  1.0000  0.0000\n"
            "  0.0000  1.0000\n");
  const std::string trace = m.trace();
  ASSERT_EQ(trace.rfind("XMAT = Predictors Matrix...\n", 0), 0u);
  EXPECT_NE(trace.find("\n      -1.38873      0.801784\n"), std::string::npos);  // row 1
  const std::size_t y = trace.find("YVEC = Response Row Vector...\n");
  ASSERT_NE(y, std::string::npos);
  // YVEC as one row of 7 values: 18 to a line fits them on one line.
  const std::string yLine = trace.substr(y + 30);
  EXPECT_EQ(std::count(yLine.begin(), yLine.end(), '\n'), 1);
  EXPECT_EQ(yLine.substr(0, 14), "     -0.962084");
}

TEST(ModelSetup, ReportsRolesRangeAndPredictorCount) {
  Model m(kSeven);
  ASSERT_TRUE(m.setUp().completed());
  EXPECT_EQ(m.report.lines(), (std::vector<std::string>{
                                  "    ",
                                  "    Xvar No. 1 Name = A ",
                                  "    Xvar No. 2 Name = B ",
                                  "    Yvar Name = Y ",
                                  "    First Observation Number = 1",
                                  "    Last  Observation Number = 7",
                                  "    P = number of predictors = 2",
                                  "    ",
                              }));
}

TEST(ModelSetup, RoleDialogLeftWithoutAnExitKeepsDefaultsAndOkAppliesItsLists) {
  const std::string data =
      "4\n9\nD C B A\n1 5 2 1\n2 3 1 4\n3 8 3 2\n4 1 5 3\n5 9 2 7\n6 2 6 5\n"
      "7 6 4 8\n8 4 7 6\n9 7 9 9\n";
  Model a(data);
  a.dialogs.onRoles = [](RoleDialogModel&) { return true; };
  ASSERT_TRUE(a.setUp().completed()) << a.result.message;
  EXPECT_EQ((std::vector<int>{a.s->XCOL[1], a.s->XCOL[2], a.s->XCOL[3]}),
            (std::vector<int>{1, 2, 3}));

  Model b(data);
  ASSERT_TRUE(b.setUp().completed()) << b.result.message;
  EXPECT_EQ((std::vector<int>{b.s->XCOL[1], b.s->XCOL[2], b.s->XCOL[3]}),
            (std::vector<int>{3, 2, 1}));
  // XMAT column 1 is now column 3 of the data (B), centred and rescaled.
  EXPECT_NEAR(b.s->XMAT.data[1][1], (2 - 39.0 / 9) / b.s->XSTD.data[1], 1e-5);
}

TEST(ModelSetup, CancellingTheRoleOrScalingDialogCancelsAndStoresNothing) {
  Model roles(kSeven);
  roles.dialogs.onRoles = [](RoleDialogModel& d) {
    d.closeBox();
    return true;
  };
  bool scalingShown = false;
  roles.dialogs.onScaling = [&scalingShown](ScalingDialogModel&) {
    scalingShown = true;
    return true;
  };
  EXPECT_EQ(roles.setUp().code, StatusCode::kCancelled);
  EXPECT_FALSE(scalingShown);
  EXPECT_FALSE(roles.s->XMAT.exists());

  Model scaling(kSeven);
  scaling.dialogs.onScaling = [](ScalingDialogModel& d) {
    d.clickButton(kReExpress);
    d.escape();
    return true;
  };
  EXPECT_EQ(scaling.setUp().code, StatusCode::kCancelled);
  EXPECT_NE(scaling.s->memory.SCALEBTN, kReExpress);
  EXPECT_FALSE(scaling.s->XMAT.exists());
  EXPECT_EQ(scaling.result.message, "Batch input cancelled; the previous analysis is kept.");
}

TEST(ModelSetup, ScalingDialogRemembersItsChoiceOnlyThroughOk) {
  Model m(kSeven);
  m.s->memory.N1TEXT = "2";
  m.dialogs.onScaling = [](ScalingDialogModel& d) {
    EXPECT_EQ(d.firstText(), "2");
    EXPECT_EQ(d.lastText(), "7");  // N2TEXT is NOBS at every batch input
    d.clickButton(kReExpress);
    d.ok();
    return true;
  };
  ASSERT_TRUE(m.setUp().completed());
  EXPECT_EQ(m.s->memory.SCALEBTN, kReExpress);
  EXPECT_EQ(m.s->SCALECODE, 2);
  EXPECT_NE(m.summary().find("Rescale but Express on given scale...Code=2\n"), std::string::npos);

  Model n(kSeven);
  n.dialogs.onScaling = [](ScalingDialogModel& d) {
    d.clickButton(kCenterOnly);
    return true;  // returned without OK: nothing is stored
  };
  ASSERT_TRUE(n.setUp().completed());
  EXPECT_EQ(n.s->memory.SCALEBTN, kCenterRescale);
  EXPECT_EQ(n.s->SCALECODE, 1);
}

TEST(ModelSetup, CrossProductsGiveTheSameModelAsRawData) {
  for (int button : {kCenterOnly, kCenterRescale}) {
    Model raw(test::kHaldRaw), xpx(test::crossProducts(test::kHaldRaw));
    for (Model* m : {&raw, &xpx}) {
      m->dialogs.onScaling = [button](ScalingDialogModel& d) {
        d.clickButton(button);
        d.setFirstText("4");  // ignored in cross-product form
        d.ok();
        return true;
      };
    }
    // Raw data use observations 1..13 here too.
    raw.dialogs.onScaling = [button](ScalingDialogModel& d) {
      d.clickButton(button);
      d.ok();
      return true;
    };
    ASSERT_TRUE(raw.setUp().completed());
    ASSERT_TRUE(xpx.setUp().completed()) << xpx.result.message;
    const AnalysisState &r = *raw.s, &c = *xpx.s;
    EXPECT_EQ(xpx.dialogs.rolesCalls, 0);
    EXPECT_EQ(c.N1, 1);
    EXPECT_EQ(c.N, 13);
    EXPECT_EQ(c.P, 4);
    EXPECT_NEAR(c.YAVG, r.YAVG, 1e-4);
    EXPECT_NEAR(c.YSTD, r.YSTD, 1e-4);
    for (int i = 1; i <= 4; ++i) {
      EXPECT_NEAR(c.XAVG.data[i], r.XAVG.data[i], 1e-5 * std::fabs(r.XAVG.data[i]));
      EXPECT_NEAR(c.XSTD.data[i], r.XSTD.data[i], 1e-4 * r.XSTD.data[i]);
      double xy = 0;
      for (int k = 1; k <= 13; ++k)
        xy += static_cast<double>(r.XMAT.data[k][i]) * r.YVEC.data[k];
      EXPECT_NEAR(c.XPY.data[i], xy, 1e-4 * std::fabs(xy) + 1e-4) << i;
      for (int j = 1; j <= 4; ++j) {
        double xx = 0;
        for (int k = 1; k <= 13; ++k)
          xx += static_cast<double>(r.XMAT.data[k][i]) * r.XMAT.data[k][j];
        EXPECT_NEAR(c.XPX.data[i][j], xx, 1e-4 * std::fabs(xx) + 1e-3) << i << "," << j;
      }
    }
    // Neither the trace file nor the correlation block is written for sums.
    EXPECT_EQ(xpx.trace(), "");
    EXPECT_EQ(xpx.summary().find("Intercorrelations"), std::string::npos);
    EXPECT_EQ(xpx.summary().find("Response Variable Index"), std::string::npos);
  }
}

TEST(ModelSetup, TooFewObservationsForThePredictorsStopTheRun) {
  Model m("4\n7\nA B C Y\n" +
          std::string("1 2 3 4\n2 1 4 3\n3 3 1 2\n4 4 2 1\n5 1 1 1\n6 2 2 2\n7 3 3 3\n"));
  const BatchRunResult r = m.setUp();
  EXPECT_EQ(r.code, StatusCode::kStopped);
  EXPECT_EQ(r.message,
            "Too few observations for the model: 7, but 3 predictors need at least 8. Batch input "
            "stopped.");
  EXPECT_EQ(m.dialogs.scalingCalls, 0);
  EXPECT_FALSE(m.s->XMAT.exists());

  // Leaving a predictor out makes the same file usable.
  Model fewer("4\n7\nA B C Y\n" +
              std::string("1 2 3 4\n2 1 4 3\n3 3 1 2\n4 4 2 1\n5 1 1 1\n6 2 2 2\n7 3 3 5\n"));
  fewer.dialogs.onRoles = [](RoleDialogModel& d) {
    d.moveRight();
    d.ok();
    return true;
  };
  EXPECT_TRUE(fewer.setUp().completed()) << fewer.result.message;
  EXPECT_EQ(fewer.s->P, 2);
}

// Under every scaling, in both forms: a constant predictor stops the run
// by name before a non-number (a 0/0 correlation, a t-statistic of rounding
// noise) reaches the summary.
TEST(ModelSetup, AConstantPredictorStopsEveryScalingInBothForms) {
  // K is 0.1 throughout: in cross-product form its sums (0.07, 0.7) leave a
  // centred square of rounding noise, not an exact 0.
  const std::string raw = "3\n7\nA K Y\n1 .1 5\n2 .1 4\n3 .1 9\n4 .1 7\n5 .1 12\n6 .1 9\n7 .1 15\n";
  const std::string sums = "3\n-7\nA K Y\nh\n140 2.8 287 28\n2.8 0.07 6.1 0.7\n61\n621\n";
  const std::string centreOnly =
      "The predictor K has standard deviation 0: a constant predictor cannot be fitted beside "
      "the mean. Batch input stopped.";
  const std::string rescaled =
      "The predictor K has standard deviation 0 and cannot be rescaled. Batch input stopped.";
  for (const std::string& data : {raw, sums}) {
    for (int button : {kCenterOnly, kCenterRescale, kReExpress}) {
      SCOPED_TRACE(::testing::Message() << "button " << button << "\n" << data);
      Model m(data);
      m.dialogs.onScaling = [button](ScalingDialogModel& d) {
        d.clickButton(button);
        d.ok();
        return true;
      };
      EXPECT_EQ(m.setUp().code, StatusCode::kStopped);
      EXPECT_EQ(m.result.message, button == kCenterOnly ? centreOnly : rescaled);
      EXPECT_EQ(m.trace(), "");  // stopped before anything was written
      const std::string summary = m.summary();
      EXPECT_EQ(summary.find("nan"), std::string::npos) << summary;
      EXPECT_EQ(summary.find("inf"), std::string::npos) << summary;
    }
  }
  // A predictor with a spread just above the rounding of its sums is kept.
  Model barely("3\n-7\nA K Y\nh\n140 2.8 287 28\n2.8 0.0701 6.1 0.7\n61\n621\n");
  EXPECT_TRUE(barely.setUp().completed()) << barely.result.message;
}

TEST(ModelSetup, AConstantResponseStopsEveryModel) {
  for (int button : {kCenterOnly, kReExpress}) {
    Model m("3\n7\nA B Y\n1 2 4\n2 0 4\n3 2 4\n4 0 4\n5 2 4\n6 0 4\n7 2 4\n");
    m.dialogs.onScaling = [button](ScalingDialogModel& d) {
      d.clickButton(button);
      d.ok();
      return true;
    };
    EXPECT_EQ(m.setUp().code, StatusCode::kStopped);
    EXPECT_EQ(m.result.message,
              "The response Y has standard deviation 0; there is nothing to fit. Batch input "
              "stopped.");
  }
  // In cross-product form the sums show it: SUMSQY = SUMY^2 / NOBS.
  Model xpx("2\n-5\nX Y\nh\n55 20 15\n20\n80\n");
  EXPECT_EQ(xpx.setUp().code, StatusCode::kStopped);
}

TEST(ModelSetup, InconsistentSumsGiveNoSpreadInsteadOfNotANumber) {
  // XPX 1 is less than NOBS * mean^2: a negative variance.
  Model m("2\n-5\nX Y\nh\n1 20 15\n20\n100\n");
  EXPECT_EQ(m.setUp().code, StatusCode::kStopped);
  EXPECT_EQ(
      m.result.message,
      "The predictor X has standard deviation 0 and cannot be rescaled. Batch input stopped.");
}

TEST(ModelSetup, SumsBeyondSinglePrecisionStopTheRun) {
  Model m("3\n7\nA B Y\n3e38 2 5\n3e38 0 4\n3e38 2 9\n3e38 0 7\n3e38 2 12\n3e38 0 9\n1 2 15\n");
  EXPECT_EQ(m.setUp().code, StatusCode::kStopped);
  EXPECT_EQ(m.result.message,
            "The model data overflow single precision (predictor A). Batch input stopped.");
}

TEST(ModelSetup, SumsBeyondDoublePrecisionStopTheRunInDoublePrecision) {
  Model m(
      "3\n7\nA B Y\n1e308 2 5\n1e308 0 4\n1e308 2 9\n1e308 0 7\n1e308 2 12\n1e308 0 9\n1 2 15\n",
      Precision::kDouble);
  EXPECT_EQ(m.setUp().code, StatusCode::kStopped);
  EXPECT_EQ(m.result.message,
            "The model data overflow double precision (predictor A). Batch input stopped.");
  // What overflows single precision is an ordinary number in double.
  Model d("3\n7\nA B Y\n3e38 2 5\n3e38 0 4\n3e38 2 9\n3e38 0 7\n3e38 2 12\n3e38 0 9\n1 2 15\n",
          Precision::kDouble);
  EXPECT_EQ(d.setUp().code, StatusCode::kOk) << d.result.message;
}

TEST(ModelSetup, AnAbandonedDialogStopsTheRun) {
  Model m(kSeven);
  m.dialogs.onRoles = [](RoleDialogModel&) { return false; };
  EXPECT_EQ(m.setUp().code, StatusCode::kStopped);
  Model n(kSeven);
  n.dialogs.onScaling = [](ScalingDialogModel&) { return false; };
  EXPECT_EQ(n.setUp().code, StatusCode::kStopped);
  EXPECT_FALSE(n.s->XMAT.exists());
}

}  // namespace
}  // namespace tolvane
