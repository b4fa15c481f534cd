// The rank-one eigen-solver against Eigen's dense symmetric solver, and its
// own properties: S u = lambda u and U'U = I to a few roundings of |S|, on
// random problems and on the ones that defeat a plain secular solver (equal
// and clustered diagonal entries, tiny and zero components, graded scales).
#include "matrix/rank_one_eigen.hpp"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace tolvane {
namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();

struct Problem {
  std::vector<double> d, z;
  double rho = 1.0;
};

Eigen::MatrixXd dense(const Problem& pr) {
  const int n = static_cast<int>(pr.d.size());
  Eigen::MatrixXd S(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      S(i, j) = pr.rho * pr.z[i] * pr.z[j] + (i == j ? pr.d[i] : 0.0);
  return S;
}

// Checks one problem; `label` names it in failures. The tolerance is a
// multiple of n eps |S|: what any backward-stable solver may be off by.
void check(const Problem& pr, const std::string& label) {
  SCOPED_TRACE(label);
  const int n = static_cast<int>(pr.d.size());
  const Eigen::MatrixXd S = dense(pr);
  const double norm = n > 0 ? S.cwiseAbs().rowwise().sum().maxCoeff() : 0.0;
  const double tol = 16.0 * (n + 1) * kEps * norm;
  RankOneEigen solver;
  ASSERT_TRUE(solver.compute(pr.d, pr.z, pr.rho));
  ASSERT_EQ(solver.size(), n);
  if (n == 0) return;
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> ref(S);
  const Eigen::VectorXd& want = ref.eigenvalues();  // ascending

  Eigen::MatrixXd U(n, n);
  std::vector<double> u(n);
  for (int k = 0; k < n; ++k) {
    EXPECT_NEAR(solver.values()[k], want(k), tol) << "eigenvalue " << k;
    if (k > 0) {
      EXPECT_LE(solver.values()[k - 1], solver.values()[k]);
    }
    solver.vector(k, u);
    for (int i = 0; i < n; ++i)
      U(i, k) = u[i];
    const Eigen::VectorXd x = Eigen::Map<Eigen::VectorXd>(u.data(), n);
    EXPECT_NEAR(x.norm(), 1.0, 4.0 * n * kEps) << "vector " << k;
    EXPECT_LE((S * x - solver.values()[k] * x).norm(), tol) << "residual " << k;
    // An isolated eigenvalue fixes its vector up to sign; the dense solver's
    // vector must then agree to the perturbation bound n eps |S| / gap.
    double gap = std::numeric_limits<double>::infinity();
    if (k > 0) gap = want(k) - want(k - 1);
    if (k + 1 < n) gap = std::min(gap, want(k + 1) - want(k));
    if (gap > 1e-6 * norm) {
      const double cosine = std::fabs(x.dot(ref.eigenvectors().col(k)));
      EXPECT_NEAR(cosine, 1.0, 64.0 * n * kEps * norm / gap + 8 * n * kEps) << "vector " << k;
    }
  }
  const double offOrtho =
      (U.transpose() * U - Eigen::MatrixXd::Identity(n, n)).cwiseAbs().maxCoeff();
  EXPECT_LE(offOrtho, 16.0 * n * kEps);
}

Problem randomProblem(std::mt19937& rng, int n, double rho) {
  std::normal_distribution<double> normal(0.0, 1.0);
  Problem pr;
  pr.rho = rho;
  for (int i = 0; i < n; ++i) {
    pr.d.push_back(normal(rng));
    pr.z.push_back(normal(rng));
  }
  return pr;
}

TEST(RankOneEigen, ClosedForms) {
  // One by one: d + rho z^2.
  RankOneEigen s;
  const std::vector<double> d1{3.0}, z1{2.0};
  ASSERT_TRUE(s.compute(d1, z1, -0.5));
  EXPECT_DOUBLE_EQ(s.values()[0], 1.0);
  std::vector<double> u(1);
  s.vector(0, u);
  EXPECT_DOUBLE_EQ(std::fabs(u[0]), 1.0);

  // I + (1,1)(1,1)'/2 has the eigenvalues 1 and 2, vectors (1,-1) and (1,1).
  const std::vector<double> d2{1.0, 1.0}, z2{1.0, 1.0};
  ASSERT_TRUE(s.compute(d2, z2, 0.5));
  EXPECT_NEAR(s.values()[0], 1.0, 4 * kEps);
  EXPECT_NEAR(s.values()[1], 2.0, 4 * kEps);
  std::vector<double> v(2);
  s.vector(1, v);
  EXPECT_NEAR(v[0], v[1], 4 * kEps);
  EXPECT_NEAR(std::fabs(v[0]), std::sqrt(0.5), 4 * kEps);
  s.vector(0, v);
  EXPECT_NEAR(v[0], -v[1], 4 * kEps);

  // diag(1, 3) + (1,1)(1,1)' = [2 1; 1 4]: the roots of l^2 - 6l + 7.
  const std::vector<double> d3{1.0, 3.0};
  ASSERT_TRUE(s.compute(d3, z2, 1.0));
  EXPECT_NEAR(s.values()[0], 3.0 - std::sqrt(2.0), 8 * kEps);
  EXPECT_NEAR(s.values()[1], 3.0 + std::sqrt(2.0), 8 * kEps);
  EXPECT_EQ(s.secularCount(), 2);
}

TEST(RankOneEigen, RandomProblemsOfEverySizeAndSign) {
  std::mt19937 rng(7);
  for (int n : {1, 2, 3, 5, 8, 20, 49, 50}) {
    for (double rho : {1.0, -1.0, 0.01, -300.0}) {
      for (int rep = 0; rep < 5; ++rep) {
        check(randomProblem(rng, n, rho), "n " + std::to_string(n) + " rho " + std::to_string(rho) +
                                              " rep " + std::to_string(rep));
      }
    }
  }
}

TEST(RankOneEigen, NoWeightOrNoVectorLeavesTheDiagonal) {
  std::mt19937 rng(11);
  Problem pr = randomProblem(rng, 12, 0.0);
  check(pr, "rho 0");
  RankOneEigen s;
  ASSERT_TRUE(s.compute(pr.d, pr.z, 0.0));
  EXPECT_EQ(s.secularCount(), 0);
  pr.rho = -2.0;
  std::fill(pr.z.begin(), pr.z.end(), 0.0);
  check(pr, "z 0");
  ASSERT_TRUE(s.compute(pr.d, pr.z, pr.rho));
  EXPECT_EQ(s.secularCount(), 0);
  check(Problem{}, "empty");
}

TEST(RankOneEigen, EqualDiagonalEntriesDeflate) {
  std::mt19937 rng(3);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (double rho : {1.0, -1.0}) {
    // Groups of three equal entries, and all entries equal.
    Problem pr;
    pr.rho = rho;
    for (int i = 0; i < 30; ++i) {
      pr.d.push_back(std::floor(i / 3.0));
      pr.z.push_back(normal(rng));
    }
    check(pr, "triples");
    RankOneEigen s;
    ASSERT_TRUE(s.compute(pr.d, pr.z, pr.rho));
    EXPECT_EQ(s.secularCount(), 10);  // one pole per group carries its weight
    Problem same = pr;
    std::fill(same.d.begin(), same.d.end(), 2.5);
    check(same, "all equal");
    ASSERT_TRUE(s.compute(same.d, same.z, same.rho));
    EXPECT_EQ(s.secularCount(), 1);
  }
}

TEST(RankOneEigen, TinyAndZeroComponents) {
  std::mt19937 rng(5);
  for (double tiny : {0.0, 1e-300, 1e-30, 1e-17, 1e-15, 1e-12, 1e-8}) {
    for (double rho : {1.0, -1.0}) {
      Problem pr = randomProblem(rng, 25, rho);
      for (int i = 0; i < 25; i += 2)
        pr.z[i] *= tiny;
      check(pr, "tiny " + std::to_string(tiny) + " rho " + std::to_string(rho));
    }
  }
  // Exactly the ridge traces' first step: z = 0 where the diagonal is 0.
  Problem pr;
  pr.rho = -0.9;
  for (int i = 0; i < 10; ++i) {
    pr.d.push_back(i < 4 ? 0.0 : 1.0 + i);
    pr.z.push_back(i < 4 ? 0.0 : 0.3 * i);
  }
  check(pr, "zero block");
}

TEST(RankOneEigen, ClusteredAndGradedPoles) {
  std::mt19937 rng(9);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (double spacing : {1e-15, 1e-13, 1e-10, 1e-6}) {
    for (double rho : {1.0, -1.0}) {
      Problem pr;
      pr.rho = rho;
      for (int i = 0; i < 40; ++i) {
        pr.d.push_back(1.0 + spacing * i);
        pr.z.push_back(normal(rng));
      }
      check(pr, "spacing " + std::to_string(spacing) + " rho " + std::to_string(rho));
    }
  }
  // Poles over sixteen orders of magnitude, a weight far above or below them.
  for (double rho : {1e-10, 1.0, 1e10, -1e-10, -1e10}) {
    Problem pr;
    pr.rho = rho;
    for (int i = 0; i < 50; ++i) {
      pr.d.push_back(std::pow(10.0, -8.0 + 16.0 * i / 49.0));
      pr.z.push_back(normal(rng));
    }
    check(pr, "graded rho " + std::to_string(rho));
  }
  // Two clusters far apart, the vector's weight in one of them.
  Problem pr;
  for (int i = 0; i < 20; ++i) {
    pr.d.push_back(i < 10 ? 1.0 + 1e-12 * i : 1e6 + 1e-7 * i);
    pr.z.push_back(i < 10 ? 1.0 : 1e-9);
  }
  check(pr, "two clusters");
}

TEST(RankOneEigen, NonFiniteInputIsRefused) {
  RankOneEigen s;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<double> good{1.0, 2.0};
  EXPECT_FALSE(s.compute(std::vector<double>{1.0, nan}, good, 1.0));
  EXPECT_FALSE(s.compute(good, std::vector<double>{inf, 1.0}, 1.0));
  EXPECT_FALSE(s.compute(good, good, nan));
  EXPECT_FALSE(s.compute(good, std::vector<double>{1e200, 1e200}, 1e200));
  EXPECT_FALSE(s.compute(good, std::vector<double>{1.0}, 1.0));
  EXPECT_EQ(s.size(), 0);
  // The object stays usable.
  EXPECT_TRUE(s.compute(good, good, 1.0));
  EXPECT_EQ(s.size(), 2);
}

}  // namespace
}  // namespace tolvane
