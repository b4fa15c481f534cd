#include "engine/excess_rank_one.hpp"

#include <cmath>
#include <new>

#include "matrix/column_sums.hpp"

namespace tolvane {

bool ExcessStep::reserve(int p, ExcessSolver solver, ExcessResult& out) noexcept {
  try {
    const auto size = static_cast<std::size_t>(p);
    for (std::vector<double>* v :
         {&v_, &floor_, &extra_, &diag_, &own_, &gv_, &fl_, &out.risk, &out.e, &out.u})
      v->reserve(size);
    rankOne_.reserve(p);
    if (solver == ExcessSolver::kDense) {
      dense_.resize(p, p);
      // Built in place: the sized constructor leaves the status unset, and
      // moving it would read that.
      denseSolver_.emplace(p);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool ExcessStep::run(const ExcessInputs& in, const double* delta, ExcessSolver solver,
                     ExcessResult& out) {
  const int p = in.p, r = in.r;
  v_.assign(p, 0.0);
  floor_.assign(p, 0.0);
  extra_.assign(p, 0.0);
  diag_.assign(p, 0.0);
  out.risk.assign(p, 0.0);

  // Bias vector v and the diagonal that M adds to F v v', with the variance
  // floor m: M[i][i] = max(F v(i)^2 + (2 delta - 1) / sv^2, m(i)).
  for (int i = 0; i < r; ++i) {
    const double sv2 = in.sv[i] * in.sv[i];
    if (delta[i] < 1.0) v_[i] = (1.0 - delta[i]) * (in.t[i] / in.sv[i]);
    // delta^2 / sv^2 rather than (delta / sv)^2: at delta = 1 the floor is
    // then the very number D[i][i] is, and the first step's excess is 0.
    floor_[i] = delta[i] * delta[i] / sv2;
    const double rankOne = in.F * v_[i] * v_[i];
    const double own = (2.0 * delta[i] - 1.0) / sv2;
    const double mii = rankOne + own;
    extra_[i] = mii < floor_[i] ? floor_[i] - rankOne : own;
    // The excess matrix's diagonal, D[i][i] - M[i][i], less its rank-one part.
    diag_[i] = 1.0 / sv2 - extra_[i];
  }
  // Beyond the rank M[i][i] = 0 = m(i): nothing to add.

  // Coefficient risks: diag(G M G')[j] = sum_i G[j][i]^2 extra(i) + F (G v)(j)^2,
  // floored by diag(G diag(m) G').
  own_.resize(p);
  gv_.resize(p);
  fl_.resize(p);
  riskSumsByColumns(in.Gt, p, extra_.data(), v_.data(), floor_.data(), own_.data(), gv_.data(),
                    fl_.data());
  for (int j = 0; j < p; ++j) {
    const double risk = own_[j] + in.F * gv_[j] * gv_[j];
    out.risk[j] = risk < fl_[j] ? fl_[j] : risk;
  }

  // Scaling: the smallest absolute diagonal element of A = diag - F v v'
  // becomes 100 (when it is above the tolerance).
  double sigma = std::fabs(diag_[0] - in.F * v_[0] * v_[0]);
  for (int i = 1; i < p; ++i)
    sigma = std::fmin(sigma, std::fabs(diag_[i] - in.F * v_[i] * v_[i]));
  if (sigma > in.eps) {
    sigma /= 100.0;
    for (int i = 0; i < p; ++i)
      diag_[i] /= sigma;
  } else {
    sigma = 1.0;
  }
  out.sigma = sigma;
  return decompose(p, in.F / sigma, solver, out);
}

// The eigenvalues of diag_ - F v v' in descending order, and the unit
// eigenvector of the smallest.
bool ExcessStep::decompose(int p, double F, ExcessSolver solver, ExcessResult& out) {
  out.e.assign(p, 0.0);
  out.u.assign(p, 0.0);
  if (solver == ExcessSolver::kRankOne) {
    if (!rankOne_.compute(diag_, v_, -F)) return false;
    for (int k = 0; k < p; ++k)
      out.e[k] = rankOne_.values()[p - 1 - k];
    rankOne_.vector(0, out.u);
    return true;
  }
  dense_.resize(p, p);
  for (int i = 0; i < p; ++i) {
    for (int j = 0; j < p; ++j)
      dense_(i, j) = (i == j ? diag_[i] : 0.0) - F * v_[i] * v_[j];
  }
  if (!denseSolver_) denseSolver_.emplace(p);
  denseSolver_->compute(dense_);
  if (denseSolver_->info() != Eigen::Success) return false;
  for (int k = 0; k < p; ++k) {
    out.e[k] = denseSolver_->eigenvalues()(p - 1 - k);
    out.u[k] = denseSolver_->eigenvectors()(k, 0);
  }
  return true;
}

}  // namespace tolvane
