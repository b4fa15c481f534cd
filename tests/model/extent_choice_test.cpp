// Choosing the extent: the names and numbers read, the criterion's MCAL,
// the delta factors solved at exactly that MCAL, and the refusals.
#include "model/extent_choice.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/extent_criteria.hpp"
#include "model_fixture.hpp"

namespace tolvane::test {
namespace {

TEST(ExtentRequest, ReadsEveryCriterionInAnyCaseAndNumbersAndRefusesTheRest) {
  for (const char* name :
       {"clik", "ebays", "rcoef", "gup", "gcv", "loo", "hkb", "lw", "aic", "bic"}) {
    const auto r = parseExtentRequest(name);
    ASSERT_TRUE(r) << name;
    EXPECT_EQ(extentRequestText(*r), name);
    std::string upper = name;
    for (char& c : upper)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_TRUE(parseExtentRequest(upper));
    EXPECT_EQ(parseExtentRequest(upper)->criterion, r->criterion);
  }
  const auto number = parseExtentRequest("1.25");
  ASSERT_TRUE(number);
  EXPECT_EQ(number->criterion, ExtentCriterion::kMcal);
  EXPECT_EQ(number->mcal, 1.25);
  for (const char* bad : {"", "1.2x", "nan", "inf", "cv", " 1"}) {
    const auto refused = parseExtentRequest(bad);
    EXPECT_FALSE(refused) << bad;
    EXPECT_NE(refused.message().find("neither a criterion"), std::string::npos) << bad;
  }
}

TEST_F(ModelFixture, ExactMcalSolvesTheDeltaFactorsBetweenStepsOnEveryFamily) {
  ASSERT_TRUE(analyse(examplePath("plant.ayq"), kCenterRescale));
  for (const PathShapeNames& family : kPathShapes) {
    const PathShape shape = family.shape;
    for (const char* q : {"-3", "0", "1", "2.5"}) {
      if (shape != PathShape::kQShape && q[0] != '0') continue;
      ASSERT_TRUE(reselect(shape, q, kStepsOne));
      SCOPED_TRACE(::testing::Message() << "shape " << family.word << " Q " << q);
      const double tol = (shape == PathShape::kLasso ? 1e-10 : 1e-5);
      double previousK = -1.0;
      for (double m = 0.0; m <= s.RANK; m += 0.37) {
        ChosenExtent e;
        std::string why;
        ASSERT_TRUE(passed(chooseExtent(s, walk, cc, {ExtentCriterion::kMcal, m}, &e), &why))
            << why;
        double sum = 0.0;
        for (int i = 1; i <= s.RANK; ++i) {
          EXPECT_GE(e.delta[i], 0.0);
          EXPECT_LE(e.delta[i], 1.0);
          sum += e.delta[i];
        }
        for (int i = s.RANK + 1; i <= s.P; ++i)
          EXPECT_EQ(e.delta[i], 0.0);
        EXPECT_NEAR(sum, s.RANK - m, tol) << m;
        EXPECT_EQ(e.mcal, m);
        // More shrinkage needs a larger constant.
        EXPECT_GE(e.k, previousK) << m;
        previousK = e.k;
      }
      // On a step the factors are the path's own (DYQ keeps them as stored).
      for (int step = 1; step <= s.NSTEPS; ++step) {
        ChosenExtent e;
        std::string why;
        ASSERT_TRUE(
            passed(chooseExtent(s, walk, cc, {ExtentCriterion::kMcal, step - 1.0}, &e), &why));
        for (int i = 1; i <= s.P; ++i) {
          const double kept = s.precision == Precision::kSingle
                                  ? static_cast<double>(static_cast<float>(e.delta[i]))
                                  : e.delta[i];
          EXPECT_EQ(kept, s.DYQ.data[step][i]) << step << " " << i;
        }
      }
    }
  }
}

TEST_F(ModelFixture, LikelihoodCriteriaChooseTheStepsTheTableMarks) {
  ASSERT_TRUE(
      analyse(examplePath("hald.ayq"), kCenterRescale, PathShape::kQShape, "-1", kStepsEight));
  const ExtentMinima minima = extentMinima(s.THREEYQ, s.RANK);
  const auto mcalOf = [&](ExtentCriterion c) {
    ChosenExtent e;
    std::string why;
    EXPECT_TRUE(passed(chooseExtent(s, walk, cc, {c, 0.0}, &e), &why)) << why;
    return e.mcal;
  };
  EXPECT_EQ(mcalOf(ExtentCriterion::kClik), s.THREEYQ.data[minima.clikStep][1]);
  EXPECT_EQ(mcalOf(ExtentCriterion::kGup), s.THREEYQ.data[minima.gupStep][1]);
  // The EBAYS and RCOEF choices hold their column's smallest value.
  for (auto [c, column] : {std::pair{ExtentCriterion::kEbays, 5}, {ExtentCriterion::kRcoef, 4}}) {
    const double mcal = mcalOf(c);
    const int step = static_cast<int>(std::lround(mcal * s.MSTEPS)) + 1;
    for (int other = 2; other <= s.NSTEPS; ++other)
      EXPECT_LE(s.THREEYQ.data[step][column], s.THREEYQ.data[other][column]);
  }
  // The default is CLIK.
  EXPECT_EQ(ExtentRequest{}.criterion, ExtentCriterion::kClik);
  // Every criterion has a mark on the charts, each at its own MCAL.
  const std::vector<CriterionMark> marks = criterionMarks(s, walk, cc);
  EXPECT_EQ(marks.size(), 10u);
  for (const CriterionMark& m : marks) {
    EXPECT_GE(m.mcal, 0.0) << m.label;
    EXPECT_LE(m.mcal, s.RANK) << m.label;
  }
}

TEST_F(ModelFixture, RefusesAnExtentOutsideTheRankAndWarnsForAnotherPathsRidgeRule) {
  ASSERT_TRUE(
      analyse(examplePath("hald.ayq"), kCenterRescale, PathShape::kQShape, "2", kStepsFour));
  ChosenExtent e;
  std::string why;
  for (double bad : {-0.001, s.RANK + 0.001, 1e9}) {
    why.clear();
    EXPECT_FALSE(passed(chooseExtent(s, walk, cc, {ExtentCriterion::kMcal, bad}, &e), &why)) << bad;
    EXPECT_NE(why.find("outside [0, RANK] = [0, 4]"), std::string::npos) << why;
  }
  for (double edge : {0.0, static_cast<double>(s.RANK)})
    EXPECT_TRUE(passed(chooseExtent(s, walk, cc, {ExtentCriterion::kMcal, edge}, &e), &why)) << why;
  ASSERT_TRUE(passed(chooseExtent(s, walk, cc, {ExtentCriterion::kLw, 0.0}, &e), &why)) << why;
  EXPECT_NE(e.warning.find("belongs to the Q = 0 path"), std::string::npos) << e.warning;
  EXPECT_NEAR(e.mcal, cc.lw.mcal, 1e-12);
  // Without a traced path nothing can be chosen.
  PathWalk none;
  EXPECT_FALSE(passed(chooseExtent(s, none, cc, {ExtentCriterion::kMcal, 1.0}, &e), &why));
}

}  // namespace
}  // namespace tolvane::test
