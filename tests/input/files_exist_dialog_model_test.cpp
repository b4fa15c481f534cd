#include "input/files_exist_dialog_model.hpp"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

using Answer = FilesExistDialogModel::Answer;

TEST(FilesExistDialogModel, OpensOnChangeNameAndOkStoresTheClickedAnswer) {
  // OK pressed at once must empty no file: the dialog does not open on
  // Overwrite.
  FilesExistDialogModel m({"SALES.syq"});
  EXPECT_EQ(m.marked(), Answer::kChangeName);
  m.click(Answer::kOverwrite);
  m.click(Answer::kAppend);
  m.ok();
  EXPECT_EQ(m.answer(), Answer::kAppend);
  EXPECT_EQ(m.existingFiles(), std::vector<std::string>{"SALES.syq"});

  FilesExistDialogModel atOnce({"SALES.syq"});
  atOnce.ok();
  EXPECT_EQ(atOnce.answer(), Answer::kChangeName);
}

TEST(FilesExistDialogModel, TheCloseBoxAndEscAbortWhateverIsMarked) {
  // The close box once kept Overwrite: closing the dialog emptied the files.
  for (bool esc : {false, true}) {
    FilesExistDialogModel m({"SALES.syq"});
    m.click(Answer::kOverwrite);
    esc ? m.escape() : m.closeBox();
    EXPECT_TRUE(m.finished());
    EXPECT_EQ(m.answer(), Answer::kAbort);
    m.ok();  // ended: OK changes nothing
    EXPECT_EQ(m.answer(), Answer::kAbort);
  }
}

TEST(FilesExistDialogModel, IgnoresAnswersOutsideOneToFour) {
  FilesExistDialogModel m({});
  m.click(0);
  m.click(5);
  m.ok();
  EXPECT_EQ(m.answer(), Answer::kChangeName);
}

TEST(FilesExistDialogModel, NamesTheFilesInANaturalSentence) {
  EXPECT_EQ(FilesExistDialogModel({"a.syq"}).existingSentence(), "a.syq already exists.");
  EXPECT_EQ(FilesExistDialogModel({"a.syq", "a.myq"}).existingSentence(),
            "a.syq and a.myq already exist.");
}

}  // namespace
}  // namespace tolvane
