#include "matrix/rank_one_eigen.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace tolvane {

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();
constexpr int kMaxIterations = 100;
// After this many model steps every other step bisects, so that a root the
// model approaches slowly is still found in bounded time.
constexpr int kModelSteps = 20;

}  // namespace

bool RankOneEigen::compute(std::span<const double> d, std::span<const double> z, double rho) {
  n_ = static_cast<int>(d.size());
  values_.assign(n_, 0.0);
  secular_.clear();
  deflated_.clear();
  rotations_.clear();
  source_.assign(n_, -1);
  bool finite = std::isfinite(rho) && z.size() == d.size();
  for (int i = 0; i < n_ && finite; ++i)
    finite = std::isfinite(d[i]) && std::isfinite(z[i]);
  if (!finite) {
    n_ = 0;
    values_.clear();
    return false;
  }

  // With a negative weight, -S = diag(-d) + |rho| z z' has the standard form.
  flipped_ = rho < 0.0;
  d_.resize(n_);
  z_.resize(n_);
  double zmax = 0.0;
  for (int i = 0; i < n_; ++i) {
    d_[i] = flipped_ ? -d[i] : d[i];
    zmax = std::max(zmax, std::fabs(z[i]));
  }
  double norm = 0.0;
  if (zmax > 0.0) {
    for (int i = 0; i < n_; ++i)
      norm += (z[i] / zmax) * (z[i] / zmax);
    norm = zmax * std::sqrt(norm);
  }
  weight_ = std::fabs(rho) * norm * norm;
  for (int i = 0; i < n_; ++i)
    z_[i] = norm > 0.0 ? z[i] / norm : 0.0;
  if (!std::isfinite(weight_)) {
    n_ = 0;
    values_.clear();
    return false;
  }

  deflate();
  const int K = static_cast<int>(secular_.size());
  origin_.assign(K, 0);
  tau_.assign(K, 0.0);
  for (int k = 0; k < K; ++k)
    solveRoot(k);
  recomputeZ();

  // Every eigenvalue with where it came from, in ascending order of S.
  std::vector<std::pair<double, int>> all;
  all.reserve(n_);
  for (int k = 0; k < K; ++k)
    all.emplace_back(d_[secular_[origin_[k]]] + tau_[k], k);
  for (int i = 0; i < static_cast<int>(deflated_.size()); ++i)
    all.emplace_back(d_[deflated_[i]], -1 - i);
  if (flipped_) {
    for (auto& v : all)
      v.first = -v.first;
  }
  std::sort(all.begin(), all.end());
  for (int i = 0; i < n_; ++i) {
    values_[i] = all[i].first;
    source_[i] = all[i].second;
  }
  return true;
}

