#include "matrix/rank_one_eigen.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "matrix/vector_targets.hpp"

namespace tolvane {

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();
constexpr int kMaxIterations = 100;
// After this many model steps every other step bisects, so that a root the
// model approaches slowly is still found in bounded time.
constexpr int kModelSteps = 20;
// A model step this small, relative to tau, is the last one needed.
constexpr double kLastStep = 1e-9;
// Roots searched side by side, one to a vector lane: eight doubles fill an
// AVX-512 register, two AVX2 ones or four SSE2 ones. Each root's sums keep
// their own order of additions, whatever the width.
constexpr int kLanes = 8;

// The secular function's four sums for kLanes roots at once, one root to a
// lane: at lambda = base + tau, psi and its slope over the poles up to the
// lane's split, phi and its slope beyond. Each lane adds its terms in pole
// order, whatever the other lanes hold, so a root's result does not depend
// on the roots beside it. Built for AVX-512, AVX2 and the baseline and
// chosen when the program starts; every operation is per lane, so each gives
// the same bits.
using Lanes = double __attribute__((vector_size(kLanes * sizeof(double))));
using LaneIndex = long long __attribute__((vector_size(kLanes * sizeof(long long))));

TOLVANE_VECTOR_TARGETS void laneSums(const double* pole, const double* mass, int count,
                                     const LaneIndex& split, const Lanes& base, const Lanes& tau,
                                     Lanes& psiOut, Lanes& dpsiOut, Lanes& phiOut, Lanes& dphiOut) {
  const Lanes zero = {};
  Lanes psi = zero, dpsi = zero, phi = zero, dphi = zero;
  for (int j = 0; j < count; ++j) {
    const Lanes r = 1.0 / ((pole[j] - base) - tau);
    const Lanes t = mass[j] * r;
    const Lanes dt = t * r;
    const LaneIndex left = j <= split;
    psi += left ? t : zero;
    dpsi += left ? dt : zero;
    phi += left ? zero : t;
    dphi += left ? zero : dt;
  }
  psiOut = psi;
  dpsiOut = dpsi;
  phiOut = phi;
  dphiOut = dphi;
}

// zhat[i] *= (tau - (pole[i] - base)) / (pole[k or k + 1] - pole[i]) for
// every i: one root's factors of the recomputed z, across whole vectors.
TOLVANE_VECTOR_TARGETS void multiplyRootFactors(double* __restrict zhat,
                                                const double* __restrict pole, int count, int k,
                                                double base, double tau) {
  for (int i = 0; i < count; ++i) {
    const double num = tau - (pole[i] - base);
    const double den = (k < i ? pole[k] : pole[k + 1]) - pole[i];
    zhat[i] *= num / den;
  }
}

}  // namespace

void RankOneEigen::reserve(int n) {
  const auto size = static_cast<std::size_t>(n);
  for (std::vector<double>* v : {&d_, &z_, &pole_, &mass_, &tau_, &zhat_, &values_})
    v->reserve(size);
  for (std::vector<int>* v : {&order_, &secular_, &deflated_, &origin_, &source_})
    v->reserve(size);
  rotations_.reserve(size);
  sorted_.reserve(size);
}

