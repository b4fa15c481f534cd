#include "cli/path_options.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch_options.hpp"
#include "cli/run_batch.hpp"
#include "cli/trace_csv.hpp"
#include "support/file_size_limit.hpp"
#include "support/input_test_support.hpp"

namespace tolvane {
namespace {

struct Parsed {
  std::optional<BatchOptions> options;
  int exitCode = -1;
  std::string err;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "tolvane-batch");
  std::ostringstream out, err;
  Parsed p;
  p.options = parseBatchOptions(static_cast<int>(args.size()), args.data(), out, err, &p.exitCode);
  p.err = err.str();
  return p;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    out.push_back(l);
  return out;
}

std::vector<std::string> cells(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string c; std::getline(in, c, ',');)
    out.push_back(c);
  return out;
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

TEST(PathOptions, DefaultsAreThoseOfTheDialogsFirstUse) {
  const Parsed p = parse({"data.ayq"});
  ASSERT_TRUE(p.options);
  EXPECT_EQ(p.options->path.shape, "q");
  EXPECT_EQ(p.options->path.qText, "0.0");
  EXPECT_EQ(p.options->path.steps, 4);
  EXPECT_TRUE(p.options->path.paths.empty());
  EXPECT_TRUE(p.options->path.tracesCsv.empty());
}

TEST(PathOptions, EveryOptionIsReadAndPathsKeepTheirOrder) {
  const Parsed p =
      parse({"--shape", "LASSO", "--q", "-1.5", "--steps", "8", "--path", "q=0.5:4", "--path",
             "garrote", "data.ayq", "--path", "Crosr:1", "--traces-csv", "out/csv"});
  ASSERT_TRUE(p.options) << p.err;
  EXPECT_EQ(p.options->input, "data.ayq");  // not taken for a choice
  EXPECT_EQ(p.options->path.shape, "LASSO");
  EXPECT_EQ(p.options->path.qText, "-1.5");
  EXPECT_EQ(p.options->path.steps, 8);
  EXPECT_EQ(p.options->path.paths, (std::vector<std::string>{"q=0.5:4", "garrote", "Crosr:1"}));
  EXPECT_EQ(p.options->path.tracesCsv, "out/csv");
}

TEST(PathOptions, BadValuesAreUsageErrors) {
  for (const std::vector<const char*>& args : {std::vector<const char*>{"--steps", "3", "d.ayq"},
                                               {"--steps", "1013", "d.ayq"},
                                               {"--shape", "ridge", "d.ayq"},
                                               {"--shape", "1003", "d.ayq"},
                                               {"--q", "abc", "d.ayq"},
                                               {"--q", "inf", "d.ayq"},
                                               {"--q", "", "d.ayq"},
                                               {"--path", "garrote=1", "d.ayq"},
                                               {"--path", "q:2", "d.ayq"},
                                               {"--path", "q=x", "d.ayq"},
                                               {"--path", "", "d.ayq"}}) {
    const Parsed p = parse(args);
    EXPECT_FALSE(p.options) << args[0] << " " << args[1];
    EXPECT_EQ(p.exitCode, kExitUsage) << args[0] << " " << args[1];
    EXPECT_NE(p.err.find(args[0]), std::string::npos) << p.err;
  }
}

// Every word the name table gives a shape reaches that shape through both
// options; other words are refused with the words to use.
TEST(PathOptions, EveryWordOfTheNameTableIsTakenAndNoOther) {
  for (const PathShapeNames& n : kPathShapes) {
    for (const char* word : {n.word, n.alias}) {
      if (word == nullptr) continue;
      EXPECT_TRUE(parse({"--shape", word, "d.ayq"}).options) << word;
      std::string why;
      const std::optional<PathChoice> c = parsePathChoice(std::string(word) + ":8", &why);
      ASSERT_TRUE(c) << word << ": " << why;
      EXPECT_EQ(c->shape, n.shape) << word;
    }
  }
  for (const char* word : {"qshape", "garrotte", "Q-shape Q=0.5"}) {
    const Parsed p = parse({"--shape", word, "d.ayq"});
    EXPECT_FALSE(p.options) << word;
    EXPECT_NE(p.err.find("must be q, garrote, lasso or crosr"), std::string::npos) << p.err;
    std::string why;
    EXPECT_FALSE(parsePathChoice(word, &why)) << word;
    EXPECT_NE(why.find("must be q, garrote, lasso or crosr"), std::string::npos) << why;
  }
}

TEST(PathOptions, ChoicesNameOnlyThePartsTheyChange) {
  std::string why;
  const std::optional<PathChoice> a = parsePathChoice("Q=-4.75:8", &why);
  ASSERT_TRUE(a) << why;
  EXPECT_EQ(a->shape, PathShape::kQShape);
  EXPECT_EQ(a->qText, "-4.75");  // the dialog's field does the cutting
  EXPECT_EQ(a->stepsButton, kStepsEight);
  const std::optional<PathChoice> b = parsePathChoice("garotte", &why);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->shape, PathShape::kGarrote);
  EXPECT_FALSE(b->qText);
  EXPECT_FALSE(b->stepsButton);
  const std::optional<PathChoice> c = parsePathChoice("lasso:1", &why);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->shape, PathShape::kLasso);
  EXPECT_EQ(c->stepsButton, kStepsOne);
  EXPECT_FALSE(parsePathChoice("crosr=1", &why));
  EXPECT_NE(why.find("only the q shape takes a Q"), std::string::npos);
}

