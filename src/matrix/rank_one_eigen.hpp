// Eigen-decomposition of a diagonal matrix plus a rank-one matrix,
// S = diag(d) + rho z z', in double precision and O(n^2) work: the secular
// equation of the rank-one update of divide-and-conquer eigensolvers.
//
// Equal (or nearly equal) diagonal entries and negligible components of z are
// deflated first; each remaining eigenvalue is the root of
// 1 + rho sum z_i^2 / (d_i - lambda) between two poles, found with its origin
// at the nearer pole so that every d_i - lambda is formed without
// cancellation. The eigenvectors come from a z recomputed from the solved
// eigenvalues (Gu and Eisenstat), which keeps them orthogonal to working
// precision however close the eigenvalues lie.
#pragma once

#include <span>
#include <vector>

namespace tolvane {

class RankOneEigen {
 public:
  // Decomposes diag(d) + rho z z' (d and z of the same length n >= 0). Any
  // sign of rho; rho = 0 or z = 0 give the diagonal. Returns false, leaving
  // size() 0, when an input is not finite (or the lengths differ).
  bool compute(std::span<const double> d, std::span<const double> z, double rho);
  // Makes room for problems of up to n, so that compute() then allocates
  // nothing. Throws std::bad_alloc when memory is short.
  void reserve(int n);

  int size() const { return n_; }
  // The eigenvalues, ascending.
  const std::vector<double>& values() const { return values_; }
  // The unit eigenvector of values()[k] into out[0..n-1]; the vectors of
  // different k are orthogonal. Its sign is not defined.
  void vector(int k, std::span<double> out) const;
  // How many eigenpairs came from the secular equation (the rest deflated).
  int secularCount() const { return static_cast<int>(secular_.size()); }

 private:
  // A Givens rotation of the deflation on indices (i, j).
  struct Rotation {
    int i, j;
    double c, s;
  };
  // f at tau from the pole at position origin, split at root k: the poles up
  // to k (psi) and beyond (phi), with their slopes.
  struct Secular {
    double f, psi, phi, dpsi, dphi;
  };
  void deflate();
  // One root's search: where it is, its bracket and f at its tau.
  struct Root {
    enum Stage { kMidpoint, kModel, kDone };
    Stage stage = kDone;  // idle until started
    int k = 0, origin = 0, iter = 0;
    double lo = 0.0, hi = 0.0, tau = 0.0, base = 0.0;
    Secular s{};
  };
  void solveRoots();
  void advance(Root& root) const;
  void recomputeZ();
  // d_i - lambda_k for secular pole i, formed from the pole nearest lambda_k.
  double gap(int i, int k) const { return (pole_[i] - pole_[origin_[k]]) - tau_[k]; }

  int n_ = 0;
  bool flipped_ = false;       // solved as -S, so that the weight is positive
  double weight_ = 0.0;        // rho |z|^2, the weight of the unit z
  std::vector<double> d_;      // diagonal (negated when flipped), changed by deflation
  std::vector<double> z_;      // unit z, changed by deflation
  std::vector<int> order_;     // indices by ascending d
  std::vector<int> secular_;   // original indices of the secular poles, d ascending
  std::vector<int> deflated_;  // original indices whose e_i is an eigenvector
  std::vector<Rotation> rotations_;
  std::vector<double> pole_;    // per secular pole: its d
  std::vector<double> mass_;    // per secular pole: weight z^2
  std::vector<int> origin_;     // per root: the position of its nearer pole
  std::vector<double> tau_;     // per root: lambda - d of that pole
  std::vector<double> zhat_;    // per secular pole: z recomputed from the roots
  std::vector<double> values_;  // ascending, of S
  // Per value: the root (>= 0) or -1 - the position in deflated_.
  std::vector<int> source_;
  std::vector<std::pair<double, int>> sorted_;
};

}  // namespace tolvane
