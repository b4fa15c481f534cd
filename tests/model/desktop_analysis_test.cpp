// What the desktop keeps of an analysis and the rules of its three dialogs
// without widgets: Choose Extent, Precision, and where the intervals go.
#include "model/desktop_analysis.hpp"

#include <gtest/gtest.h>

#include "model/bootstrap.hpp"
#include "model/bootstrap_report.hpp"
#include "model/extent_choice_dialog.hpp"
#include "model/precision_dialog.hpp"
#include "model_fixture.hpp"
#include "support/report_lines.hpp"

namespace tolvane::test {
namespace {

TEST(ExtentChoiceDialog, OffersTheCriteriaTheClickedPointOnThePathAndANumber) {
  const ExtentChoiceDialog plain(4, -1.0, -1.0);
  ASSERT_EQ(plain.items().size(), 11u);
  EXPECT_EQ(plain.items().front(), "CLIK minimum");
  EXPECT_EQ(plain.items().back(), "MCAL = ... (a number from 0 to RANK)");
  EXPECT_EQ(plain.pick(4)->criterion, ExtentCriterion::kGcv);
  EXPECT_EQ(plain.pick(9)->criterion, ExtentCriterion::kBic);
  EXPECT_FALSE(plain.pick(10));
  EXPECT_TRUE(plain.asksForNumber(10));
  EXPECT_FALSE(plain.pick(-1));
  EXPECT_FALSE(plain.pick(11));
  EXPECT_FALSE(plain.asksForNumber(11));
  EXPECT_EQ(plain.numberStart(), 0.0);
  EXPECT_EQ(plain.numberMaximum(), 4.0);

  const ExtentChoiceDialog clicked(4, 1.75, 2.5);
  ASSERT_EQ(clicked.items().size(), 12u);
  EXPECT_EQ(clicked.items()[10], "MCAL = 1.750 (the point clicked last)");
  const auto atClick = clicked.pick(10);
  ASSERT_TRUE(atClick);
  EXPECT_EQ(atClick->criterion, ExtentCriterion::kMcal);
  EXPECT_EQ(atClick->mcal, 1.75);
  EXPECT_TRUE(clicked.asksForNumber(11));
  EXPECT_EQ(clicked.numberStart(), 2.5);

  // A point off the path (a chart of an earlier analysis) is not offered.
  for (double off : {4.5, -0.25}) {
    const ExtentChoiceDialog beyond(4, off, -1.0);
    EXPECT_EQ(beyond.items().size(), 11u) << off;
    EXPECT_TRUE(beyond.asksForNumber(10)) << off;
  }
}

TEST(PrecisionDialog, OpensOnTheSavedSettingAndSaysWhatOkChose) {
  PrecisionDialog dialog(Precision::kSingle);
  EXPECT_EQ(dialog.chosenEntry(), 1);
  EXPECT_EQ(PrecisionDialog::items()[dialog.chosenEntry()], precisionLabel(Precision::kSingle));
  dialog.pick("something else");
  EXPECT_EQ(dialog.chosen(), Precision::kSingle);
  dialog.pick(PrecisionDialog::items()[0]);
  EXPECT_EQ(dialog.chosen(), Precision::kDouble);
  EXPECT_EQ(dialog.okLine(),
            "    The next data file is read in double precision (about 16 significant digits).");
}

TEST_F(ModelFixture, IntervalsFilesAreNamedByPathForBothFrontEnds) {
  EXPECT_EQ(intervalsCsvPath(s, {}, 1), "");  // no summary file yet
  ASSERT_TRUE(analyse(examplePath("hald.ayq"), kCenterRescale));
  EXPECT_EQ(s.pathsTraced, 1);
  ASSERT_TRUE(reselect(PathShape::kQShape, "1", kStepsFour));
  EXPECT_EQ(s.pathsTraced, 2);
  const std::string base = s.files.SUMMNAME.substr(0, s.files.SUMMNAME.size() - 4);
  EXPECT_EQ(intervalsCsvPath(s, {}, s.pathsTraced), s.files.pathOf(base + "_path2_intervals.csv"));
  EXPECT_EQ(intervalsCsvPath(s, "out", 3), "out/path3_intervals.csv");
  // New data start the count again.
  ASSERT_TRUE(runDataFile(s, examplePath("hald.ayq"), dir_));
  EXPECT_EQ(s.pathsTraced, 0);
}

TEST_F(ModelFixture, DesktopAnalysisKeepsTheRequestOnlyWhenItFitsAndPutsBackACancelledRun) {
  ASSERT_TRUE(analyse(examplePath("hald.ayq"), kCenterRescale));
  DesktopAnalysis analysis;
  analysis.runStarts(s, "hald.ayq");
  analysis.runEnded(s, false);
  analysis.pathTraced(s);
  ASSERT_TRUE(analysis.model().valid);
  ASSERT_TRUE(analysis.model().fitted);
  EXPECT_EQ(analysis.model().fit.extent.request.criterion, ExtentCriterion::kClik);
  EXPECT_FALSE(s.MCALMARKS.empty());

  ReportLines lines;
  ASSERT_TRUE(analysis.chooseExtent(s, {ExtentCriterion::kGcv, 0.0}).ok());
  EXPECT_EQ(analysis.extentRequest().criterion, ExtentCriterion::kGcv);
  EXPECT_EQ(analysis.model().fit.extent.request.criterion, ExtentCriterion::kGcv);
  EXPECT_TRUE(lines.contains("MCAL"));
  const double gcvMcal = analysis.model().fit.extent.mcal;

  // An MCAL beyond RANK is refused: the request and the fit stay.
  const Status refused = analysis.chooseExtent(s, {ExtentCriterion::kMcal, s.RANK + 1.0});
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(refused.message.rfind("No fit: ", 0), 0u) << refused.message;
  EXPECT_EQ(analysis.extentRequest().criterion, ExtentCriterion::kGcv);
  EXPECT_EQ(analysis.model().fit.extent.mcal, gcvMcal);

  // A new file's run that is cancelled puts back the analysis and its
  // precision; one that completes leaves no results of the old data.
  s.precision = Precision::kDouble;
  analysis.runStarts(s, "other.csv");
  EXPECT_FALSE(analysis.model().valid);
  EXPECT_EQ(analysis.inputPath(), "other.csv");
  s.precision = Precision::kSingle;
  analysis.runEnded(s, true);
  EXPECT_EQ(s.precision, Precision::kDouble);
  EXPECT_EQ(analysis.inputPath(), "hald.ayq");
  EXPECT_EQ(analysis.model().fit.extent.mcal, gcvMcal);
  analysis.runStarts(s, "other.csv");
  analysis.runEnded(s, false);
  EXPECT_FALSE(analysis.model().valid);
  EXPECT_EQ(analysis.inputPath(), "other.csv");
}

}  // namespace
}  // namespace tolvane::test