TEST(PathOptions, SettingsAreAnsweredThroughTheDialogsModel) {
  DialogMemory memory;
  PathDialogModel model(memory);
  SettingsPath dialog({PathShape::kCrosr, "-4.75", kStepsOne});
  dialog.run(model);
  EXPECT_TRUE(model.ended());
  EXPECT_TRUE(dialog.qCut());
  EXPECT_EQ(dialog.keptQ(), "-4.7");
  EXPECT_EQ(memory.SHAPEBTN, PathShape::kCrosr);
  EXPECT_EQ(memory.STEPSBTN, kStepsOne);
  EXPECT_EQ(memory.QTEXT, "-4.7");
}

// tolvane-batch on an example, outputs in a scratch directory.
struct Cli {
  test::TempDir dir;
  std::unique_ptr<AnalysisState> state = std::make_unique<AnalysisState>();
  BatchOptions options;
  std::string out, err;

  // Single precision unless asked: these tests pin its results.
  explicit Cli(const char* example, Precision precision = Precision::kSingle) {
    options.input = test::sourceFile(std::string("examples/") + example);
    options.out = dir.file("run");
    options.precision = precision;
  }
  int run() {
    std::ostringstream o, e;
    const int status = runBatch(options, *state, o, e);
    out = o.str();
    err = e.str();
    return status;
  }
};

TEST(PathOptions, EachPathRunsOneSelectShapeAndLeftOutPartsCarryOver) {
  Cli c("hald.ayq");
  c.options.path.steps = 1;
  c.options.path.paths = {"garrote:8", "q=-4.75", "lasso"};
  ASSERT_EQ(c.run(), kExitCompleted) << c.err;
  EXPECT_EQ(count(c.out, "REMINDER(S) :"), 3);
  EXPECT_NE(c.out.find("    Breiman-like Generalized Garrote PATH.\n"
                       "    Number of Steps Per Unit Increase in MCAL = 8\n"),
            std::string::npos);
  // The second keeps eight steps, the third also the Q text it was cut to.
  EXPECT_NE(c.out.find("    -4.7 = QSHAPE of the shrinkage path.\n"
                       "    Number of Steps Per Unit Increase in MCAL = 8\n"),
            std::string::npos);
  EXPECT_EQ(c.state->SHAPECODE, PathShape::kLasso);
  EXPECT_EQ(c.state->memory.QTEXT, "-4.7");
  EXPECT_EQ(c.state->NSTEPS, 8 * c.state->RANK + 1);
  EXPECT_NE(c.err.find("the Q field keeps 4 characters, so --path q=-4.75 was taken as Q -4.7"),
            std::string::npos)
      << c.err;
  const std::string trace = c.dir.read("run.myq");
  EXPECT_EQ(count(trace, "3YQ = Three Shrinkage Likelihoods...\n"), 3);
  EXPECT_EQ(count(trace, "CYQ = Coefficient Trace...\n"), 3);
  EXPECT_EQ(count(c.dir.read("run.syq"), "Number of Steps Per Unit Increase in MCAL = 8\n"), 3);
}

TEST(PathOptions, QOutsideItsRangeIsHeldAndSaidSo) {
  Cli c("hald.ayq");
  c.options.path.qText = "12.50";
  ASSERT_EQ(c.run(), kExitCompleted) << c.err;
  EXPECT_EQ(c.state->QSHAPE, 5.0f);
  EXPECT_NE(c.out.find("     5.0 = QSHAPE of the shrinkage path.\n"), std::string::npos);
  EXPECT_NE(c.err.find("--q 12.50 was taken as Q 12.5"), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("Q 12.5 lies outside -5 to 5; the path used Q 5.0"), std::string::npos);
}

