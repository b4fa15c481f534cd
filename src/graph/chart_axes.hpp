// The arithmetic of a trace chart's axes and of a click on it, without Qt:
// where the marks go, how their labels read, and how far a press is from a
// drawn line.
#pragma once

#include <string>

namespace tolvane {

// An axis: its range, the distance between marks (whole multiples of it, so
// that 0 is a mark when it is in range) and the printf format of the labels.
struct AxisScale {
  double lo = 0.0, hi = 1.0, step = 1.0;
  std::string format;
};

// A step of 1, 2, 2.5 or 5 times a power of ten that cuts span into about
// `parts` intervals; never below minStep.
double niceStep(double span, double parts, double minStep);

// A printf format that shows multiples of step without noise digits.
std::string labelFormat(double step);

// The MCAL axis over [lo, hi] (widened to one unit when empty): marks at
// whole values when the span reaches 1, at most about ten of them.
AxisScale mcalScale(double lo, double hi);

// The value axis over the values' range [lo, hi]: 0 to 1 when there is none
// (lo > hi, or NaN), widened when flat, rounded outward to whole steps of
// about a fifth of the range.
AxisScale valueScale(double lo, double hi);

// Distance from (px, py) to the segment from (ax, ay) to (bx, by).
double distanceToSegment(double px, double py, double ax, double ay, double bx, double by);

}  // namespace tolvane
