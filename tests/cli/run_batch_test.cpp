#include "cli/run_batch.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "report/report.hpp"
#include "support/file_size_limit.hpp"
#include "support/input_test_support.hpp"

namespace tolvane {
namespace {

// tolvane-batch run on a file, with its output files in a scratch directory.
struct Cli {
  test::TempDir dir;
  std::unique_ptr<AnalysisState> state = std::make_unique<AnalysisState>();
  BatchOptions options;
  std::string out, err;
  int status = -1;

  explicit Cli(const std::string& input) {
    options.input = input;
    options.out = dir.file("run");
  }
  int run() {
    std::ostringstream o, e;
    const int before = reportCounters().linesWritten;
    status = runBatch(options, *state, o, e);
    out = o.str();
    err = e.str();
    linesAppended = reportCounters().linesWritten - before;
    return status;
  }
  int printedLines() const { return static_cast<int>(std::count(out.begin(), out.end(), '\n')); }
  std::string summary() const { return dir.read("run.syq"); }
  int linesAppended = 0;
};

std::string example(const char* name) {
  return test::sourceFile(std::string("examples/") + name);
}

TEST(RunBatch, HaldCompletesAndPrintsTheWholeReport) {
  Cli c(example("hald.ayq"));
  EXPECT_EQ(c.run(), kExitCompleted) << c.err;
  EXPECT_EQ(c.printedLines(), c.linesAppended);
  EXPECT_EQ(c.out.rfind("    \n    Date/Time Stamp : ", 0), 0u) << c.out.substr(0, 200);
  EXPECT_NE(c.out.find("    The Tolvane Batch Input file is hald.AYQ\n"), std::string::npos);
  EXPECT_NE(c.out.find("    R-squared Statistic = 0.9824\n"), std::string::npos);
  EXPECT_NE(c.out.find("    When ready, use the SELECT SHAPE item on the PATH Menu...\n"),
            std::string::npos);
  // The default path (Q-shape, Q 0.0, four steps) follows the analysis.
  EXPECT_EQ(
      c.err,
      "tolvane-batch: summary in " + c.dir.file("run.syq") + ", trace matrices in " +
          c.dir.file("run.myq") +
          "\ntolvane-batch: path 1 (q) traced in 17 steps; extent MCAL = 1.75 (CLIK minimum)\n");
  EXPECT_NE(c.summary().find("R-squared Statistic = 0.9824\n"), std::string::npos);
  EXPECT_TRUE(c.dir.has("run.myq"));
  EXPECT_FALSE(c.state->files.summOpen());  // closed at the end
  EXPECT_EQ(c.state->stage(), AnalysisStage::kPathChosen);
}

// Sums of cross-products over more rows than an int counts: the count was
// read clamped to 2147483647 and least squares then refused the model.
TEST(RunBatch, SumsOverBillionsOfRowsRunWithTheirWholeCount) {
  test::TempDir dir;
  std::ifstream in(example("hald_xpx.ayq"), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t second = text.find('\n') + 1;
  text.replace(second, text.find('\n', second) - second, "-3000000000");
  dir.write("big.ayq", text);
  Cli c(dir.file("big.ayq"));
  ASSERT_EQ(c.run(), kExitCompleted) << c.err << c.out;
  const std::string summary = c.summary();
  EXPECT_NE(summary.find("3000000000 = NOBS, Number of Observations (Rows)\n"), std::string::npos);
  EXPECT_NE(summary.find("3000000000 = N, number of observations\n"), std::string::npos);
  EXPECT_NE(summary.find("  N = 3000000000\n"), std::string::npos) << summary;
  // The report's 80-character lines go on in the next line, not cut.
  EXPECT_NE(c.out.find("  N =\n    3000000000\n"), std::string::npos) << c.out;
}

TEST(RunBatch, ReExpressionGivesCoefficientsOnTheGivenScale) {
  Cli c(example("hald.ayq"));
  c.options.scale = kReExpress;
  ASSERT_EQ(c.run(), kExitCompleted) << c.err;
  EXPECT_NEAR(c.state->BOLS.data[1], 1.5511, 5e-5);
  EXPECT_NEAR(c.state->BOLS.data[4], -0.1441, 5e-5);
  EXPECT_NE(c.summary().find("Rescale but Express on given scale...Code=2\n"), std::string::npos);
}

TEST(RunBatch, ExistingFilesAbortByDefaultAndAreOtherwiseOverwrittenOrAppended) {
  Cli c(example("hald.ayq"));
  c.dir.write("run.syq", "keep me\n");
  EXPECT_EQ(c.run(), kExitFilesExist);
  EXPECT_EQ(c.dir.read("run.syq"), "keep me\n");
  EXPECT_FALSE(c.dir.has("run.myq"));
  EXPECT_EQ(c.out, "");
  EXPECT_NE(c.err.find("run.syq already exists; nothing was written."), std::string::npos) << c.err;

  c.options.ifExists = IfExists::kAppend;
  EXPECT_EQ(c.run(), kExitCompleted);
  EXPECT_EQ(c.summary().rfind("keep me\nDate/Time Stamp : ", 0), 0u);

  c.options.ifExists = IfExists::kOverwrite;
  EXPECT_EQ(c.run(), kExitCompleted);
  EXPECT_EQ(c.summary().rfind("Date/Time Stamp : ", 0), 0u);
  EXPECT_EQ(c.summary().find("keep me"), std::string::npos);

  // Both files there now: the sentence names both, in the plural.
  c.options.ifExists = IfExists::kAbort;
  EXPECT_EQ(c.run(), kExitFilesExist);
  EXPECT_NE(c.err.find("run.syq and "), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("run.myq already exist; nothing was written."), std::string::npos) << c.err;
}

TEST(RunBatch, DefaultOutputNameIsTheInputsBaseNameInTheCurrentDirectory) {
  test::TempDir dir;
  dir.write("MY DATA.ayq", test::kHaldRaw);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  Cli c(dir.file("MY DATA.ayq"));
  c.options.out.clear();
  const int status = c.run();
  std::filesystem::current_path(previous);
  EXPECT_EQ(status, kExitCompleted) << c.err;
  EXPECT_TRUE(dir.has("MY.syq"));
  EXPECT_TRUE(dir.has("MY.myq"));
}

TEST(RunBatch, RoleOptionsChooseResponseAndPredictors) {
  Cli response(example("hald.ayq"));
  response.options.response = "x4";
  ASSERT_EQ(response.run(), kExitCompleted) << response.err;
  EXPECT_EQ(response.state->YCOL, 4);
  EXPECT_EQ(response.state->YNAME, "x4");
  EXPECT_EQ(response.state->XNAME[4], "y");

  Cli predictors(example("hald.ayq"));
  predictors.options.predictors = {"x2", "x1"};
  ASSERT_EQ(predictors.run(), kExitCompleted) << predictors.err;
  EXPECT_EQ(predictors.state->P, 2);
  EXPECT_EQ(std::string(predictors.state->VROLE.begin() + 1, predictors.state->VROLE.begin() + 6),
            "PPIIR");
  // Hald's two-variable model: y = 52.58 + 1.468 x1 + 0.662 x2, R-squared 0.979.
  EXPECT_NEAR(predictors.state->RSQ, 0.9787, 1e-4);

  Cli leaveOut(example("plant.ayq"));
  leaveOut.options.leaveOut = {"stir", "time", "stir"};
  leaveOut.options.response = "purity";
  ASSERT_EQ(leaveOut.run(), kExitCompleted) << leaveOut.err;
  EXPECT_EQ(leaveOut.state->P, 10);
  EXPECT_EQ(leaveOut.state->YNAME, "purity");
  EXPECT_EQ(leaveOut.state->VROLE[7], 'I');
  EXPECT_EQ(leaveOut.state->VROLE[13], 'P');  // yield became a predictor
}

TEST(RunBatch, RoleOptionsThatDoNotFitTheDataAreUsageErrors) {
  struct Case {
    std::string file;
    std::function<void(BatchOptions&)> set;
    std::string message;
  } cases[] = {
      {"hald.ayq", [](BatchOptions& o) { o.response = "z"; },
       "--response: no column is named z (columns: x1, x2, x3, x4 and y)."},
      {"hald.ayq",
       [](BatchOptions& o) {
         o.predictors = {"x1", "q"};
       },
       "--predictors: no column is named q (columns: x1, x2, x3, x4 and y)."},
      {"hald.ayq",
       [](BatchOptions& o) {
         o.predictors = {"x1", "y"};
       },
       "--predictors: y is the response."},
      {"hald.ayq", [](BatchOptions& o) { o.predictors = {"x1"}; },
       "--predictors: at least 2 predictors must remain."},
      {"hald.ayq",
       [](BatchOptions& o) {
         o.leaveOut = {"x1", "x2", "x3"};
       },
       "--leave-out: at least 2 predictors must remain."},
      {"hald_xpx.ayq", [](BatchOptions& o) { o.response = "x1"; },
       "--response, --predictors and --leave-out apply to raw data and delimited text only; in "
       "a cross-product batch file the last column is the response."},
  };
  for (const Case& k : cases) {
    Cli c(example(k.file.c_str()));
    k.set(c.options);
    EXPECT_EQ(c.run(), kExitUsage) << k.message;
    EXPECT_EQ(c.err, "tolvane-batch: " + k.message + "\n");
    EXPECT_EQ(c.state->stage(), AnalysisStage::kEmpty);
  }
}

TEST(RunBatch, ObservationRangeComesFromFirstAndLast) {
  Cli c(example("hald.ayq"));
  c.options.first = 2;
  c.options.last = 12;
  ASSERT_EQ(c.run(), kExitCompleted) << c.err;
  EXPECT_EQ(c.state->N1, 2);
  EXPECT_EQ(c.state->N2, 12);
  EXPECT_NE(c.out.find("    Last  Observation Number = 12\n"), std::string::npos);
}

// The bundled data set of the largest size the program takes runs to the end
// at full rank, with a trace of 49 columns.
TEST(RunBatch, TheLargestExampleRunsAtFullRank) {
  Cli c(example("wide.ayq"));
  c.options.path.steps = 1;
  ASSERT_EQ(c.run(), kExitCompleted) << c.err;
  EXPECT_EQ(c.state->P, 49);
  EXPECT_EQ(c.state->N, 200);
  EXPECT_EQ(c.state->RANK, 49);
  EXPECT_EQ(c.state->NSTEPS, 50);
  EXPECT_EQ(c.state->CYQ.rows, 50);
  EXPECT_EQ(c.state->CYQ.cols, 49);
  EXPECT_EQ(c.state->XNAME[49], "x49");
  EXPECT_EQ(c.out.find("YQ run-time error"), std::string::npos);
}

TEST(RunBatch, BadInputExitsWithOneAndTheReportSaysWhere) {
  test::TempDir dir;
  dir.write("bad.ayq", "3\n6\nA B C\n1 2 3\n4 5\n");
  Cli c(dir.file("bad.ayq"));
  EXPECT_EQ(c.run(), kExitStopped);
  const std::string reason = "bad.ayq line 5: expected 3 numbers (observation 2 of 6), found 2.";
  EXPECT_NE(c.out.find("    " + reason + "\n"), std::string::npos) << c.out;
  EXPECT_EQ(c.err, "tolvane-batch: " + reason + "\n");
  EXPECT_FALSE(dir.has("bad.syq"));  // a run that stops while reading makes no files
  EXPECT_FALSE(dir.has("bad.myq"));

  Cli missing(dir.file("none.ayq"));
  EXPECT_EQ(missing.run(), kExitStopped);
  EXPECT_EQ(missing.err,
            "tolvane-batch: cannot open " + dir.file("none.ayq") + ": No such file or directory\n");

  // A folder is refused before any output file is made from its name.
  std::filesystem::create_directory(dir.file("folder.ayq"));
  Cli folder(dir.file("folder.ayq"));
  folder.options.out = dir.file("folder-run");
  EXPECT_EQ(folder.run(), kExitStopped);
  EXPECT_EQ(folder.err,
            "tolvane-batch: cannot open " + dir.file("folder.ayq") + ": Is a directory\n");
  EXPECT_FALSE(dir.has("folder-run.syq"));
  EXPECT_FALSE(dir.has("folder-run.myq"));
}

TEST(RunBatch, AnUnopenableOutputFileExitsWithOne) {
  Cli c(example("hald.ayq"));
  c.options.out = c.dir.file("missing/dir/run");
  EXPECT_EQ(c.run(), kExitStopped);
  EXPECT_EQ(c.err, "tolvane-batch: Cannot open " + c.dir.file("missing/dir/run.syq") +
                       ": No such file or directory.\n");
}

// A disk that fills during the run (here a limit on the size of any file the
// process writes, which fails writes as a full disk does): exit status 1, the
// file and the system's reason on standard error, no truncated file left.
TEST(RunBatch, AFullDiskFailsTheRunAndLeavesNoTruncatedFile) {
  for (const char* ifExists : {"overwrite", "append"}) {
    Cli c(example("plant.ayq"));
    c.dir.write("run.syq", "earlier summary\n");
    c.options.ifExists =
        ifExists == std::string("append") ? IfExists::kAppend : IfExists::kOverwrite;
    c.options.path.steps = 8;
    {
      test::FileSizeLimit limit(12 * 1024);
      EXPECT_EQ(c.run(), kExitStopped) << ifExists;
    }
    SCOPED_TRACE(c.err);
    EXPECT_NE(c.err.find("cannot write " + c.dir.file("run.syq") + ": File too large"),
              std::string::npos);
    EXPECT_EQ(c.err.find("traced in"), std::string::npos);  // no success was claimed
    // Appended: cut back to what it held; overwritten: the new file is gone.
    if (std::string(ifExists) == "append") {
      EXPECT_EQ(c.dir.read("run.syq"), "earlier summary\n");
    } else {
      EXPECT_FALSE(c.dir.has("run.syq"));
    }
    EXPECT_FALSE(c.dir.has("run.myq"));
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(c.dir.path()))
      ++entries;
    EXPECT_EQ(entries, std::string(ifExists) == "append" ? 1 : 0);
  }
}

}  // namespace
}  // namespace tolvane