// Read back in the precision of the run, every value comes back exactly: 9
// digits carry a float, 17 a double.
TEST(PathOptions, TracesGoToCsvFilesThatReadBackExactly) {
  for (Precision precision : {Precision::kSingle, Precision::kDouble}) {
    SCOPED_TRACE(precision == Precision::kSingle ? "single" : "double");
    const bool single = precision == Precision::kSingle;
    auto number = [single](const std::string& text) {
      return single ? double{std::strtof(text.c_str(), nullptr)}
                    : std::strtod(text.c_str(), nullptr);
    };
    Cli c("plant.ayq", precision);
    c.options.path.paths = {"q=0.5:4", "crosr:1"};
    c.options.path.tracesCsv = c.dir.file("csv/deeper");
    ASSERT_EQ(c.run(), kExitCompleted) << c.err;
    const AnalysisState& s = *c.state;  // holds the second path
    const int P = s.P, n = s.NSTEPS;

    const std::vector<std::string> cyq = lines(c.dir.read("csv/deeper/path2_cyq.csv"));
    ASSERT_EQ(static_cast<int>(cyq.size()), n + 1);
    std::vector<std::string> header{"MCAL"};
    for (int j = 1; j <= P; ++j)
      header.push_back(s.XNAME[j]);
    EXPECT_EQ(cells(cyq[0]), header);
    for (int step = 1; step <= n; ++step) {
      const std::vector<std::string> row = cells(cyq[step]);
      ASSERT_EQ(static_cast<int>(row.size()), P + 1);
      EXPECT_EQ(std::strtod(row[0].c_str(), nullptr), step - 1.0);  // one step per unit
      for (int j = 1; j <= P; ++j) {
        EXPECT_EQ(number(row[j]), s.CYQ.data[step][j]) << step << " " << j;
      }
    }
    const std::vector<std::string> dyq = lines(c.dir.read("csv/deeper/path2_dyq.csv"));
    EXPECT_EQ(cells(dyq[0])[1], "axis1");
    EXPECT_EQ(number(cells(dyq[n])[1]), s.DYQ.data[n][1]);
    const std::vector<std::string> three = lines(c.dir.read("csv/deeper/path2_3yq.csv"));
    EXPECT_EQ(three[0], "MCAL,constant,CLIK,RCOEF,EBAYS");
    ASSERT_EQ(static_cast<int>(three.size()), n + 1);
    EXPECT_EQ(number(cells(three[2])[2]), s.THREEYQ.data[2][3]);

    // The first path's files are there too, with its own row count.
    EXPECT_EQ(static_cast<int>(lines(c.dir.read("csv/deeper/path1_iyq.csv")).size()),
              4 * s.RANK + 2);
    for (const char* name :
         {"path1_ryq.csv", "path1_eyq.csv", "path2_ryq.csv", "path2_eyq.csv", "path2_iyq.csv"}) {
      EXPECT_TRUE(c.dir.has(std::string("csv/deeper/") + name)) << name;
    }
    const std::vector<std::string> qyq = lines(c.dir.read("csv/deeper/qyq.csv"));
    EXPECT_EQ(qyq[0], "Q-shape,MCAL,Konst,CRLQ,Chi-Sq");
    EXPECT_EQ(qyq.size(), 22u);  // 21 values of Q
    EXPECT_EQ(cells(qyq[1])[0], "5");
  }
}

// Written again over the files of an earlier export, a table whose write
// fails part way (a limit on file sizes, as on a full disk) leaves the
// earlier file byte for byte and no temporary beside it.
TEST(PathOptions, ACsvExportThatFailsLeavesTheEarlierFilesAsTheyWere) {
  Cli c("plant.ayq");
  c.options.path.tracesCsv = c.dir.file("csv");
  ASSERT_EQ(c.run(), kExitCompleted) << c.err;
  const std::string earlier = c.dir.read("csv/path1_cyq.csv");
  ASSERT_GT(earlier.size(), 64u);
  const auto listing = [&c] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(c.dir.file("csv")))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> before = listing();
  Status why;
  {
    test::FileSizeLimit limit(64);
    why = writeTraceCsvs(*c.state, c.dir.file("csv"), 1);
  }
  EXPECT_FALSE(why.ok());
  EXPECT_EQ(why.message, "cannot write " + c.dir.file("csv/path1_cyq.csv") + ": File too large");
  EXPECT_EQ(c.dir.read("csv/path1_cyq.csv"), earlier);
  EXPECT_EQ(listing(), before);
}

TEST(PathOptions, ACsvFolderThatCannotBeMadeStopsTheRun) {
  Cli c("hald.ayq");
  c.dir.write("taken", "a file, not a folder\n");
  c.options.path.tracesCsv = c.dir.file("taken");
  EXPECT_EQ(c.run(), kExitStopped);
  EXPECT_NE(c.err.find("taken"), std::string::npos) << c.err;
  EXPECT_FALSE(c.state->files.summOpen());  // closed all the same
}

}  // namespace
}  // namespace tolvane