// Components too small to matter and pairs of diagonal entries too close to
// tell apart leave the secular equation: a negligible component is dropped
// (its unit vector is an eigenvector), and a close pair is rotated so that
// all of their weight sits on one of them. What is neglected each time is
// below tol, a few roundings of the matrix's norm.
void RankOneEigen::deflate() {
  std::vector<int> order(n_);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [this](int a, int b) { return d_[a] < d_[b]; });
  if (weight_ == 0.0) {
    deflated_ = order;
    return;
  }
  double dmax = 0.0;
  for (double v : d_)
    dmax = std::max(dmax, std::fabs(v));
  const double tol = 8.0 * kEps * std::max(dmax, weight_);

  int prev = -1;
  for (int idx : order) {
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

// f(tau) = 1 + weight sum z_j^2 / ((d_j - d_origin) - tau), the poles up to
// root k in psi, the rest in phi, with their derivatives. magnitude bounds
// the rounding of the sum.
double RankOneEigen::secular(int origin, double tau, double* psi, double* phi, double* dpsi,
                             double* dphi, double* magnitude, int k) const {
  const double base = d_[secular_[origin]];
  double sp = 0.0, sf = 0.0, dp = 0.0, df = 0.0;
  const int K = static_cast<int>(secular_.size());
  for (int j = 0; j < K; ++j) {
    const int idx = secular_[j];
    const double delta = (d_[idx] - base) - tau;
    const double term = z_[idx] * z_[idx] / delta;
    if (j <= k) {
      sp += term;
      dp += term / delta;
    } else {
      sf += term;
      df += term / delta;
    }
  }
  *psi = weight_ * sp;
  *phi = weight_ * sf;
  *dpsi = weight_ * dp;
  *dphi = weight_ * df;
  *magnitude = 1.0 + std::fabs(*psi) + std::fabs(*phi);
  return 1.0 + *psi + *phi;
}

// Root k lies between poles k and k + 1 (above the last pole for the last
// root). It is sought as tau = lambda - d of the nearer pole, in a bracket
// that every evaluation narrows, by Li's "middle way": f is modelled by a
// constant and the two neighbouring poles, matched in value and slope, and
// the model's root is the next iterate; Newton's step or bisection stand in
// when the model's root leaves the bracket.
void RankOneEigen::solveRoot(int k) {
  const int K = static_cast<int>(secular_.size());
  const double dk = d_[secular_[k]];
  double psi, phi, dpsi, dphi, mag;
  int origin = k;
  double lo, hi, tau;
  if (k == K - 1) {
    lo = 0.0;
    // z is a unit vector, so lambda <= d + weight; the bracket reaches past
    // that so that a root at the bound (one pole) stays inside it.
    hi = 2.0 * weight_;
    tau = 0.5 * weight_;
  } else {
    const double gap = d_[secular_[k + 1]] - dk;
    const double w = secular(k, 0.5 * gap, &psi, &phi, &dpsi, &dphi, &mag, k);
    if (w >= 0.0) {
      lo = 0.0;
      hi = gap;
      tau = 0.5 * gap;
    } else {
      origin = k + 1;
      lo = -gap;
      hi = 0.0;
      tau = -0.5 * gap;
    }
  }
  const double base = d_[secular_[origin]];
  const double deltaK = dk - base;
  const double deltaK1 = k + 1 < K ? d_[secular_[k + 1]] - base : 0.0;

  for (int iter = 0; iter < kMaxIterations; ++iter) {
    const double w = secular(origin, tau, &psi, &phi, &dpsi, &dphi, &mag, k);
    if (w == 0.0) break;
    if (w < 0.0) {
      lo = tau;
    } else {
      hi = tau;
    }
    const double slope = dpsi + dphi;
    if (std::fabs(w) <= kEps * (8.0 * mag + std::fabs(tau) * slope)) break;
    if (hi - lo <= 2.0 * kEps * std::max(std::fabs(lo), std::fabs(hi))) break;

    const double di = deltaK - tau;
    double eta = std::numeric_limits<double>::quiet_NaN();
    if (k + 1 < K) {
      const double dj = deltaK1 - tau;
      const double c = w - di * dpsi - dj * dphi;
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
      const double c = w - di * dpsi;
      if (c != 0.0) eta = di + di * di * dpsi / c;
    }
    if (!std::isfinite(eta) || w * eta >= 0.0) eta = -w / slope;
    double next = tau + eta;
    if (!(next > lo && next < hi) || (iter >= kModelSteps && iter % 2 == 1)) next = 0.5 * (lo + hi);
    if (next == tau) break;
    tau = next;
  }
  // A root that landed on a pole would make its eigenvector infinite.
  if (tau == 0.0)
    tau = origin == k ? std::numeric_limits<double>::denorm_min()
                      : -std::numeric_limits<double>::denorm_min();
  origin_[k] = origin;
  tau_[k] = tau;
}

// d_i - lambda_k, formed from the pole nearest to lambda_k.
namespace {
inline double poleGap(const std::vector<double>& d, const std::vector<int>& sec, int i, int origin,
                      double tau) {
  return (d[sec[i]] - d[sec[origin]]) - tau;
}
}  // namespace

// The z for which the computed roots are exact eigenvalues:
// weight zhat_i^2 = prod_k (lambda_k - d_i) / prod_{k != i} (d_k - d_i), each
// factor paired with a neighbour so that every quotient is positive and near
// one. Eigenvectors built from it are orthogonal to working precision.
void RankOneEigen::recomputeZ() {
  const int K = static_cast<int>(secular_.size());
  zhat_.assign(K, 0.0);
  for (int i = 0; i < K; ++i) {
    const double di = d_[secular_[i]];
    double prod = -poleGap(d_, secular_, i, origin_[K - 1], tau_[K - 1]) / weight_;
    for (int k = 0; k < K - 1; ++k) {
      const double num = -poleGap(d_, secular_, i, origin_[k], tau_[k]);
      const double den = k < i ? d_[secular_[k]] - di : d_[secular_[k + 1]] - di;
      prod *= num / den;
    }
    zhat_[i] = std::copysign(std::sqrt(std::max(prod, 0.0)), z_[secular_[i]]);
  }
}

void RankOneEigen::vector(int k, std::span<double> out) const {
  std::fill(out.begin(), out.begin() + n_, 0.0);
  if (k < 0 || k >= n_) return;
  const int src = source_[k];
  if (src >= 0) {
    const int K = static_cast<int>(secular_.size());
    double largest = 0.0;
    for (int i = 0; i < K; ++i) {
      const double u = zhat_[i] / poleGap(d_, secular_, i, origin_[src], tau_[src]);
      out[secular_[i]] = u;
      largest = std::max(largest, std::fabs(u));
    }
    double ss = 0.0;
    if (largest == 0.0) return;
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
