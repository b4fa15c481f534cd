// The axes of a trace chart: marks at round steps with 0 among them, labels
// without noise digits, ranges that survive empty and flat traces, and the
// distance a click is measured by.
#include "graph/chart_axes.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tolvane {
namespace {

TEST(ChartAxes, StepsAreRoundAndLabelsCarryOnlyTheDigitsTheStepNeeds) {
  EXPECT_EQ(niceStep(10.0, 10.0, 0.0), 1.0);
  EXPECT_NEAR(niceStep(0.9, 5.0, 0.0), 0.2, 1e-15);
  EXPECT_EQ(niceStep(12.0, 5.0, 0.0), 2.5);
  EXPECT_EQ(niceStep(3.0e6, 5.0, 0.0), 1.0e6);
  EXPECT_EQ(niceStep(0.3, 10.0, 1.0), 1.0);  // the floor wins
  EXPECT_EQ(labelFormat(1.0), "%.0f");
  EXPECT_EQ(labelFormat(0.25), "%.2f");
  EXPECT_EQ(labelFormat(2.5e-4), "%.5f");
  EXPECT_EQ(labelFormat(1e-9), "%.3g");
  EXPECT_EQ(labelFormat(5e7), "%.3g");
}

TEST(ChartAxes, McalMarksAreWholeOverAUnitAndAnEmptyRangeGetsOne) {
  const AxisScale rank4 = mcalScale(0.0, 4.0);
  EXPECT_EQ(rank4.lo, 0.0);
  EXPECT_EQ(rank4.hi, 4.0);
  EXPECT_EQ(rank4.step, 1.0);
  EXPECT_EQ(rank4.format, "%.0f");
  EXPECT_EQ(mcalScale(0.0, 49.0).step, 5.0);
  EXPECT_NEAR(mcalScale(0.0, 0.5).step, 0.05, 1e-15);
  const AxisScale point = mcalScale(2.0, 2.0);
  EXPECT_EQ(point.hi, 3.0);
}

TEST(ChartAxes, ValueRangeRoundsOutwardSurvivesFlatAndEmptyTraces) {
  const AxisScale v = valueScale(-0.37, 1.12);
  EXPECT_LE(v.lo, -0.37);
  EXPECT_GE(v.hi, 1.12);
  EXPECT_DOUBLE_EQ(std::remainder(v.lo, v.step), 0.0);
  EXPECT_DOUBLE_EQ(std::remainder(v.hi, v.step), 0.0);
  EXPECT_LE(v.hi - v.lo, 1.49 + 2 * v.step);

  const AxisScale none =
      valueScale(std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(none.lo, 0.0);
  EXPECT_EQ(none.hi, 1.0);
  EXPECT_EQ(valueScale(std::nan(""), 1.0).hi, 1.0);

  // A constant trace (every shrinkage factor 1) still gets a range around it.
  const AxisScale flat = valueScale(1.0, 1.0);
  EXPECT_LT(flat.lo, 1.0);
  EXPECT_GT(flat.hi, 1.0);
  const AxisScale zero = valueScale(0.0, 0.0);
  EXPECT_LT(zero.lo, 0.0);
  EXPECT_GT(zero.hi, 0.0);
}

TEST(ChartAxes, DistanceToASegmentIsToItsNearestPointEndsIncluded) {
  EXPECT_DOUBLE_EQ(distanceToSegment(1.0, 1.0, 0.0, 0.0, 2.0, 0.0), 1.0);
  EXPECT_DOUBLE_EQ(distanceToSegment(5.0, 4.0, 0.0, 0.0, 2.0, 0.0), 5.0);  // past the end
  EXPECT_DOUBLE_EQ(distanceToSegment(3.0, 4.0, 0.0, 0.0, 0.0, 0.0), 5.0);  // a point
}

}  // namespace
}  // namespace tolvane
