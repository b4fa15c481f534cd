#include "report/report_and_summary.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "report/report.hpp"

namespace tolvane {
namespace {

// What the summary stream holds, and the report lines appended meanwhile.
class BothOutputs : public ::testing::Test {
 protected:
  void SetUp() override {
    resetReportStore();
    start_ = reportCounters().linesWritten;
    summary_ = std::tmpfile();
    ASSERT_NE(summary_, nullptr);
  }
  void TearDown() override { std::fclose(summary_); }
  std::string summary() const {
    std::fflush(summary_);
    std::rewind(summary_);
    std::string text;
    for (int c; (c = std::fgetc(summary_)) != EOF;)
      text += static_cast<char>(c);
    return text;
  }
  std::vector<std::string> report() const { return reportLinesSince(start_); }

  std::FILE* summary_ = nullptr;
  int start_ = 0;
};

TEST_F(BothOutputs, TheReportHasItsMarginTheSummaryTheBareLine) {
  reportAndSummaryf(summary_, "Number of Steps Per Unit Increase in MCAL = %d", 4);
  reportAndSummary(summary_, "");  // a blank line in both
  reportAndSummaryf(summary_, ReportForm{.indent = false}, "     %6.3f   <<<", 0.25);
  EXPECT_EQ(report(), (std::vector<std::string>{"    Number of Steps Per Unit Increase in MCAL = 4",
                                                BLANK_LINE, "      0.250   <<<"}));
  EXPECT_EQ(summary(), "Number of Steps Per Unit Increase in MCAL = 4\n\n      0.250   <<<\n");
}

TEST_F(BothOutputs, WithoutASummaryFileOnlyTheReportGetsTheLine) {
  reportAndSummaryf(nullptr, "No fit: %s.", "too few observations");
  EXPECT_EQ(report(), std::vector<std::string>{"    No fit: too few observations."});
}

// A long line is cut at 80 in the report or continued there; the summary
// file gets all of it, past the formatting buffer too.
TEST_F(BothOutputs, ALongLineIsCutOrContinuedInTheReportAndWholeInTheSummary) {
  const std::string name = "/data/" + std::string(300, 'n') + ".csv";
  reportAndSummaryf(summary_, "The Tolvane Batch Input file is %s", name.c_str());
  const std::vector<std::string> cut = report();
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0], ("    The Tolvane Batch Input file is " + name).substr(0, 80));
  EXPECT_EQ(summary(), "The Tolvane Batch Input file is " + name + "\n");

  start_ = reportCounters().linesWritten;
  const std::string words =
      "Warning: the extent lies at the end of the path where every "
      "criterion keeps falling to MCAL = RANK.";
  reportAndSummary(summary_, words, ReportForm{.continued = true});
  const std::vector<std::string> continued = report();
  ASSERT_EQ(continued.size(), 2u);
  EXPECT_LE(continued[0].size(), 80u);
  // Cut at a blank, the rest four blanks in.
  EXPECT_EQ(continued[1].substr(0, 4), "    ");
  EXPECT_EQ(continued[0] + " " + continued[1].substr(4), "    " + words);
}

}  // namespace
}  // namespace tolvane
