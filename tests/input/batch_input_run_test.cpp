#include "input/batch_input_run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <tuple>

#include "support/input_test_support.hpp"

namespace tolvane {
namespace {

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// One batch input run on a text, in a scratch directory for the outputs.
// Single precision unless asked: these tests pin its results.
struct Batch {
  explicit Batch(Precision precision = Precision::kSingle) { s->precision = precision; }
  test::TempDir dir;
  std::unique_ptr<AnalysisState> s = std::make_unique<AnalysisState>();
  test::ScriptedDialogs dialogs;
  test::ReportLines report;
  BatchRunResult result;
  std::shared_ptr<bool> closed;

  BatchRunResult run(const std::string& text, const std::string& name = "HALD.AYQ") {
    test::TrackedFile f = test::trackedFile(text);
    closed = f.closed;
    result = runBatchInput(*s, {f.file, "/data/" + name, dir.path(), 1'000'000'000}, dialogs);
    return result;
  }
  std::string summary() const { return fileText(dir.file(s->files.SUMMNAME)); }
  void scale(int button) {
    dialogs.onScaling = [button](ScalingDialogModel& d) {
      d.clickButton(button);
      d.ok();
      return true;
    };
  }
};

std::string exampleText(const std::string& name) {
  return fileText(test::sourceFile("examples/" + name));
}

TEST(BatchInputRun, ReadsHaldAndEndsAnalysed) {
  Batch r;
  ASSERT_TRUE(r.run(test::kHaldRaw).completed()) << r.result.message;
  EXPECT_TRUE(*r.closed);
  EXPECT_EQ(r.s->INNAME, "HALD.AYQ");
  EXPECT_EQ(r.s->stage(), AnalysisStage::kAnalysed);
  EXPECT_EQ(r.s->LSPEND, 0);
  const std::vector<std::string> head(r.report.lines().begin(), r.report.lines().begin() + 20);
  EXPECT_EQ(head[0], "    ");
  EXPECT_EQ(head[1].rfind("    Date/Time Stamp : ", 0), 0u);
  EXPECT_EQ(std::vector<std::string>(head.begin() + 2, head.end()),
            (std::vector<std::string>{
                "    The Tolvane Batch Input file is HALD.AYQ",
                "    Number of Variables =   5.",
                "    Number of Observations =  13.",
                "    Column No. 1 Name = x1 ",
                "    Column No. 2 Name = x2 ",
                "    Column No. 3 Name = x3 ",
                "    Column No. 4 Name = x4 ",
                "    Column No. 5 Name = y ",
                "    ",
                "    Xvar No. 1 Name = x1 ",
                "    Xvar No. 2 Name = x2 ",
                "    Xvar No. 3 Name = x3 ",
                "    Xvar No. 4 Name = x4 ",
                "    Yvar Name = y ",
                "    First Observation Number = 1",
                "    Last  Observation Number = 13",
                "    P = number of predictors = 4",
                "    ",
            }));
  const std::string summary = r.summary();
  const std::string expectedStart =
      "The Tolvane Batch Input file is HALD.AYQ\n"
      "   5 = NVAR, Number of Variables (Columns)\n"
      "  13 = NOBS, Number of Observations (Rows)\n"
      "   5 = Response Variable Index\n"
      "Rescale (and center) variables.......Code=1\n"
      "Single precision: every stored number has 24 bits\n";
  EXPECT_EQ(summary.substr(summary.find('\n') + 1, expectedStart.size()), expectedStart);
  EXPECT_NE(summary.find("R-squared Statistic = 0.9824\n"), std::string::npos);
  EXPECT_NE(fileText(r.dir.file("HALD.myq")).find("LYQ = Likelihood Contour Ellipsoid...\n"),
            std::string::npos);
}

// Digits of agreement with a published value: -log10 of the relative error.
double digits(double estimate, double truth) {
  const double rel = std::fabs(estimate - truth) / std::fabs(truth);
  return rel == 0 ? 16 : -std::log10(rel);
}

TEST(BatchInputRun, HaldReExpressedGivesThePublishedCoefficients) {
  // Least squares on the Hald cement data (Draper and Smith). Single precision
  // carries 5 to 6 digits through the decomposition of the rescaled XMAT; the
  // smallest coefficient loses a little more to cancellation.
  const double truth[4] = {1.551103, 0.510168, 0.101909, -0.144061};
  Batch r;
  r.scale(kReExpress);
  ASSERT_TRUE(r.run(test::kHaldRaw).completed());
  ASSERT_EQ(r.s->BOLS.rows, 4);
  for (int i = 1; i <= 4; ++i) {
    EXPECT_GE(digits(r.s->BOLS.data[i], truth[i - 1]), 4.5) << i << ": " << r.s->BOLS.data[i];
  }
  EXPECT_GE(digits(r.s->RSQ, 0.982376), 5.0) << r.s->RSQ;
  EXPECT_NEAR(r.s->BOLS.data[1], 1.5511, 5e-5);
  EXPECT_NEAR(r.s->BOLS.data[2], 0.5102, 5e-5);
  EXPECT_NEAR(r.s->BOLS.data[3], 0.1019, 5e-5);
  EXPECT_NEAR(r.s->BOLS.data[4], -0.1441, 5e-5);
  EXPECT_NEAR(r.s->RSQ, 0.9824, 5e-5);
}

TEST(BatchInputRun, HaldInDoublePrecisionGivesEveryPublishedDigit) {
  // The published values carry 6 or 7 digits; double precision must match
  // them to half a unit of their last digit.
  const double truth[4] = {1.551103, 0.510168, 0.101909, -0.144061};
  Batch r(Precision::kDouble);
  r.scale(kReExpress);
  ASSERT_TRUE(r.run(test::kHaldRaw).completed());
  ASSERT_EQ(r.s->BOLS.rows, 4);
  for (int i = 1; i <= 4; ++i)
    EXPECT_NEAR(r.s->BOLS.data[i], truth[i - 1], 5e-7) << i;
  EXPECT_NEAR(r.s->RSQ, 0.982376, 5e-7);
  EXPECT_NE(r.summary().find("Double precision: every stored number has 53 bits\n"),
            std::string::npos);
}

// Results of the raw form and of the cross-product form of one data set agree
// to what single precision carries. Forming the centred cross-products in
// single precision perturbs them by about FLT_EPSILON relative; coefficients
// and their t-statistics move by up to the condition number of XPX times that
// (Hald's is about 1400), so they are compared within 10 times that bound on
// the scale of the largest value. The residual variance of the sums comes from
// 1 - R-squared, which loses digits as R-squared nears 1: it, and through it
// the t-statistics, get 10 FLT_EPSILON / (1 - R-squared) more. Correlations,
// singular values and R-squared suffer neither and are compared within 1e-4. The role
// dialog sorts raw-data predictors by name, so predictors are matched by
// their column.
int predictorOfColumn(const AnalysisState& s, int column) {
  for (int k = 1; k <= s.P; ++k) {
    if (s.XCOL[k] == column) return k;
  }
  return 0;
}

void expectSameAnalysis(const AnalysisState& raw, const AnalysisState& xpx, const char* what) {
  ASSERT_EQ(raw.P, xpx.P) << what;
  ASSERT_EQ(raw.RANK, raw.P) << what;
  EXPECT_EQ(raw.RANK, xpx.RANK) << what;
  const double ratio = double{raw.SVAL.data[1]} / raw.SVAL.data[raw.P];
  const double coefficientTolerance = 10 * ratio * ratio * FLT_EPSILON;
  const double varianceTolerance = 10 * FLT_EPSILON / (1.0 - raw.RSQ);
  EXPECT_NEAR(raw.RSQ, xpx.RSQ, 1e-4) << what;
  EXPECT_NEAR(raw.S2OLS, xpx.S2OLS, varianceTolerance * raw.S2OLS) << what;
  for (const auto& [a, b, name, tolerance] :
       {std::tuple{&raw.BOLS, &xpx.BOLS, "BOLS", coefficientTolerance},
        std::tuple{&raw.OLSTSTAT, &xpx.OLSTSTAT, "OLSTSTAT",
                   coefficientTolerance + varianceTolerance},
        std::tuple{&raw.SVAL, &xpx.SVAL, "SVAL", 1e-4},
        std::tuple{&raw.MCOR, &xpx.MCOR, "MCOR", 1e-4}}) {
    ASSERT_EQ(a->rows, raw.P) << what << " " << name;
    ASSERT_EQ(b->rows, raw.P) << what << " " << name;
    double scale = 0;
    for (int i = 1; i <= raw.P; ++i)
      scale = std::max(scale, std::fabs(double{a->data[i]}));
    for (int i = 1; i <= raw.P; ++i) {
      // Singular values belong to axes, not to predictors.
      const bool perPredictor = a != &raw.SVAL;
      const int k = perPredictor ? predictorOfColumn(xpx, raw.XCOL[i]) : i;
      ASSERT_GE(k, 1) << what << " " << raw.XNAME[i];
      EXPECT_NEAR(a->data[i], b->data[k], tolerance * scale)
          << what << " " << name << " " << raw.XNAME[i];
    }
  }
}

TEST(BatchInputRun, CrossProductsGiveTheSameLeastSquaresAsRawData) {
  for (int button : {kCenterOnly, kCenterRescale, kReExpress}) {
    Batch raw, xpx;
    raw.scale(button);
    xpx.scale(button);
    ASSERT_TRUE(raw.run(test::kHaldRaw).completed());
    ASSERT_TRUE(xpx.run(test::crossProducts(test::kHaldRaw)).completed()) << xpx.result.message;
    expectSameAnalysis(*raw.s, *xpx.s, "Hald");
  }
  // Twelve predictors: two blocks of columns, names continued with NEXTLINE;
  // the sums are computed here from the values read.
  Batch raw, xpx;
  ASSERT_TRUE(raw.run(exampleText("plant.ayq"), "plant.ayq").completed()) << raw.result.message;
  std::vector<std::string> names;
  for (int c = 1; c <= raw.s->NVAR; ++c)
    names.push_back(raw.s->VNAME[c]);
  std::vector<std::vector<double>> rows;
  for (int i = 1; i <= raw.s->NOBS; ++i) {
    rows.emplace_back();
    for (int c = 1; c <= raw.s->NVAR; ++c)
      rows.back().push_back(raw.s->DATA.data[i][c]);
  }
  ASSERT_TRUE(xpx.run(test::crossProducts(names, rows), "plant_xpx.ayq").completed());
  expectSameAnalysis(*raw.s, *xpx.s, "plant");
}

TEST(BatchInputRun, TheExamplesRunToTheEnd) {
  for (const char* name : {"hald.ayq", "hald_xpx.ayq", "plant.ayq", "plant_xpx.ayq"}) {
    Batch r;
    EXPECT_TRUE(r.run(exampleText(name), name).completed()) << name << ": " << r.result.message;
    EXPECT_EQ(r.s->stage(), AnalysisStage::kAnalysed) << name;
  }
  Batch plant;
  ASSERT_TRUE(plant.run(exampleText("plant.ayq"), "plant.ayq").completed());
  EXPECT_EQ(plant.s->NVAR, 13);
  EXPECT_EQ(plant.s->VNAME[6], "conc");
  EXPECT_EQ(plant.s->VNAME[13], "yield");
  // The exact sums of the example agree with the raw example.
  Batch sums;
  ASSERT_TRUE(sums.run(exampleText("plant_xpx.ayq"), "plant_xpx.ayq").completed());
  expectSameAnalysis(*plant.s, *sums.s, "plant example files");
}

// The invariants a finished analysis leaves for the path commands.
void expectInvariants(const AnalysisState& s, const std::string& what) {
  SCOPED_TRACE(what);
  EXPECT_EQ(s.stage(), AnalysisStage::kAnalysed);
  EXPECT_GE(s.P, 1);
  EXPECT_LE(s.P, s.NVAR - 1);
  EXPECT_LE(s.NVAR - 1, 49);
  if (s.NVAR >= 3) {
    EXPECT_GE(s.P, 2);
  }
  if (s.XPXFORM == 1) {
    EXPECT_EQ(s.P, s.NVAR - 1);
  }
  EXPECT_GE(s.RANK, 1);
  EXPECT_LE(s.RANK, s.P);
  for (int i = 1; i <= s.P; ++i) {
    if (i <= s.RANK) {
      EXPECT_GT(s.SVAL.data[i], s.EPS);
      if (i > 1) {
        EXPECT_LE(s.SVAL.data[i], s.SVAL.data[i - 1]);
      }
    } else {
      EXPECT_EQ(s.SVAL.data[i], 0.0f);
    }
  }
  if (s.XPXFORM == 0) {
    EXPECT_EQ(s.N, s.N2 - s.N1 + 1);
    EXPECT_GE(s.N, std::min<std::int64_t>(s.NOBS, s.P + 5));
    ASSERT_EQ(s.XMAT.rows, s.N);
    ASSERT_EQ(s.XMAT.cols, s.P);
    for (int i = 1; i <= s.P; ++i) {
      double sum = 0, size = 0;
      for (int j = 1; j <= s.N; ++j) {
        sum += s.XMAT.data[j][i];
        size += std::fabs(s.XMAT.data[j][i]);
      }
      EXPECT_LE(std::fabs(sum), 1e-5 * size) << "column " << i;
    }
  } else {
    EXPECT_EQ(s.N, s.NOBS);
  }
  std::vector<int> columns{s.YCOL};
  EXPECT_EQ(s.VROLE[s.YCOL], 'R');
  for (int i = 1; i <= s.P; ++i) {
    EXPECT_EQ(s.VROLE[s.XCOL[i]], 'P');
    columns.push_back(s.XCOL[i]);
  }
  std::sort(columns.begin(), columns.end());
  EXPECT_EQ(std::adjacent_find(columns.begin(), columns.end()), columns.end());
}

TEST(BatchInputRun, AFinishedAnalysisKeepsTheStateInvariants) {
  Batch hald;
  hald.dialogs.onRoles = [](RoleDialogModel& d) {
    d.select(RoleDialogModel::List::kPredictors, 2);
    d.moveRight();
    d.moveLeft();  // x2 becomes the response, y a predictor
    d.ok();
    return true;
  };
  hald.dialogs.onScaling = [](ScalingDialogModel& d) {
    d.setFirstText("3");
    d.ok();
    return true;
  };
  ASSERT_TRUE(hald.run(test::kHaldRaw).completed()) << hald.result.message;
  EXPECT_EQ(hald.s->YNAME, "x2");
  EXPECT_EQ(hald.s->P, 3);
  expectInvariants(*hald.s, "Hald with x2 as response");
  for (const char* name : {"hald_xpx.ayq", "plant.ayq"}) {
    Batch r;
    ASSERT_TRUE(r.run(exampleText(name), name).completed());
    expectInvariants(*r.s, name);
  }
}

TEST(BatchInputRun, ACancelledRunLeavesThePreviousAnalysisAsItWas) {
  // Cancelling once left an emptied state behind: the menus still offered
  // Select Shape and the traces of an analysis that was gone.
  for (int where = 0; where < 3; ++where) {
    Batch r;
    ASSERT_TRUE(r.run(test::kHaldRaw).completed()) << r.result.message;
    const auto coefficients = [&r] {
      std::vector<double> b;
      for (int i = 1; i <= r.s->BOLS.rows; ++i)
        b.push_back(r.s->BOLS.data[i]);
      return b;
    };
    const std::vector<double> before = coefficients();
    const std::string name = r.s->INNAME;
    const int p = r.s->P;
    r.dialogs.onFileName = [where](FileNameDialogModel& d) {
      if (where == 0) {
        d.cancel();
      } else {
        EXPECT_TRUE(d.ok());
      }
      return true;
    };
    r.dialogs.onRoles = [where](RoleDialogModel& d) {
      d.moveRight();
      where == 1 ? d.closeBox() : d.ok();
      return true;
    };
    r.dialogs.onScaling = [](ScalingDialogModel& d) {
      d.escape();
      return true;
    };
    EXPECT_EQ(r.run("3\n9\nA B Y\n1 2 3\n2 3 5\n3 1 4\n4 4 9\n5 2 6\n6 5 8\n7 1 9\n8 3 8\n9 2 11\n",
                    "OTHER.AYQ")
                  .code,
              StatusCode::kCancelled)
        << where;
    EXPECT_EQ(r.s->stage(), AnalysisStage::kAnalysed) << where;
    EXPECT_EQ(r.s->INNAME, name) << where;
    EXPECT_EQ(r.s->P, p) << where;
    EXPECT_EQ(coefficients(), before) << where;
    EXPECT_FALSE(r.s->files.summOpen()) << where;
  }
}

TEST(BatchInputRun, EveryEndingClosesTheInputFile) {
  Batch completed;
  completed.run(test::kHaldRaw);
  EXPECT_TRUE(*completed.closed);

  Batch cancelled;
  cancelled.dialogs.onFileName = [](FileNameDialogModel& d) {
    d.cancel();
    return true;
  };
  EXPECT_EQ(cancelled.run(test::kHaldRaw).code, StatusCode::kCancelled);
  EXPECT_TRUE(*cancelled.closed);
  EXPECT_FALSE(cancelled.s->files.summOpen());

  Batch aborted;
  aborted.dir.write("HALD.syq", "x");
  aborted.dialogs.onFilesExist = [](FilesExistDialogModel& d) {
    d.click(FilesExistDialogModel::kAbort);
    d.ok();
    return true;
  };
  EXPECT_EQ(aborted.run(test::kHaldRaw).code, StatusCode::kCancelled);
  EXPECT_TRUE(*aborted.closed);

  Batch unopenable;
  std::filesystem::create_directory(unopenable.dir.file("HALD.syq"));
  unopenable.dialogs.onFilesExist = [](FilesExistDialogModel& d) {
    d.click(FilesExistDialogModel::kOverwrite);
    d.ok();
    return true;
  };
  EXPECT_EQ(unopenable.run(test::kHaldRaw).code, StatusCode::kStopped);
  EXPECT_TRUE(*unopenable.closed);

  Batch bad;
  EXPECT_EQ(bad.run("5\n13\nx1 x2\n").code, StatusCode::kStopped);
  EXPECT_TRUE(*bad.closed);

  Batch abandoned;
  abandoned.dialogs.onRoles = [](RoleDialogModel&) { return false; };
  EXPECT_EQ(abandoned.run(test::kHaldRaw).code, StatusCode::kStopped);
  EXPECT_TRUE(*abandoned.closed);
}

// A run that stops while reading leaves the files of the run before it
// exactly as they were, whether it was to overwrite them or append to them.
TEST(BatchInputRun, BadInputLeavesNoAnalysisAndTheEarlierFilesAsTheyWere) {
  const std::string text = "5\n13\nx1 x2 x3 x4 y\n7 26 6 60 78.5\n1 29 15 52\n";
  for (int choice : {FilesExistDialogModel::kOverwrite, FilesExistDialogModel::kAppend}) {
    Batch r;
    ASSERT_TRUE(r.run(test::kHaldRaw).completed());
    r.s->files.closeBoth();
    const std::string good = r.summary();
    const std::string goodTrace = fileText(r.dir.file("HALD.myq"));
    ASSERT_NE(good.find("Singular Values..."), std::string::npos) << good;
    r.dialogs.onFilesExist = [choice](FilesExistDialogModel& d) {
      d.click(choice);
      d.ok();
      return true;
    };
    EXPECT_EQ(r.run(text).code, StatusCode::kStopped);
    EXPECT_EQ(r.result.message,
              "HALD.AYQ line 5: expected 5 numbers (observation 2 of 13), found 4.");
    EXPECT_EQ(r.report.lines().back(), "    " + r.result.message);
    EXPECT_EQ(r.s->stage(), AnalysisStage::kEmpty);
    EXPECT_FALSE(r.s->DATA.exists());
    EXPECT_FALSE(r.s->BOLS.exists());
    EXPECT_FALSE(r.s->files.summOpen());
    EXPECT_EQ(fileText(r.dir.file("HALD.syq")), good) << choice;
    EXPECT_EQ(fileText(r.dir.file("HALD.myq")), goodTrace) << choice;
    // No temporary is left beside them.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(r.dir.path()))
      ++files;
    EXPECT_EQ(files, 2);
  }
}

// Past reading, the new files replace the old ones.
TEST(BatchInputRun, ARunPastReadingPutsItsFilesInPlace) {
  Batch r;
  ASSERT_TRUE(r.run(test::kHaldRaw).completed());
  r.s->files.closeBoth();
  r.dialogs.onFilesExist = [](FilesExistDialogModel& d) {
    d.click(FilesExistDialogModel::kOverwrite);
    d.ok();
    return true;
  };
  r.dialogs.onScaling = [](ScalingDialogModel& d) {
    d.clickButton(kCenterOnly);
    d.ok();
    return true;
  };
  ASSERT_TRUE(r.run(test::kHaldRaw).completed());
  r.s->files.closeBoth();
  EXPECT_NE(r.summary().find("Center Only (Mean at 0)"), std::string::npos);
}

TEST(BatchInputRun, ASecondRunEmptiesThePathResultsOfTheFirst) {
  Batch r;
  ASSERT_TRUE(r.run(test::kHaldRaw).completed());
  // What Select Shape would have left.
  r.s->NSTEPS = 33;
  MYQCONST(&r.s->CYQ, 33, 4, 1.0);
  MYQCONST(&r.s->DYQ, 33, 4, 1.0);
  EXPECT_EQ(r.s->stage(), AnalysisStage::kPathChosen);
  r.dialogs.onFilesExist = [](FilesExistDialogModel& d) {
    d.click(FilesExistDialogModel::kAppend);
    d.ok();
    return true;
  };
  ASSERT_TRUE(r.run(test::kHaldRaw).completed());
  EXPECT_EQ(r.s->CYQ.rows, 0);
  EXPECT_EQ(r.s->DYQ.rows, 0);
  EXPECT_EQ(r.s->stage(), AnalysisStage::kAnalysed);
  // Appended: two stamps in one summary file.
  const std::string summary = r.summary();
  EXPECT_NE(summary.find("Date/Time Stamp", summary.find("Date/Time Stamp") + 1),
            std::string::npos);
}

TEST(BatchInputRun, ScalingChoicesCarryOverButTheLastObservationDoesNot) {
  Batch r;
  r.dialogs.onScaling = [](ScalingDialogModel& d) {
    d.clickButton(kCenterOnly);
    d.setFirstText("2");
    d.setLastText("12");
    d.ok();
    return true;
  };
  ASSERT_TRUE(r.run(test::kHaldRaw).completed());
  EXPECT_EQ(r.s->N1, 2);
  EXPECT_EQ(r.s->N2, 12);
  r.dialogs.onFilesExist = [](FilesExistDialogModel& d) {
    d.click(FilesExistDialogModel::kOverwrite);
    d.ok();
    return true;
  };
  r.dialogs.onScaling = [](ScalingDialogModel& d) {
    EXPECT_EQ(d.button(), kCenterOnly);
    EXPECT_EQ(d.firstText(), "2");
    EXPECT_EQ(d.lastText(), "13");
    d.ok();
    return true;
  };
  ASSERT_TRUE(r.run(test::kHaldRaw).completed());
  EXPECT_EQ(r.s->SCALECODE, 0);
  EXPECT_EQ(r.s->N1, 2);
  EXPECT_EQ(r.s->N2, 13);
}

TEST(BatchInputRun, OnlyOneRunAtATime) {
  Batch r;
  r.s->NVAR = 7;  // something a second run must not touch
  std::unique_lock held(r.s->runMutex);
  EXPECT_TRUE(std::async(std::launch::async, [&r] { return r.s->runInProgress(); }).get());
  std::thread other([&r] { r.run(test::kHaldRaw); });
  other.join();
  EXPECT_EQ(r.result.code, StatusCode::kBusy);
  EXPECT_EQ(r.report.lines(),
            std::vector<std::string>{
                "    A batch input is already running; wait until it has finished."});
  EXPECT_TRUE(*r.closed);
  EXPECT_EQ(r.s->NVAR, 7);
  EXPECT_EQ(r.dialogs.fileNameCalls, 0);
  // A front end that holds the lock itself runs through the other entry.
  test::TrackedFile f = test::trackedFile(test::kHaldRaw);
  EXPECT_TRUE(
      runBatchInputHoldingLock(*r.s, {f.file, "HALD.AYQ", r.dir.path(), 0}, r.dialogs).completed());
  EXPECT_TRUE(*f.closed);
  held.unlock();
  EXPECT_FALSE(r.s->runInProgress());
  EXPECT_TRUE(r.run(test::kHaldRaw).completed());
}

TEST(BatchInputRun, ARunWithoutAnOpenFileStopsAtOnce) {
  AnalysisState s;
  test::ScriptedDialogs dialogs;
  test::ReportLines report;
  const BatchRunResult r = runBatchInput(s, {nullptr, "gone.ayq", "", 0}, dialogs);
  EXPECT_EQ(r.code, StatusCode::kStopped);
  EXPECT_EQ(r.message, "The batch input file gone.ayq is not open. Batch input stopped.");
  EXPECT_EQ(dialogs.fileNameCalls, 0);
}

}  // namespace
}  // namespace tolvane