bool RankOneEigen::compute(std::span<const double> d, std::span<const double> z, double rho) {
  n_ = static_cast<int>(d.size());
  secular_.clear();
  deflated_.clear();
  rotations_.clear();
  bool finite = std::isfinite(rho) && z.size() == d.size();
  for (int i = 0; i < n_ && finite; ++i)
    finite = std::isfinite(d[i]) && std::isfinite(z[i]);

  // With a negative weight, -S = diag(-d) + |rho| z z' has the standard form.
  flipped_ = rho < 0.0;
  d_.resize(n_);
  z_.resize(n_);
  double zmax = 0.0;
  for (int i = 0; i < n_ && finite; ++i) {
    d_[i] = flipped_ ? -d[i] : d[i];
    zmax = std::max(zmax, std::fabs(z[i]));
  }
  double norm = 0.0;
  if (finite && zmax > 0.0) {
    for (int i = 0; i < n_; ++i)
      norm += (z[i] / zmax) * (z[i] / zmax);
    norm = zmax * std::sqrt(norm);
  }
  weight_ = std::fabs(rho) * norm * norm;
  if (!finite || !std::isfinite(weight_)) {
    n_ = 0;
    values_.clear();
    source_.clear();
    return false;
  }
  for (int i = 0; i < n_; ++i)
    z_[i] = norm > 0.0 ? z[i] / norm : 0.0;

  deflate();
  const int K = static_cast<int>(secular_.size());
  pole_.resize(K);
  mass_.resize(K);
  for (int k = 0; k < K; ++k) {
    pole_[k] = d_[secular_[k]];
    mass_[k] = weight_ * z_[secular_[k]] * z_[secular_[k]];
  }
  origin_.assign(K, 0);
  tau_.assign(K, 0.0);
  solveRoots();
  recomputeZ();

  // Every eigenvalue with where it came from, in ascending order of S.
  sorted_.clear();
  for (int k = 0; k < K; ++k)
    sorted_.emplace_back(pole_[origin_[k]] + tau_[k], k);
  for (int i = 0; i < static_cast<int>(deflated_.size()); ++i)
    sorted_.emplace_back(d_[deflated_[i]], -1 - i);
  if (flipped_) {
    for (auto& v : sorted_)
      v.first = -v.first;
  }
  std::sort(sorted_.begin(), sorted_.end());
  values_.resize(n_);
  source_.resize(n_);
  for (int i = 0; i < n_; ++i) {
    values_[i] = sorted_[i].first;
    source_[i] = sorted_[i].second;
  }
  return true;
}

// Components too small to matter and pairs of diagonal entries too close to
// tell apart leave the secular equation: a negligible component is dropped
// (its unit vector is an eigenvector), and a close pair is rotated so that
// all of their weight sits on one of them. What is neglected each time is
// below tol, a few roundings of the matrix's norm.
void RankOneEigen::deflate() {
  order_.resize(n_);
  for (int i = 0; i < n_; ++i)
    order_[i] = i;
  std::sort(order_.begin(), order_.end(),
            [this](int a, int b) { return d_[a] < d_[b] || (d_[a] == d_[b] && a < b); });
  if (weight_ == 0.0) {
    deflated_ = order_;
    return;
  }
  double dmax = 0.0;
  for (double v : d_)
    dmax = std::max(dmax, std::fabs(v));
  const double tol = 8.0 * kEps * std::max(dmax, weight_);

  int prev = -1;
  for (int idx : order_) {
    if (weight_ * std::fabs(z_[idx]) <= tol) {
      z_[idx] = 0.0;
      deflated_.push_back(idx);
      continue;
    }
    if (prev < 0) {
      prev = idx;
      continue;
    }
    const double tau = std::hypot(z_[prev], z_[idx]);
    const double c = z_[idx] / tau;
    const double s = -z_[prev] / tau;
    // The off-diagonal element the rotation leaves between the two.
    if (std::fabs((d_[idx] - d_[prev]) * c * s) <= tol) {
      const double dp = d_[prev] * c * c + d_[idx] * s * s;
      const double dn = d_[prev] * s * s + d_[idx] * c * c;
      d_[prev] = dp;
      d_[idx] = dn;
      z_[prev] = 0.0;
      z_[idx] = tau;
      rotations_.push_back({prev, idx, c, s});
      deflated_.push_back(prev);
    } else {
      secular_.push_back(prev);
    }
    prev = idx;
  }
  if (prev >= 0) secular_.push_back(prev);
}

