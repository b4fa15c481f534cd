#include "engine/path_shape.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

namespace tolvane {
namespace {

constexpr PathShape kEveryShape[] = {PathShape::kQShape, PathShape::kCrosr, PathShape::kGarrote,
                                     PathShape::kLasso};

std::string upper(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

TEST(PathShape, EveryShapeHasOneRowAndItsNamesLeadBackToIt) {
  ASSERT_EQ(std::size(kPathShapes), std::size(kEveryShape));
  for (PathShape shape : kEveryShape) {
    const PathShapeNames& n = namesOf(shape);
    EXPECT_EQ(n.shape, shape);
    int rows = 0;
    for (const PathShapeNames& row : kPathShapes)
      rows += row.shape == shape;
    EXPECT_EQ(rows, 1) << n.word;
    EXPECT_EQ(pathShapeOfWord(n.word), shape) << n.word;
    EXPECT_EQ(pathShapeOfWord(upper(n.word)), shape) << n.word;
    if (n.alias != nullptr) {
      EXPECT_EQ(pathShapeOfWord(n.alias), shape) << n.alias;
      EXPECT_EQ(pathShapeOfWord(upper(n.alias)), shape) << n.alias;
    }
    // The batch tool also takes the dialog's spelling.
    EXPECT_EQ(pathShapeOfWord(n.label), shape) << n.label;
  }
}

// A name of one kind told apart from the same kind of name of every other
// shape: a copied row would print one shape's name for another.
TEST(PathShape, NoTwoShapesShareAName) {
  std::set<std::string> words, labels, tags, buttons, families, headings;
  for (const PathShapeNames& n : kPathShapes) {
    EXPECT_TRUE(words.insert(n.word).second) << n.word;
    if (n.alias != nullptr) {
      EXPECT_TRUE(words.insert(n.alias).second) << n.alias;
    }
    EXPECT_TRUE(labels.insert(n.label).second) << n.label;
    EXPECT_TRUE(tags.insert(n.tag).second) << n.tag;
    EXPECT_TRUE(buttons.insert(n.button).second) << n.button;
    EXPECT_TRUE(families.insert(n.family).second) << n.family;
    if (n.heading != nullptr) {
      EXPECT_TRUE(headings.insert(n.heading).second) << n.heading;
    }
  }
  EXPECT_EQ(headings.size(), std::size(kPathShapes) - 1);  // the Q-shape family has Q instead
  EXPECT_EQ(namesOf(PathShape::kQShape).heading, nullptr);
}

TEST(PathShape, UnknownWordsAreRefused) {
  for (const char* word : {"", " ", "ridge", "qshape", "q-shap", "q ", "garrotte", "lass", "crosrs",
                           "Q-shape Q=0.5", "0", "1003", "GARROTE Shape"}) {
    EXPECT_FALSE(pathShapeOfWord(word)) << '"' << word << '"';
  }
}

TEST(PathShape, HeadingsNameTheFamilyOrItsQ) {
  EXPECT_EQ(pathHeading(PathShape::kQShape, 0.5), "Q= 0.5");
  EXPECT_EQ(pathHeading(PathShape::kQShape, -1.5), "Q=-1.5");
  EXPECT_EQ(pathHeading(PathShape::kQShape, 0.0), "Q= 0.0");
  EXPECT_EQ(pathHeading(PathShape::kGarrote, 0.5), "GARROTE");
  EXPECT_EQ(pathHeading(PathShape::kLasso, 0.5), "LASSO");
  EXPECT_EQ(pathHeading(PathShape::kCrosr, 0.5), "CROSR");
}

}  // namespace
}  // namespace tolvane
