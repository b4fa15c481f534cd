#include "engine/select_shape.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/front_end_hooks.hpp"
#include "report/report.hpp"
#include "support/synthetic_analysis.hpp"

namespace tolvane {
namespace {

std::string fileText(std::FILE* f) {
  std::fflush(f);
  const long at = std::ftell(f);
  std::rewind(f);
  std::string text;
  for (int ch; (ch = std::fgetc(f)) != EOF;)
    text.push_back(static_cast<char>(ch));
  std::fseek(f, at, SEEK_SET);
  return text;
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

// A dialog that plays a script on the model; OK at the end unless told not.
class ScriptedDialog : public PathDialog {
 public:
  explicit ScriptedDialog(std::function<void(PathDialogModel&)> script = {}, bool pressOk = true)
      : script_(std::move(script)), pressOk_(pressOk) {}
  void run(PathDialogModel& model) override {
    ++runs;
    if (script_) script_(model);
    if (pressOk_) model.ok();
  }
  int runs = 0;

 private:
  std::function<void(PathDialogModel&)> script_;
  bool pressOk_;
};

ScriptedDialog choose(PathShape shape, int steps, const char* q) {
  return ScriptedDialog([=](PathDialogModel& m) {
    m.clickShape(shape);
    m.clickSteps(steps);
    m.editQText(q);
  });
}

class SelectShape : public ::testing::Test {
 protected:
  // These tests pin single-precision bits.
  PrecisionScope single_{Precision::kSingle};
  void SetUp() override {
    resetReportStore();
    mark_ = reportCounters().linesWritten;
    setFrontEndHooks({{}, [this] { ++visualizeOffers_; }});
  }
  void TearDown() override { setFrontEndHooks({}); }

  void analysed(int P = 3, int duplicateOf = 0) {
    test::synth::Options o;
    o.P = P;
    o.N = 25;
    o.duplicateOf = duplicateOf;
    d = test::synth::analyse(o);
    test::synth::fill(s, d);
    s.files.SUMMFILE = std::tmpfile();
    s.files.TRACEFILE = std::tmpfile();
    s.files.SUMMNAME = "cement.syq";
    s.files.TRACENAME = "cement.myq";
  }
  std::vector<std::string> lines() const { return reportLinesSince(mark_); }

  AnalysisState s;
  test::synth::Analysis d;
  int mark_ = 0;
  int visualizeOffers_ = 0;
};

TEST_F(SelectShape, FirstUseTakesTheDialogDefaults) {
  analysed();
  ScriptedDialog ok;
  ASSERT_TRUE(SELECT_SHAPE(s, ok, 1));
  EXPECT_EQ(ok.runs, 1);
  EXPECT_EQ(s.SHAPECODE, PathShape::kQShape);
  EXPECT_EQ(s.QSHAPE, 0.0f);
  EXPECT_EQ(s.MSTEPS, 4);
  EXPECT_EQ(s.NSTEPS, 4 * s.RANK + 1);
  for (int i = 1; i <= s.RANK; ++i) {
    const double sv = s.SVAL.data[i];
    EXPECT_NEAR(s.QWEIGHT[i], 1.0 / (sv * sv), 1e-12 / (sv * sv));
  }
  const std::vector<std::string> win = lines();
  ASSERT_GE(win.size(), 3u);
  EXPECT_EQ(win[0], "     0.0 = QSHAPE of the shrinkage path.");
  EXPECT_EQ(win[1], "    Number of Steps Per Unit Increase in MCAL = 4");
  EXPECT_EQ(win[2], BLANK_LINE);
  const std::string summ = fileText(s.files.SUMMFILE);
  EXPECT_EQ(summ.rfind("Two-parameter Generalized Shrinkage PATH.\n"
                       " 0.0 = QSHAPE of the shrinkage path\n"
                       "Number of Steps Per Unit Increase in MCAL = 4\n"
                       "       MCAL        CLIK           EBAYS           RCOEF\n",
                       0),
            0u);
  // Criteria first, then the traces; the Visualize menu is offered.
  const std::string trace = fileText(s.files.TRACEFILE);
  EXPECT_LT(trace.find("3YQ = Three Shrinkage Likelihoods...\n"),
            trace.find("CYQ = Coefficient Trace...\n"));
  EXPECT_EQ(s.CYQ.rows, s.NSTEPS);
  EXPECT_EQ(visualizeOffers_, 1);
}

TEST_F(SelectShape, QTextIsCutClampedAndReadAsANumber) {
  EXPECT_EQ(qFromText("-4.7"), -4.7f);
  EXPECT_EQ(qFromText("12.5"), 5.0f);
  EXPECT_EQ(qFromText("-9"), -5.0f);
  EXPECT_EQ(qFromText("abc"), 0.0f);
  EXPECT_EQ(qFromText(""), 0.0f);
  EXPECT_EQ(qFromText(" 2x"), 2.0f);
  EXPECT_EQ(qFromText("nan"), 0.0f);
  EXPECT_EQ(qFromText("inf"), 5.0f);
  EXPECT_EQ(qFromText("-inf"), -5.0f);

  analysed();
  ScriptedDialog typed = choose(PathShape::kQShape, 1013, "-4.75");
  ASSERT_TRUE(SELECT_SHAPE(s, typed, 1));
  EXPECT_EQ(s.memory.QTEXT, "-4.7");
  EXPECT_EQ(s.QSHAPE, -4.7f);
  EXPECT_EQ(lines().at(0), "    -4.7 = QSHAPE of the shrinkage path.");
}

TEST_F(SelectShape, OtherFamiliesLeaveQAndItsWeightsAlone) {
  analysed();
  ScriptedDialog half = choose(PathShape::kQShape, 1013, "0.5");
  ASSERT_TRUE(SELECT_SHAPE(s, half, 1));
  const auto weights = s.QWEIGHT;
  const std::size_t summBefore = fileText(s.files.SUMMFILE).size();

  struct Family {
    PathShape shape;
    const char* summary;
  };
  for (const Family f : {Family{PathShape::kGarrote, "Breiman-like Generalized Garrote PATH."},
                         Family{PathShape::kLasso, "Tibshirani-like Generalized Lasso PATH."},
                         Family{PathShape::kCrosr, "Constant-Ratio-Of-Shrinkage-Ratios PATH."}}) {
    mark_ = reportCounters().linesWritten;
    ScriptedDialog pick = choose(f.shape, 1013, "3");
    ASSERT_TRUE(SELECT_SHAPE(s, pick, 1));
    EXPECT_EQ(s.SHAPECODE, f.shape);
    EXPECT_EQ(s.QSHAPE, 0.5f);
    EXPECT_EQ(s.QWEIGHT, weights);
    EXPECT_EQ(lines().at(0), std::string("    ") + f.summary);
  }
  const std::string added = fileText(s.files.SUMMFILE).substr(summBefore);
  EXPECT_EQ(added.rfind("Breiman-like Generalized Garrote PATH.\nNumber of Steps", 0), 0u);
  EXPECT_EQ(count(added, "QSHAPE"), 0);
}

TEST_F(SelectShape, QOfOneWeighsKeptAxesAlikeAndDroppedOnesZero) {
  analysed(4, 1);
  ASSERT_EQ(s.RANK, 3);
  std::fill(s.QWEIGHT.begin(), s.QWEIGHT.end(), -1.0);
  ScriptedDialog one = choose(PathShape::kQShape, 1014, "1");
  ASSERT_TRUE(SELECT_SHAPE(s, one, 1));
  EXPECT_EQ(s.QWEIGHT[1], 1.0);
  EXPECT_EQ(s.QWEIGHT[2], 1.0);
  EXPECT_EQ(s.QWEIGHT[3], 1.0);
  EXPECT_EQ(s.QWEIGHT[4], 0.0);
  EXPECT_EQ(s.QWEIGHT[5], -1.0);  // beyond P nothing is touched

  ScriptedDialog two = choose(PathShape::kQShape, 1014, "2");
  ASSERT_TRUE(SELECT_SHAPE(s, two, 1));
  EXPECT_EQ(s.QWEIGHT[4], 0.0);
  EXPECT_GT(s.QWEIGHT[1], s.QWEIGHT[3]);
}

TEST_F(SelectShape, OneStepPerUnitWalksWholeValuesOfMcal) {
  analysed(4);
  ScriptedDialog one = choose(PathShape::kLasso, 1013, "0");
  ASSERT_TRUE(SELECT_SHAPE(s, one, 1));
  EXPECT_EQ(s.MSTEPS, 1);
  EXPECT_EQ(s.NSTEPS, s.RANK + 1);
  for (int step = 1; step <= s.NSTEPS; ++step)
    EXPECT_EQ(s.THREEYQ.data[step][1], step - 1.0f);
  ScriptedDialog eight = choose(PathShape::kLasso, 1015, "0");
  ASSERT_TRUE(SELECT_SHAPE(s, eight, 1));
  EXPECT_EQ(s.NSTEPS, 8 * s.RANK + 1);
}

TEST_F(SelectShape, EachRunAppendsItsOwnBlockAndReminders) {
  analysed();
  ScriptedDialog first = choose(PathShape::kQShape, 1013, "0");
  ScriptedDialog second = choose(PathShape::kCrosr, 1014, "0");
  ASSERT_TRUE(SELECT_SHAPE(s, first, 1));
  ASSERT_TRUE(SELECT_SHAPE(s, second, 1));
  const std::string trace = fileText(s.files.TRACEFILE);
  EXPECT_EQ(count(trace, "3YQ = Three Shrinkage Likelihoods...\n"), 2);
  EXPECT_EQ(count(trace, "DYQ = Delta Factor Trace...\n"), 2);
  EXPECT_EQ(count(trace, "Rescaled XTX...\n"), 2);
  const std::string summ = fileText(s.files.SUMMFILE);
  EXPECT_LT(summ.find("Two-parameter"), summ.find("Constant-Ratio"));
  int reminders = 0;
  for (const std::string& l : lines())
    reminders += l == "REMINDER(S) :";
  EXPECT_EQ(reminders, 2);
  EXPECT_EQ(s.CYQ.rows, 4 * s.RANK + 1);  // the second path replaced the first
  EXPECT_EQ(visualizeOffers_, 2);
}

TEST_F(SelectShape, ClosingAdviceAndFileReminders) {
  analysed(2);
  ScriptedDialog ok = choose(PathShape::kQShape, 1013, "0");
  ASSERT_TRUE(SELECT_SHAPE(s, ok, 1));
  const std::vector<std::string> win = lines();
  const std::string rule = "    " + std::string(68, '=');
  const std::vector<std::string> tail = {
      BLANK_LINE,
      "    You should examine the above information about extents of",
      "    shrinkage most likely to minimize risk along the chosen path.",
      rule,
      "    To see the effects of shrinkage, use items from the \"Visualize\" menu.",
      rule,
      BLANK_LINE,
      "REMINDER(S) :",
      BLANK_LINE,
      "Tolvane has created an Output File of Detailed Results named... cement.syq.",
      "After exiting from Tolvane, you may use any text editor to review and/or",
      "print this file of summary statistics from this Tolvane run.",
      BLANK_LINE,
      "Tolvane also created a Shrinkage Trace Matrix File named... cement.myq.",
      BLANK_LINE};
  ASSERT_GE(win.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(win.end() - tail.size(), win.end()), tail);

  // Without open files the reminders name nothing.
  s.files.closeBoth();
  mark_ = reportCounters().linesWritten;
  ASSERT_TRUE(SELECT_SHAPE(s, ok, 1));
  const std::vector<std::string> bare = lines();
  ASSERT_GE(bare.size(), 3u);
  EXPECT_EQ(bare[bare.size() - 2], "REMINDER(S) :");
  EXPECT_EQ(bare.back(), BLANK_LINE);
}

TEST_F(SelectShape, ADialogLeftWithoutOkRunsTheRememberedPath) {
  analysed();
  s.memory.SHAPEBTN = PathShape::kGarrote;
  s.memory.STEPSBTN = 1013;
  ScriptedDialog noOk([](PathDialogModel& m) { m.clickShape(PathShape::kLasso); }, false);
  ASSERT_TRUE(SELECT_SHAPE(s, noOk, 1));
  EXPECT_EQ(s.SHAPECODE, PathShape::kGarrote);
  EXPECT_EQ(s.memory.SHAPEBTN, PathShape::kGarrote);
}

TEST_F(SelectShape, RefusesWithoutAnAnalysisOrDuringABatchInputRun) {
  analysed();
  ScriptedDialog dialog;
  s.NSTEPS = 77;

  s.LSPEND = 1;
  EXPECT_FALSE(SELECT_SHAPE(s, dialog, 1));
  s.LSPEND = 0;
  s.RANK = 0;
  EXPECT_FALSE(SELECT_SHAPE(s, dialog, 1));
  s.RANK = d.rank;
  const std::vector<std::string> refusals = lines();
  ASSERT_EQ(refusals.size(), 2u);
  EXPECT_EQ(refusals[0],
            "    Select Shape needs a completed analysis: read a batch input file first.");

  // A run on another thread holds the state.
  std::mutex gate;
  std::condition_variable cv;
  bool held = false, release = false;
  std::thread run([&] {
    std::lock_guard hold(s.runMutex);
    std::unique_lock lk(gate);
    held = true;
    cv.notify_all();
    cv.wait(lk, [&] { return release; });
  });
  {
    std::unique_lock lk(gate);
    cv.wait(lk, [&] { return held; });
  }
  mark_ = reportCounters().linesWritten;
  EXPECT_FALSE(SELECT_SHAPE(s, dialog, 1));
  {
    std::lock_guard lk(gate);
    release = true;
  }
  cv.notify_all();
  run.join();
  EXPECT_EQ(lines(), std::vector<std::string>{
                         "    Select Shape must wait until the batch input run has finished."});
  EXPECT_EQ(dialog.runs, 0);
  EXPECT_EQ(s.NSTEPS, 77);
  EXPECT_EQ(s.CYQ.rows, 0);
  EXPECT_EQ(visualizeOffers_, 0);
  EXPECT_TRUE(fileText(s.files.SUMMFILE).empty());

  // Once the run is over the command goes through, and frees the state.
  EXPECT_TRUE(SELECT_SHAPE(s, dialog, 1));
  EXPECT_TRUE(s.runMutex.try_lock());
  s.runMutex.unlock();
}

TEST_F(SelectShape, ThreadCountLeavesBothFilesUnchanged) {
  analysed(6);
  std::string summ[2], trace[2];
  for (int i = 0; i < 2; ++i) {
    std::fclose(s.files.SUMMFILE);
    std::fclose(s.files.TRACEFILE);
    s.files.SUMMFILE = std::tmpfile();
    s.files.TRACEFILE = std::tmpfile();
    ScriptedDialog pick = choose(PathShape::kQShape, 1015, "-2");
    ASSERT_TRUE(SELECT_SHAPE(s, pick, i == 0 ? 1 : 2));
    summ[i] = fileText(s.files.SUMMFILE);
    trace[i] = fileText(s.files.TRACEFILE);
  }
  EXPECT_FALSE(trace[0].empty());
  EXPECT_EQ(summ[0], summ[1]);
  EXPECT_EQ(trace[0], trace[1]);
}

}  // namespace
}  // namespace tolvane