// Root k lies between poles k and k + 1 (above the last pole for the last
// root). It is sought as tau = lambda - d of the nearer pole, so that every
// d - lambda is formed without cancellation, in a bracket that every
// evaluation narrows, by Li's "middle way": f is modelled by a constant and
// the two neighbouring poles, matched in value and slope, and the model's
// root is the next iterate; Newton's step or bisection stand in when the
// model's root leaves the bracket. kLanes roots are solved side by side, so
// that their evaluations share whole vectors; each follows its own course.
void RankOneEigen::solveRoots() {
  const int K = static_cast<int>(pole_.size());
  auto start = [&](Root& root, int k) {
    root = Root{};
    root.stage = Root::kMidpoint;
    root.k = root.origin = k;
    if (k == K - 1) {
      // z is a unit vector, so lambda <= d + weight; the bracket reaches past
      // that so that a root at the bound (one pole) stays inside it.
      root.lo = 0.0;
      root.hi = 2.0 * weight_;
      root.tau = 0.5 * weight_;
    } else {
      root.tau = 0.5 * (pole_[k + 1] - pole_[k]);
    }
    root.base = pole_[k];
  };
  // A lane whose root is found takes the next one, so the lanes stay busy.
  Root roots[kLanes];
  int next = 0;
  for (Root& root : roots) {
    if (next < K) start(root, next++);
  }
  LaneIndex split;
  Lanes base, tau, psi, dpsi, phi, dphi;
  for (;;) {
    int busy = -1;
    for (int l = 0; l < kLanes && busy < 0; ++l) {
      if (roots[l].stage != Root::kDone) busy = l;
    }
    if (busy < 0) break;
    for (int l = 0; l < kLanes; ++l) {
      // Idle lanes repeat a busy lane's evaluation.
      const Root& root = roots[roots[l].stage != Root::kDone ? l : busy];
      split[l] = root.k;
      base[l] = root.base;
      tau[l] = root.tau;
    }
    laneSums(pole_.data(), mass_.data(), K, split, base, tau, psi, dpsi, phi, dphi);
    for (int l = 0; l < kLanes; ++l) {
      Root& root = roots[l];
      if (root.stage == Root::kDone) continue;
      root.s = Secular{1.0 + psi[l] + phi[l], psi[l], phi[l], dpsi[l], dphi[l]};
      advance(root);
      if (root.stage != Root::kDone) continue;
      // A root that landed on a pole would make its eigenvector infinite.
      if (root.tau == 0.0) {
        root.tau = root.origin == root.k ? std::numeric_limits<double>::denorm_min()
                                         : -std::numeric_limits<double>::denorm_min();
      }
      origin_[root.k] = root.origin;
      tau_[root.k] = root.tau;
      if (next < K) start(root, next++);
    }
  }
}

