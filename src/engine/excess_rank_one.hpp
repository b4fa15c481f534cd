// The risk and excess part of a ridge-trace step in double precision, in
// O(P^2): the component risk matrix M is F v v' plus a diagonal, so the
// coefficient risks diag(G M G') need no P x P product and the excess matrix
// D - M is a diagonal minus a rank-one matrix, whose eigenvalues and smallest
// eigenvector come from the secular equation (RankOneEigen).
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <vector>

#include "matrix/rank_one_eigen.hpp"

namespace tolvane {

// Which eigen-solver decomposes the scaled excess matrix. kDense forms the
// whole matrix and uses a general symmetric solver: a check on, and a
// yardstick for, the rank-one solver.
enum class ExcessSolver { kRankOne, kDense };

// What a step reads besides its delta factors; all arrays 0-based.
struct ExcessInputs {
  int p = 0, r = 0;
  // G transposed, p x p: Gt[i * p + j] = G[j][i], so axis i lies end to end.
  const double* Gt = nullptr;
  const double* sv = nullptr;  // singular values, p
  const double* t = nullptr;   // component t-statistics, p
  double F = 0.0;              // bias weight
  double eps = 1.0e-5;         // tolerance of the scaling and the sign rules
};

// The results of one step: coefficient risks (before any change of scale),
// the scale sigma of the excess matrix, its scaled eigenvalues in descending
// order (e[p - 1] the smallest) and the unit eigenvector of the smallest in
// component coordinates (the last column of V).
struct ExcessResult {
  std::vector<double> risk, e, u;
  double sigma = 1.0;
};

// Working storage of one thread, reused from step to step.
class ExcessStep {
 public:
  // Bias vector, component risks, coefficient risks, excess matrix, its
  // scaling and its eigen-decomposition for the delta factors delta[0..p-1].
  // Returns false when the decomposition met a number that is not finite.
  bool run(const ExcessInputs& in, const double* delta, ExcessSolver solver, ExcessResult& out);
  // Makes room for p predictors (out included), so that run() allocates
  // nothing afterwards. False when memory is short.
  bool reserve(int p, ExcessSolver solver, ExcessResult& out) noexcept;

 private:
  bool decompose(int p, double F, ExcessSolver solver, ExcessResult& out);

  std::vector<double> v_, floor_, extra_, diag_, own_, gv_, fl_;
  RankOneEigen rankOne_;
  Eigen::MatrixXd dense_;
  std::optional<Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>> denseSolver_;
};

}  // namespace tolvane
