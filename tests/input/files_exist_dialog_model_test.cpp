#include "input/files_exist_dialog_model.hpp"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

using Answer = FilesExistDialogModel::Answer;

TEST(FilesExistDialogModel, OkStoresTheClickedAnswer) {
  FilesExistDialogModel m(Answer::kOverwrite, {"SALES.syq"});
  EXPECT_EQ(m.marked(), Answer::kOverwrite);
  m.click(Answer::kChangeName);
  m.click(Answer::kAppend);
  EXPECT_EQ(m.answer(), Answer::kOverwrite);  // not stored before OK
  m.ok();
  EXPECT_EQ(m.answer(), Answer::kAppend);
  EXPECT_EQ(m.existingFiles(), std::vector<std::string>{"SALES.syq"});
}

TEST(FilesExistDialogModel, TheCloseBoxKeepsOverwriteAndEscDoesNothing) {
  FilesExistDialogModel m(Answer::kOverwrite, {});
  m.click(Answer::kAbort);
  m.escape();
  EXPECT_FALSE(m.finished());
  m.closeBox();
  EXPECT_TRUE(m.finished());
  EXPECT_EQ(m.answer(), Answer::kOverwrite);
}

TEST(FilesExistDialogModel, IgnoresAnswersOutsideOneToFour) {
  FilesExistDialogModel m(Answer::kOverwrite, {});
  m.click(0);
  m.click(5);
  m.ok();
  EXPECT_EQ(m.answer(), Answer::kOverwrite);
}

}  // namespace
}  // namespace tolvane
