// A batch input run answered by settings alone: roles, scaling, observations,
// existing files and precision, and what a setting the data cannot satisfy
// gives back.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "input/batch_input_run.hpp"
#include "support/input_test_support.hpp"

namespace tolvane {
namespace {

struct SettingsRun {
  test::TempDir dir;
  std::unique_ptr<AnalysisState> s = std::make_unique<AnalysisState>();
  test::ReportLines report;
  BatchRunResult result;

  BatchRunResult run(const std::string& example, ModelSettings settings) {
    const std::string path = test::sourceFile("examples/" + example);
    std::FILE* in = std::fopen(path.c_str(), "rb");
    EXPECT_NE(in, nullptr) << path;
    BatchInput input{in, path, dir.path(), 1'000'000'000};
    input.delimited = example.ends_with(".csv");
    return result = runBatchInput(*s, std::move(input), settings);
  }
};

// Bad delimited text stops the run with the reader's place in the file as
// well as in its sentence, which the report shows.
TEST(SettingsRun, ABadFieldStopsTheRunWithItsFileLineAndColumn) {
  SettingsRun r;
  const std::string path = r.dir.file("bad.csv");
  {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("x1,x2,y\n1,2,3\n4,5x,6\n7,8,9\n", out);
    std::fclose(out);
  }
  BatchInput input{std::fopen(path.c_str(), "rb"), path, r.dir.path(), 1'000'000'000};
  input.delimited = true;
  ModelSettings m;
  m.ifExists = IfExists::kOverwrite;
  const BatchRunResult result = runBatchInput(*r.s, std::move(input), m);
  EXPECT_EQ(result.code, StatusCode::kStopped);
  EXPECT_EQ(result.file, "bad.csv");
  EXPECT_EQ(result.line, 3);
  EXPECT_EQ(result.column, 2);
  EXPECT_EQ(result.message.rfind("bad.csv line 3, column 2 (x2): ", 0), 0u) << result.message;
  EXPECT_TRUE(r.report.contains("bad.csv line 3, column 2"));
}

TEST(SettingsRun, RolesScalingRangeAndPrecisionAreApplied) {
  SettingsRun r;
  ModelSettings m;
  m.response = "x4";
  m.predictors = {"x2", "x1", "y"};
  m.scale = kCenterOnly;
  m.first = 2;
  m.last = 12;
  m.precision = Precision::kSingle;
  ASSERT_TRUE(r.run("hald.csv", m).completed()) << r.result.message;
  EXPECT_EQ(r.s->YNAME, "x4");
  ASSERT_EQ(r.s->P, 3);
  EXPECT_EQ(r.s->XNAME[1], "x1");
  EXPECT_EQ(r.s->XNAME[2], "x2");
  EXPECT_EQ(r.s->XNAME[3], "y");
  EXPECT_EQ(r.s->SCALECODE, kCenterOnly);
  EXPECT_EQ(r.s->N1, 2);
  EXPECT_EQ(r.s->N2, 12);
  EXPECT_EQ(r.s->precision, Precision::kSingle);
  EXPECT_TRUE(r.dir.has("hald.syq"));

  SettingsRun left;
  ModelSettings l;
  l.leaveOut = {"x3", "x3"};  // named twice: once is enough
  ASSERT_TRUE(left.run("hald.csv", l).completed()) << left.result.message;
  EXPECT_EQ(left.s->YNAME, "y");
  ASSERT_EQ(left.s->P, 3);
  EXPECT_EQ(left.s->XNAME[3], "x4");
  EXPECT_EQ(left.s->precision, Precision::kDouble);
}

// Every refusal names the setting in its own words: no option of the batch
// tool appears in what a desktop user could read.
TEST(SettingsRun, ASettingTheDataCannotSatisfyStopsTheRunAndSaysWhich) {
  struct Case {
    const char* example;
    ModelSettings settings;
    SettingAtFault setting;
    std::string reason;
  };
  ModelSettings unknown, isResponse, tooFew, onSums;
  unknown.response = "z";
  isResponse.predictors = {"x1", "y"};
  tooFew.leaveOut = {"x1", "x2", "x3"};
  onSums.leaveOut = {"x1"};
  const Case cases[] = {
      {"hald.csv", unknown, SettingAtFault::kResponse,
       "Response: no column is named z (columns: x1, x2, x3, x4 and y)."},
      {"hald.csv", isResponse, SettingAtFault::kPredictors, "Predictors: y is the response."},
      {"hald.csv", tooFew, SettingAtFault::kLeaveOut,
       "Left out: at least 2 predictors must remain."},
      {"hald_xpx.ayq", onSums, SettingAtFault::kRolesOnSums,
       "Roles can be chosen for raw data and delimited text only; in a cross-product batch "
       "file the last column is the response."},
  };
  for (const Case& c : cases) {
    SettingsRun r;
    r.run(c.example, c.settings);
    EXPECT_EQ(r.result.code, StatusCode::kStopped) << c.reason;
    EXPECT_EQ(r.result.problem.setting, c.setting) << c.reason;
    EXPECT_EQ(r.result.message, c.reason);
    EXPECT_EQ(r.result.message.find("--"), std::string::npos);
    EXPECT_EQ(r.s->LSPEND, 1) << "no analysis is left from a refused run";
  }
}

TEST(SettingsRun, ExistingFilesAreKeptOrReplacedAsTold) {
  SettingsRun r;
  r.dir.write("hald.syq", "earlier summary\n");
  ModelSettings abort;
  r.run("hald.csv", abort);
  EXPECT_EQ(r.result.code, StatusCode::kCancelled);
  ASSERT_EQ(r.result.existingFiles.size(), 1u);
  EXPECT_NE(r.result.existingFiles[0].find("hald.syq"), std::string::npos);
  EXPECT_EQ(r.dir.read("hald.syq"), "earlier summary\n");

  ModelSettings overwrite;
  overwrite.ifExists = IfExists::kOverwrite;
  overwrite.outputName = r.dir.file("again");
  ASSERT_TRUE(r.run("hald.csv", overwrite).completed()) << r.result.message;
  EXPECT_TRUE(r.dir.has("again.syq"));
  EXPECT_EQ(r.dir.read("hald.syq"), "earlier summary\n");
}

}  // namespace
}  // namespace tolvane
