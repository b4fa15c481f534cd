#include "matrix/rank_one_eigen.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tolvane {

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();
constexpr int kMaxIterations = 100;
// After this many model steps every other step bisects, so that a root the
// model approaches slowly is still found in bounded time.
constexpr int kModelSteps = 20;
// A model step this small, relative to tau, is the last one needed.
constexpr double kLastStep = 1e-9;
// Partial sums kept side by side: they break the chain of additions, so the
// divisions of neighbouring terms overlap, and the compiler may vectorize
// them. Their number, not the machine, fixes the order of the additions.
constexpr int kLanes = 8;

// The secular function's four sums at lambda = base + tau, over poles
// padded to a multiple of kLanes (zero mass, a distant pole): psi and its
// slope over the poles up to `split`, phi and its slope beyond. One pass of
// whole vectors, compiled for AVX-512, AVX2 and the baseline and chosen when
// the program starts; the lanes, not the machine, fix the order of the
// additions, so each gives the same bits.
[[gnu::target_clones("avx512f", "avx2", "default")]] void poleSums(const double* pole,
                                                                   const double* mass, int count,
                                                                   int split, double base,
                                                                   double tau, double sums[4]) {
  using Lanes = double __attribute__((vector_size(kLanes * sizeof(double))));
  using Index = long long __attribute__((vector_size(kLanes * sizeof(long long))));
  Lanes psi = {}, dpsi = {}, phi = {}, dphi = {};
  Index index = {0, 1, 2, 3, 4, 5, 6, 7};
  const Lanes zero = {};
  for (int j = 0; j < count; j += kLanes) {
    Lanes p, m;
    std::memcpy(&p, pole + j, sizeof p);
    std::memcpy(&m, mass + j, sizeof m);
    const Lanes r = 1.0 / ((p - base) - tau);
    const Lanes t = m * r;
    const Lanes dt = t * r;
    const Index left = index <= split;
    psi += left ? t : zero;
    dpsi += left ? dt : zero;
    phi += left ? zero : t;
    dphi += left ? zero : dt;
    index += kLanes;
  }
  sums[0] = sums[1] = sums[2] = sums[3] = 0.0;
  for (int l = 0; l < kLanes; ++l) {
    sums[0] += psi[l];
    sums[1] += dpsi[l];
    sums[2] += phi[l];
    sums[3] += dphi[l];
  }
}

}  // namespace

void RankOneEigen::reserve(int n) {
  const auto size = static_cast<std::size_t>(n);
  for (std::vector<double>* v : {&d_, &z_, &pole_, &mass_, &tau_, &zhat_, &values_})
    v->reserve(size);
  const auto padded = static_cast<std::size_t>((n + kLanes - 1) / kLanes * kLanes);
  lanePole_.reserve(padded);
  laneMass_.reserve(padded);
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
  // The padding's poles lie beyond every root (lambda <= d + weight), so
  // its terms are exact zeros.
  const int padded = (K + kLanes - 1) / kLanes * kLanes;
  lanePole_.assign(pole_.begin(), pole_.end());
  laneMass_.assign(mass_.begin(), mass_.end());
  if (K > 0) lanePole_.resize(padded, pole_[K - 1] + std::fabs(pole_[K - 1]) + 2.0 * weight_ + 1.0);
  laneMass_.resize(padded, 0.0);
  origin_.assign(K, 0);
  tau_.assign(K, 0.0);
  for (int k = 0; k < K; ++k)
    solveRoot(k);
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

RankOneEigen::Secular RankOneEigen::evaluate(int origin, double tau, int k) const {
  const double base = pole_[origin];
  Secular s;
  double sums[4];
  poleSums(lanePole_.data(), laneMass_.data(), static_cast<int>(lanePole_.size()), k, base, tau,
           sums);
  s.psi = sums[0];
  s.dpsi = sums[1];
  s.phi = sums[2];
  s.dphi = sums[3];
  s.f = 1.0 + s.psi + s.phi;
  return s;
}

// Root k lies between poles k and k + 1 (above the last pole for the last
// root). It is sought as tau = lambda - d of the nearer pole, so that every
// d - lambda is formed without cancellation, in a bracket that every
// evaluation narrows, by Li's "middle way": f is modelled by a constant and
// the two neighbouring poles, matched in value and slope, and the model's
// root is the next iterate; Newton's step or bisection stand in when the
// model's root leaves the bracket.
void RankOneEigen::solveRoot(int k) {
  const int K = static_cast<int>(pole_.size());
  int origin = k;
  double lo, hi, tau;
  Secular s;
  if (k == K - 1) {
    // z is a unit vector, so lambda <= d + weight; the bracket reaches past
    // that so that a root at the bound (one pole) stays inside it.
    lo = 0.0;
    hi = 2.0 * weight_;
    tau = 0.5 * weight_;
    s = evaluate(origin, tau, k);
  } else {
    // The middle of the interval tells which pole is nearer; f rises from
    // one pole to the next.
    const double gap = pole_[k + 1] - pole_[k];
    tau = 0.5 * gap;
    s = evaluate(origin, tau, k);
    if (s.f >= 0.0) {
      lo = 0.0;
      hi = gap;
    } else {
      origin = k + 1;
      lo = -gap;
      hi = 0.0;
      tau = -0.5 * gap;
    }
  }
  const double base = pole_[origin];
  const double deltaK = pole_[k] - base;
  const double deltaK1 = k + 1 < K ? pole_[k + 1] - base : 0.0;

  for (int iter = 0; iter < kMaxIterations; ++iter) {
    const double w = s.f;
    if (w == 0.0) break;
    if (w < 0.0) {
      lo = tau;
    } else {
      hi = tau;
    }
    const double slope = s.dpsi + s.dphi;
    const double magnitude = 1.0 + std::fabs(s.psi) + std::fabs(s.phi);
    if (std::fabs(w) <= kEps * (8.0 * magnitude + std::fabs(tau) * slope)) break;
    if (hi - lo <= 2.0 * kEps * std::max(std::fabs(lo), std::fabs(hi))) break;

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
      tau = next;
      break;
    }
    if (next == tau) break;
    tau = next;
    s = evaluate(origin, tau, k);
  }
  // A root that landed on a pole would make its eigenvector infinite.
  if (tau == 0.0) {
    tau = origin == k ? std::numeric_limits<double>::denorm_min()
                      : -std::numeric_limits<double>::denorm_min();
  }
  origin_[k] = origin;
  tau_[k] = tau;
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
    const double base = pole_[origin_[k]], tau = tau_[k];
    for (int i = 0; i < K; ++i) {
      const double num = tau - (pole_[i] - base);
      const double den = (k < i ? pole_[k] : pole_[k + 1]) - pole_[i];
      zhat_[i] *= num / den;
    }
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
