#include "engine/path_dialog.hpp"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

TEST(PathDialogModel, OpensOnTheRememberedChoicesAndStoresOnlyOnOk) {
  DialogMemory memory;
  PathDialogModel first(memory);
  EXPECT_EQ(first.shape(), PathShape::kQShape);
  EXPECT_EQ(first.stepsId(), 1014);
  EXPECT_EQ(first.qText(), "0.0");
  EXPECT_FALSE(first.ended());

  first.clickShape(PathShape::kLasso);
  first.clickSteps(1015);
  first.editQText("2.5");
  EXPECT_EQ(first.shape(), PathShape::kLasso);
  EXPECT_EQ(first.stepsId(), 1015);
  // Working copies only: the memory waits for OK.
  EXPECT_EQ(memory.SHAPEBTN, PathShape::kQShape);
  EXPECT_EQ(memory.STEPSBTN, 1014);
  EXPECT_EQ(memory.QTEXT, "0.0");
  first.ok();
  EXPECT_TRUE(first.ended());
  EXPECT_EQ(memory.SHAPEBTN, PathShape::kLasso);
  EXPECT_EQ(memory.STEPSBTN, 1015);
  EXPECT_EQ(memory.QTEXT, "2.5");

  // A dialog left without OK changes nothing.
  PathDialogModel second(memory);
  EXPECT_EQ(second.shape(), PathShape::kLasso);
  second.clickShape(PathShape::kCrosr);
  second.editQText("-1");
  EXPECT_EQ(memory.SHAPEBTN, PathShape::kLasso);
  EXPECT_EQ(memory.QTEXT, "2.5");
}

// A shape is a PathShape, so only the steps group can be handed a stray id.
TEST(PathDialogModel, StepsIdsOutsideTheirGroupAreIgnored) {
  DialogMemory memory;
  PathDialogModel model(memory);
  for (int id : {1012, 1016, 1003})
    model.clickSteps(id);
  EXPECT_EQ(model.stepsId(), 1014);
  model.clickShape(PathShape::kCrosr);
  model.clickSteps(1013);
  EXPECT_EQ(model.shape(), PathShape::kCrosr);
  EXPECT_EQ(model.stepsId(), 1013);
}

TEST(PathDialogModel, QTextKeepsFourCharacters) {
  DialogMemory memory;
  PathDialogModel model(memory);
  EXPECT_TRUE(model.editQText("-4.75"));
  EXPECT_EQ(model.qText(), "-4.7");
  EXPECT_FALSE(model.editQText("12.5"));
  EXPECT_EQ(model.qText(), "12.5");
  EXPECT_FALSE(model.editQText(""));
  EXPECT_EQ(model.qText(), "");
  // Characters, not bytes: a cut never splits one.
  EXPECT_TRUE(
      model.editQText("1\xE2\x82\xAC"
                      "234"));
  EXPECT_EQ(model.qText(),
            "1\xE2\x82\xAC"
            "23");
  model.ok();
  EXPECT_EQ(memory.QTEXT,
            "1\xE2\x82\xAC"
            "23");
}

TEST(PathDialogModel, MemoryOutlivesABatchInputReset) {
  AnalysisState s;
  {
    PathDialogModel model(s.memory);
    model.clickShape(PathShape::kGarrote);
    model.clickSteps(1013);
    model.editQText("-3");
    model.ok();
  }
  s.reset();
  s.setDefaultsAfterRead();
  PathDialogModel next(s.memory);
  EXPECT_EQ(next.shape(), PathShape::kGarrote);
  EXPECT_EQ(next.stepsId(), 1013);
  EXPECT_EQ(next.qText(), "-3");
}

}  // namespace
}  // namespace tolvane
