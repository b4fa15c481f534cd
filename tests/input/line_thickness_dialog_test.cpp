#include "input/line_thickness_dialog.hpp"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

TEST(LineThicknessDialog, OpensOnTheRememberedButton) {
  AnalysisState state;
  EXPECT_EQ(LineThicknessDialog(state).checked(), kSinglePixel);
  state.memory.lineWidthChoice = kTriplePixel;
  EXPECT_EQ(LineThicknessDialog(state).checked(), kTriplePixel);
}

TEST(LineThicknessDialog, AClickSetsTheWidthAtOnce) {
  AnalysisState state;
  state.lineWidth = 1;
  LineThicknessDialog dialog(state);
  dialog.click(kDoublePixel);
  EXPECT_EQ(state.lineWidth, 2);
  EXPECT_EQ(dialog.checked(), kDoublePixel);
  dialog.click(kTriplePixel);
  EXPECT_EQ(state.lineWidth, 3);
  dialog.click(kSinglePixel);
  EXPECT_EQ(state.lineWidth, 1);
  // Nothing is remembered before OK.
  EXPECT_EQ(state.memory.lineWidthChoice, kSinglePixel);
}

TEST(LineThicknessDialog, OkRemembersTheCheckedButton) {
  AnalysisState state;
  LineThicknessDialog dialog(state);
  dialog.click(kTriplePixel);
  dialog.ok();
  EXPECT_EQ(state.memory.lineWidthChoice, kTriplePixel);
  EXPECT_EQ(state.lineWidth, 3);
}

TEST(LineThicknessDialog, CloseBoxKeepsTheWidthButNotTheButton) {
  AnalysisState state;
  state.memory.lineWidthChoice = kDoublePixel;
  state.lineWidth = 2;
  {
    LineThicknessDialog dialog(state);
    dialog.click(kTriplePixel);
    dialog.close();
  }
  EXPECT_EQ(state.lineWidth, 3);
  EXPECT_EQ(LineThicknessDialog(state).checked(), kDoublePixel);
}

TEST(LineThicknessDialog, IgnoresIdsOutsideTheGroup) {
  AnalysisState state;
  state.lineWidth = 2;
  state.memory.lineWidthChoice = 999;  // never written by the dialog itself
  LineThicknessDialog dialog(state);
  EXPECT_EQ(dialog.checked(), kSinglePixel);
  dialog.click(1);
  dialog.click(1006);
  EXPECT_EQ(state.lineWidth, 2);
  EXPECT_EQ(dialog.checked(), kSinglePixel);
}

}  // namespace
}  // namespace tolvane
