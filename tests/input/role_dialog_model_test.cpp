#include "input/role_dialog_model.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tolvane {
namespace {

using List = RoleDialogModel::List;

// A state after reading `names` and setting the default roles.
std::unique_ptr<AnalysisState> stateWith(const std::vector<std::string>& names) {
  auto s = std::make_unique<AnalysisState>();
  s->NVAR = static_cast<int>(names.size());
  s->NOBS = 30;
  for (int c = 1; c <= s->NVAR; ++c)
    s->VNAME[c] = names[c - 1];
  s->setDefaultsAfterRead();
  return s;
}

std::vector<std::string> names(const std::vector<RoleDialogModel::Entry>& list) {
  std::vector<std::string> out;
  for (const auto& e : list)
    out.push_back(e.name);
  return out;
}

using Names = std::vector<std::string>;

TEST(RoleDialogModel, OpensOnTheDefaultsWithTheFirstPredictorSelected) {
  const auto s = stateWith({"D", "C", "B", "A"});
  const RoleDialogModel m(*s);
  EXPECT_EQ(m.response().name, "A");
  EXPECT_EQ(names(m.predictors()), (Names{"B", "C", "D"}));
  EXPECT_TRUE(m.leftOut().empty());
  EXPECT_EQ(m.currentList(), List::kPredictors);
  EXPECT_EQ(m.selection(List::kPredictors), 0);
  EXPECT_EQ(m.selectedName(), "B");
  EXPECT_EQ(m.exit(), RoleDialogModel::Exit::kOpen);
}

TEST(RoleDialogModel, SortsWithoutRegardToLetterCase) {
  const auto s = stateWith({"beta", "Alpha", "GAMMA", "delta", "y"});
  EXPECT_EQ(names(RoleDialogModel(*s).predictors()), (Names{"Alpha", "beta", "delta", "GAMMA"}));
}

TEST(RoleDialogModel, OkWithoutChangesReordersThePredictorsByName) {
  auto s = stateWith({"D", "C", "B", "A"});
  RoleDialogModel m(*s);
  m.ok();
  m.applyTo(*s);
  EXPECT_EQ(s->P, 3);
  EXPECT_EQ((Names{s->XNAME[1], s->XNAME[2], s->XNAME[3]}), (Names{"B", "C", "D"}));
  EXPECT_EQ((std::vector<int>{s->XCOL[1], s->XCOL[2], s->XCOL[3]}), (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(s->YCOL, 4);
  EXPECT_EQ(s->YNAME, "A");
  EXPECT_EQ(std::string(s->VROLE.begin() + 1, s->VROLE.begin() + 5), "PPPR");
}

TEST(RoleDialogModel, CancelEscAndTheCloseBoxCancelOnlyOkApplies) {
  // Esc once applied the lists, so that a user backing out changed the
  // roles; every way out but OK now cancels (the run stops, see ModelSetup).
  const auto s = stateWith({"D", "C", "B", "A"});
  for (auto exit :
       {&RoleDialogModel::cancel, &RoleDialogModel::escape, &RoleDialogModel::closeBox}) {
    RoleDialogModel m(*s);
    m.moveLeft();
    (m.*exit)();
    EXPECT_EQ(m.exit(), RoleDialogModel::Exit::kCancelled);
    m.ok();  // the first exit counts
    EXPECT_EQ(m.exit(), RoleDialogModel::Exit::kCancelled);
  }
  RoleDialogModel m(*s);
  m.ok();
  EXPECT_EQ(m.exit(), RoleDialogModel::Exit::kApplied);
}

TEST(RoleDialogModel, RightMovesTheSelectedPredictorOutButKeepsTwo) {
  const auto s = stateWith({"A", "B", "C", "D", "Y"});
  RoleDialogModel m(*s);
  m.select(List::kPredictors, 2);  // C
  EXPECT_EQ(m.selectedName(), "C");
  EXPECT_TRUE(m.moveRight());
  EXPECT_EQ(names(m.predictors()), (Names{"A", "B", "D"}));
  EXPECT_EQ(names(m.leftOut()), (Names{"C"}));
  EXPECT_EQ(m.selection(List::kPredictors), 1);  // the row before: B
  EXPECT_EQ(m.selectedName(), "B");
  EXPECT_EQ(m.selection(List::kLeftOut), -1);
  m.select(List::kPredictors, 0);
  EXPECT_TRUE(m.moveRight());  // A out; the selection stays on the first row
  EXPECT_EQ(m.selection(List::kPredictors), 0);
  EXPECT_EQ(names(m.leftOut()), (Names{"A", "C"}));
  EXPECT_FALSE(m.moveRight());  // exactly 2 remain
  EXPECT_EQ(names(m.predictors()), (Names{"B", "D"}));
}

TEST(RoleDialogModel, ClickingTheOtherListSelectsTheClickedEntry) {
  // The first entry used to be selected whatever row was clicked, while the
  // list showed the clicked row: "<= LEFT" then moved an entry the user had
  // not chosen.
  const auto s = stateWith({"A", "B", "C", "D", "Y"});
  RoleDialogModel m(*s);
  m.select(List::kPredictors, 1);
  m.moveRight();  // B out
  m.select(List::kPredictors, 1);
  m.moveRight();  // C out
  m.select(List::kLeftOut, 1);
  EXPECT_EQ(m.currentList(), List::kLeftOut);
  EXPECT_EQ(m.selection(List::kLeftOut), 1);
  EXPECT_EQ(m.selection(List::kPredictors), -1);
  EXPECT_EQ(m.selectedName(), "C");
  m.select(List::kPredictors, 1);
  EXPECT_EQ(m.currentList(), List::kPredictors);
  EXPECT_EQ(m.selection(List::kPredictors), 1);
  EXPECT_EQ(m.selection(List::kLeftOut), -1);
  EXPECT_EQ(m.selectedName(), "D");
  EXPECT_TRUE(m.moveLeft());  // D, the entry clicked, becomes the response
  EXPECT_EQ(m.response().name, "D");
}

TEST(RoleDialogModel, TheResponseListAndEmptyListsTakeNoSelection) {
  const auto s = stateWith({"A", "B", "C", "Y"});
  RoleDialogModel m(*s);
  m.select(List::kResponse, 0);
  m.select(List::kLeftOut, 0);     // empty
  m.select(List::kPredictors, 7);  // no such row
  EXPECT_EQ(m.currentList(), List::kPredictors);
  EXPECT_EQ(m.selection(List::kResponse), -1);
  EXPECT_EQ(m.selectedName(), "A");
}

TEST(RoleDialogModel, LeftFromTheLeftOutListBringsTheEntryBack) {
  const auto s = stateWith({"A", "B", "C", "D", "Y"});
  RoleDialogModel m(*s);
  m.moveRight();  // A out
  m.moveRight();  // B out
  m.select(List::kLeftOut, 0);
  m.select(List::kLeftOut, 1);  // B
  EXPECT_TRUE(m.moveLeft());
  EXPECT_EQ(names(m.predictors()), (Names{"B", "C", "D"}));
  EXPECT_EQ(names(m.leftOut()), (Names{"A"}));
  EXPECT_EQ(m.selection(List::kLeftOut), 0);
  EXPECT_EQ(m.response().name, "Y");
  EXPECT_TRUE(m.moveLeft());  // A back; the left-out list is empty now
  EXPECT_TRUE(m.leftOut().empty());
  EXPECT_EQ(m.selection(List::kLeftOut), -1);
  EXPECT_FALSE(m.moveLeft());  // nothing to move, and no swap from here
  EXPECT_EQ(m.response().name, "Y");
  EXPECT_EQ(m.predictors().size(), 4u);
}

TEST(RoleDialogModel, LeftFromThePredictorListSwapsWithTheResponse) {
  auto s = stateWith({"A", "B", "C", "Y"});
  RoleDialogModel m(*s);
  m.select(List::kPredictors, 1);  // B
  EXPECT_TRUE(m.moveLeft());
  EXPECT_EQ(m.response().name, "B");
  EXPECT_EQ(names(m.predictors()), (Names{"A", "C", "Y"}));  // the count is unchanged
  EXPECT_EQ(m.selection(List::kPredictors), 0);
  m.ok();
  m.applyTo(*s);
  EXPECT_EQ(s->YCOL, 2);
  EXPECT_EQ(s->YNAME, "B");
  EXPECT_EQ((std::vector<int>{s->XCOL[1], s->XCOL[2], s->XCOL[3]}), (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(std::string(s->VROLE.begin() + 1, s->VROLE.begin() + 5), "PRPP");
}

TEST(RoleDialogModel, ApplyMarksLeftOutColumnsAndCountsPredictors) {
  auto s = stateWith({"A", "B", "C", "D", "Y"});
  RoleDialogModel m(*s);
  m.select(List::kPredictors, 3);
  m.moveRight();  // D out
  m.ok();
  m.applyTo(*s);
  EXPECT_EQ(s->P, 3);
  EXPECT_EQ(std::string(s->VROLE.begin() + 1, s->VROLE.begin() + 6), "PPPIR");
}

TEST(RoleDialogModel, ColumnsSharingANameStayDistinctColumns) {
  auto s = stateWith({"X", "X", "Z", "Y"});
  RoleDialogModel m(*s);
  m.ok();
  m.applyTo(*s);
  EXPECT_EQ((std::vector<int>{s->XCOL[1], s->XCOL[2], s->XCOL[3]}), (std::vector<int>{1, 2, 3}));
}

TEST(RoleDialogModel, NothingChangesAfterAnExit) {
  const auto s = stateWith({"A", "B", "C", "Y"});
  RoleDialogModel m(*s);
  m.ok();
  EXPECT_FALSE(m.moveRight());
  EXPECT_FALSE(m.moveLeft());
  m.cancel();
  EXPECT_EQ(m.exit(), RoleDialogModel::Exit::kApplied);
  EXPECT_EQ(m.predictors().size(), 3u);
}

TEST(RoleDialogModel, ASinglePredictorCanStillSwapWithTheResponse) {
  const auto s = stateWith({"X", "Y"});
  RoleDialogModel m(*s);
  EXPECT_FALSE(m.moveRight());
  EXPECT_TRUE(m.moveLeft());
  EXPECT_EQ(m.response().name, "X");
  EXPECT_EQ(names(m.predictors()), (Names{"Y"}));
}

}  // namespace
}  // namespace tolvane