// One step of a root once f is known at its tau: the bracket first (after the
// midpoint, which also tells which pole is nearer; f rises from one pole to
// the next), then either the end or the next tau to evaluate.
void RankOneEigen::advance(Root& root) const {
  const int K = static_cast<int>(pole_.size());
  const int k = root.k;
  const Secular& s = root.s;
  if (root.stage == Root::kMidpoint) {
    if (k < K - 1) {
      const double gap = pole_[k + 1] - pole_[k];
      if (s.f >= 0.0) {
        root.lo = 0.0;
        root.hi = gap;
      } else {
        root.origin = k + 1;
        root.lo = -gap;
        root.hi = 0.0;
        root.tau = -0.5 * gap;
      }
    }
    root.base = pole_[root.origin];
    root.stage = Root::kModel;
  }
  const double deltaK = pole_[k] - root.base;
  const double deltaK1 = k + 1 < K ? pole_[k + 1] - root.base : 0.0;
  double& lo = root.lo;
  double& hi = root.hi;
  const double tau = root.tau;
  const int iter = root.iter++;

  const double w = s.f;
  const double slope = s.dpsi + s.dphi;
  const double magnitude = 1.0 + std::fabs(s.psi) + std::fabs(s.phi);
  if (w < 0.0) {
    lo = tau;
  } else if (w > 0.0) {
    hi = tau;
  }
  if (iter >= kMaxIterations || w == 0.0 ||
      std::fabs(w) <= kEps * (8.0 * magnitude + std::fabs(tau) * slope) ||
      hi - lo <= 2.0 * kEps * std::max(std::fabs(lo), std::fabs(hi))) {
    root.stage = Root::kDone;
    return;
  }

  const double di = deltaK - tau;
  double eta = std::numeric_limits<double>::quiet_NaN();
  if (k + 1 < K) {
    const double dj = deltaK1 - tau;
    const double c = w - di * s.dpsi - dj * s.dphi;
    const double a = (di + dj) * w - di * dj * slope;
    const double b = di * dj * w;
    if (c == 0.0) {
      eta = b / a;
    } else {
      const double disc = a * a - 4.0 * b * c;
      if (disc >= 0.0) {
        eta = a <= 0.0 ? (a - std::sqrt(disc)) / (2.0 * c) : 2.0 * b / (a + std::sqrt(disc));
      }
    }
  } else {
    const double c = w - di * s.dpsi;
    if (c != 0.0) eta = di + di * di * s.dpsi / c;
  }
  if (!std::isfinite(eta) || w * eta >= 0.0) eta = -w / slope;
  double next = tau + eta;
  if (!(next > lo && next < hi) || (iter >= kModelSteps && iter % 2 == 1)) {
    next = 0.5 * (lo + hi);
  } else if (std::fabs(eta) <= kLastStep * std::fabs(tau)) {
    // The iteration converges quadratically, with a constant of about
    // 1 / |tau| (the nearer pole is the origin): the error after this
    // step is near eta^2 / |tau|, below the rounding of tau.
    root.tau = next;
    root.stage = Root::kDone;
    return;
  }
  if (next == tau) {
    root.stage = Root::kDone;
    return;
  }
  root.tau = next;
}

// The z for which the computed roots are exact eigenvalues:
// weight zhat_i^2 = prod_k (lambda_k - d_i) / prod_{k != i} (d_k - d_i), each
// factor paired with a neighbouring pole so that every quotient is positive
// and near one. Eigenvectors built from it are orthogonal to working
// precision. Only its direction matters, so the weight is left out.
void RankOneEigen::recomputeZ() {
  const int K = static_cast<int>(pole_.size());
  zhat_.resize(K);
  if (K == 0) return;
  for (int i = 0; i < K; ++i)
    zhat_[i] = -gap(i, K - 1);
  for (int k = 0; k + 1 < K; ++k) {
    multiplyRootFactors(zhat_.data(), pole_.data(), K, k, pole_[origin_[k]], tau_[k]);
  }
  for (int i = 0; i < K; ++i)
    zhat_[i] = std::copysign(std::sqrt(std::max(zhat_[i], 0.0)), z_[secular_[i]]);
}

void RankOneEigen::vector(int k, std::span<double> out) const {
  std::fill(out.begin(), out.begin() + n_, 0.0);
  if (k < 0 || k >= n_) return;
  const int src = source_[k];
  if (src >= 0) {
    const int K = static_cast<int>(secular_.size());
    double largest = 0.0;
    for (int i = 0; i < K; ++i) {
      const double u = zhat_[i] / gap(i, src);
      out[secular_[i]] = u;
      largest = std::max(largest, std::fabs(u));
    }
    if (largest == 0.0) return;
    double ss = 0.0;
    for (int i = 0; i < K; ++i)
      ss += (out[secular_[i]] / largest) * (out[secular_[i]] / largest);
    const double norm = largest * std::sqrt(ss);
    for (int i = 0; i < K; ++i)
      out[secular_[i]] /= norm;
  } else {
    out[deflated_[-1 - src]] = 1.0;
  }
  // Undo the deflation's rotations, the last first.
  for (auto r = rotations_.rbegin(); r != rotations_.rend(); ++r) {
    const double xi = out[r->i], xj = out[r->j];
    out[r->i] = r->c * xi - r->s * xj;
    out[r->j] = r->s * xi + r->c * xj;
  }
}

}  // namespace tolvane
