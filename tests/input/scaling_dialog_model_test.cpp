#include "input/scaling_dialog_model.hpp"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

TEST(ScalingDialogModel, OpensOnTheRememberedSettings) {
  DialogMemory memory;
  memory.SCALEBTN = kReExpress;
  memory.N1TEXT = "3";
  memory.N2TEXT = "12";
  const ScalingDialogModel m(memory);
  EXPECT_EQ(m.button(), kReExpress);
  EXPECT_EQ(m.firstText(), "3");
  EXPECT_EQ(m.lastText(), "12");
  EXPECT_FALSE(m.finished());
}

TEST(ScalingDialogModel, OkStoresTheWorkingCopies) {
  DialogMemory memory;
  ScalingDialogModel m(memory);
  m.clickButton(kCenterOnly);
  EXPECT_TRUE(m.setFirstText("5"));
  EXPECT_TRUE(m.setLastText("40"));
  EXPECT_EQ(memory.SCALEBTN, kCenterRescale);  // nothing stored before OK
  m.ok();
  m.storeInto(memory);
  EXPECT_EQ(memory.SCALEBTN, kCenterOnly);
  EXPECT_EQ(memory.N1TEXT, "5");
  EXPECT_EQ(memory.N2TEXT, "40");
}

TEST(ScalingDialogModel, FieldsKeepFourDigitsAndRefuseOtherCharacters) {
  ScalingDialogModel m(DialogMemory{});
  EXPECT_TRUE(m.setFirstText("123456"));
  EXPECT_EQ(m.firstText(), "1234");
  EXPECT_FALSE(m.setFirstText("12a"));
  EXPECT_FALSE(m.setLastText("-5"));
  EXPECT_EQ(m.firstText(), "1234");
  EXPECT_EQ(m.lastText(), "9999");
  EXPECT_TRUE(m.setLastText(""));  // an emptied field reads as 0 later
  EXPECT_EQ(m.lastText(), "");
}

TEST(ScalingDialogModel, CancelEscAndTheCloseBoxCancelStoringNothing) {
  // The dialog once ignored Esc and its close box: there was no way out of
  // the run but OK.
  for (auto exit :
       {&ScalingDialogModel::cancel, &ScalingDialogModel::escape, &ScalingDialogModel::closeBox}) {
    ScalingDialogModel m(DialogMemory{});
    m.clickButton(kCenterOnly);
    (m.*exit)();
    EXPECT_TRUE(m.finished());
    EXPECT_TRUE(m.cancelled());
    m.ok();
    EXPECT_TRUE(m.cancelled());
  }
}

TEST(ScalingDialogModel, OkEndsTheDialogForStoring) {
  ScalingDialogModel m(DialogMemory{});
  m.clickButton(42);  // not one of the three buttons
  EXPECT_EQ(m.button(), kCenterRescale);
  m.ok();
  EXPECT_TRUE(m.finished());
  EXPECT_FALSE(m.cancelled());
  m.cancel();  // the first exit counts
  EXPECT_FALSE(m.cancelled());
  m.clickButton(kCenterOnly);  // ended: no more changes
  EXPECT_EQ(m.button(), kCenterRescale);
}

}  // namespace
}  // namespace tolvane
