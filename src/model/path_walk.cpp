#include "model/path_walk.hpp"

#include <cmath>
#include <cstdio>
#include <string>

namespace tolvane {

bool walkPath(const AnalysisState& s, PathWalk* walk) {
  *walk = PathWalk{};
  if (s.RANK < 1 || s.RANK > s.P || s.MSTEPS < 1 || s.NSTEPS != s.RANK * s.MSTEPS + 1) {
    return false;
  }
  double k = 0.0;
  for (int step = 1; step <= s.NSTEPS; ++step) {
    const double m = static_cast<double>(step - 1) / s.MSTEPS;
    DeltaRow delta{};
    double next = k;
    if (!deltaFactorsAt(s, m, k, delta, &next)) {
      *walk = PathWalk{};
      return false;
    }
    k = next;
    walk->mcal.push_back(m);
    walk->k.push_back(k);
    walk->delta.push_back(delta);
  }
  return true;
}

bool deltaFactorsAtMcal(const AnalysisState& s, const PathWalk& walk, double m, DeltaRow* delta,
                        double* k) {
  const int R = s.RANK;
  if (walk.steps() < 1 || !(m >= 0.0) || m > R) return false;
  // The step at or below m: its constant lies at or below the solution at m.
  int below = static_cast<int>(std::floor(m * s.MSTEPS + 1e-9));
  below = std::min(std::max(below, 0), walk.steps() - 1);
  if (std::fabs(walk.mcal[below] - m) <= 1e-12) {
    *delta = walk.delta[below];
    *k = walk.k[below];
    return true;
  }
  double kk = walk.k[below];
  const double eps = s.EPS;
  const double tol = s.SHAPECODE == PathShape::kLasso ? eps * eps : eps;
  DeltaRow d{};
  for (int round = 0; round < 8; ++round) {
    double next = kk;
    if (!deltaFactorsAt(s, m, kk, d, &next)) return false;
    kk = next;
    double sum = 0.0;
    for (int i = 1; i <= R; ++i)
      sum += d[i];
    if (std::fabs(sum - (R - m)) <= tol) break;
  }
  *delta = d;
  *k = kk;
  return true;
}

std::string pathName(const AnalysisState& s) {
  const char* heading = namesOf(s.SHAPECODE).heading;
  if (heading != nullptr) return std::string(heading) + " Shape";
  // Q without the field width of the report headings.
  char text[32];
  std::snprintf(text, sizeof text, "Q=%.1f Shape", static_cast<double>(s.QSHAPE));
  return text;
}

}  // namespace tolvane
