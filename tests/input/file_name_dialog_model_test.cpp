#include "input/file_name_dialog_model.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tolvane {
namespace {

TEST(FileNameDialogModel, OkTakesTheEditedNameCutTo128Characters) {
  FileNameDialogModel m("SALES");
  EXPECT_EQ(m.field(), "SALES");
  m.setField(std::string(200, 'n'));
  m.ok();
  EXPECT_EQ(m.exit(), FileNameDialogModel::Exit::kOk);
  EXPECT_EQ(m.buffer(), std::string(128, 'n'));
}

TEST(FileNameDialogModel, CancelAndEscCancelWithTheBufferUnchanged) {
  for (bool esc : {false, true}) {
    FileNameDialogModel m("SALES");
    m.setField("OTHER");
    esc ? m.escape() : m.cancel();
    EXPECT_TRUE(m.cancelled());
    EXPECT_EQ(m.buffer(), "SALES");
  }
}

TEST(FileNameDialogModel, TheCloseBoxGoesOnWithTheNameShownAtOpening) {
  FileNameDialogModel m("SALES");
  m.setField("OTHER");
  m.closeBox();
  EXPECT_FALSE(m.cancelled());
  EXPECT_EQ(m.exit(), FileNameDialogModel::Exit::kClosed);
  EXPECT_EQ(m.buffer(), "SALES");
  m.ok();  // already ended
  EXPECT_EQ(m.buffer(), "SALES");
}

}  // namespace
}  // namespace tolvane
