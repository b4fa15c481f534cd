// Test helpers for resampling: an analysed state with a traced path, built
// from rows of raw data (the last column is the response) or read from an
// example file, without output files.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/analysis_state.hpp"
#include "engine/least_squares.hpp"
#include "engine/select_shape.hpp"
#include "input/model_setup.hpp"
#include "report/report.hpp"
#include "support/example_run.hpp"

namespace tolvane::test {

// Rows of NVAR values; names x1.. and y for the last column. Builds the
// model, runs least squares and traces the path; the report lines are held
// back. False when any stage stops.
inline bool analyseRows(AnalysisState& s, const std::vector<std::vector<double>>& rows,
                        PathPick pick = {}, int scaleButton = kCenterRescale) {
  std::vector<std::string> held;
  ReportCapture capture(&held);
  s.reset();
  s.NVAR = static_cast<int>(rows.at(0).size());
  s.NOBS = static_cast<int>(rows.size());
  s.XPXFORM = 0;
  for (int j = 1; j <= s.NVAR; ++j)
    s.VNAME[j] = j == s.NVAR ? "y" : "x" + std::to_string(j);
  if (!s.DATA.allocate(s.NOBS, s.NVAR)) return false;
  for (int i = 1; i <= s.NOBS; ++i) {
    for (int j = 1; j <= s.NVAR; ++j)
      s.DATA.data[i][j] = toFloat(rows[i - 1][j - 1]);
  }
  ScriptedDialogs dialogs(scaleButton);
  if (!setUpModel(s, dialogs).completed()) return false;
  if (!LEAST_SQUARES(s)) return false;
  return SELECT_SHAPE(s, pick, 1);
}

// Reads an example of the repository through a whole batch input run (its
// output files go to `dir`) and traces the path.
inline bool analyseExample(AnalysisState& s, const std::string& name, const std::string& dir,
                           PathPick pick = {}) {
  std::vector<std::string> held;
  ReportCapture capture(&held);
  return runDataFile(s, examplePath(name), dir) && SELECT_SHAPE(s, pick, 1);
}

// A fixed generator for simulated data, independent of the one under test.
class Normal {
 public:
  explicit Normal(std::uint64_t seed) : state_(seed * 0x9e3779b97f4a7c15ULL + 1) {}
  double uniform() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return (static_cast<double>(state_ >> 11) + 0.5) / 9007199254740992.0;
  }
  // Box-Muller.
  double operator()() {
    const double u = uniform(), v = uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
  }

 private:
  std::uint64_t state_;
};

// y = X beta + noise with three predictors sharing a common factor (pairwise
// correlation about rho), N rows.
inline std::vector<std::vector<double>> linearModelRows(Normal& draw, int n,
                                                        const std::vector<double>& beta, double rho,
                                                        double sigma) {
  std::vector<std::vector<double>> rows;
  const double a = std::sqrt(rho), b = std::sqrt(1.0 - rho);
  for (int i = 0; i < n; ++i) {
    const double common = draw();
    std::vector<double> row;
    double y = 0.0;
    for (double bj : beta) {
      const double x = a * common + b * draw();
      row.push_back(x);
      y += bj * x;
    }
    row.push_back(y + sigma * draw());
    rows.push_back(row);
  }
  return rows;
}

}  // namespace tolvane::test
