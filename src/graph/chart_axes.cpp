#include "graph/chart_axes.hpp"

#include <algorithm>
#include <cmath>

namespace tolvane {

double niceStep(double span, double parts, double minStep) {
  const double rough = span / parts;
  const double mag = std::pow(10.0, std::floor(std::log10(rough)));
  double step = mag;
  for (double f : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    step = f * mag;
    if (rough <= step) break;
  }
  return std::max(step, minStep);
}

std::string labelFormat(double step) {
  if (!(step >= 1e-6 && step < 1e7)) return "%.3g";
  int decimals = 0;
  while (decimals < 7 && std::fabs(step * std::pow(10.0, decimals) -
                                   std::round(step * std::pow(10.0, decimals))) > 1e-9) {
    ++decimals;
  }
  return "%." + std::to_string(decimals) + "f";
}

AxisScale mcalScale(double lo, double hi) {
  if (!(hi > lo)) hi = lo + 1.0;
  const double step = niceStep(hi - lo, 10.0, hi - lo >= 1.0 ? 1.0 : 0.0);
  return {lo, hi, step, labelFormat(step)};
}

AxisScale valueScale(double lo, double hi) {
  if (!(lo <= hi)) {
    lo = 0.0;
    hi = 1.0;
  }
  if (hi - lo < 1e-12 * std::max(1.0, std::fabs(hi))) {
    const double pad = std::max(1e-3, std::fabs(hi) * 0.1);
    lo -= pad;
    hi += pad;
  }
  const double step = niceStep(hi - lo, 5.0, 0.0);
  return {std::floor(lo / step) * step, std::ceil(hi / step) * step, step, labelFormat(step)};
}

double distanceToSegment(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax;
  const double dy = by - ay;
  const double len2 = dx * dx + dy * dy;
  double t = 0.0;
  if (len2 > 0.0) t = std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0);
  const double ex = ax + t * dx - px;
  const double ey = ay + t * dy - py;
  return std::sqrt(ex * ex + ey * ey);
}

}  // namespace tolvane
