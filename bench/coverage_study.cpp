// Coverage of the intervals at the chosen extent, by simulation from known
// linear models: per design and coefficient, how often each interval holds
// the true coefficient, its mean width over the least-squares t interval's,
// and the t interval's own coverage as the control. Not a test: a full run
// takes minutes (bench/coverage drives it). Fixed seeds: the same table on
// every run.
//   coverage_study [SETS] [RESAMPLES]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <Eigen/Dense>

#include "engine/least_squares.hpp"
#include "engine/select_shape.hpp"
#include "input/model_setup.hpp"
#include "input/settings_answers.hpp"
#include "model/bootstrap.hpp"
#include "report/report.hpp"

namespace {

using namespace tolvane;

struct Design {
  const char* name;
  int n, p;
  double rho, sigma;
  bool smallestAxis;  // beta along the smallest principal axis
};

// Predictors with correlations rho^|i-j|; beta either equal parts of every
// principal axis of that matrix or the smallest axis alone, of length 2.
struct Model {
  Eigen::MatrixXd chol;
  Eigen::VectorXd beta;
};

Model modelOf(const Design& d) {
  Eigen::MatrixXd sigma(d.p, d.p);
  for (int i = 0; i < d.p; ++i)
    for (int j = 0; j < d.p; ++j)
      sigma(i, j) = std::pow(d.rho, std::abs(i - j));
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eig(sigma);
  Eigen::VectorXd beta = Eigen::VectorXd::Zero(d.p);
  if (d.smallestAxis) {
    beta = eig.eigenvectors().col(0);  // ascending: the smallest first
  } else {
    for (int k = 0; k < d.p; ++k)
      beta += (k % 2 == 0 ? 1.0 : -1.0) * eig.eigenvectors().col(k);
  }
  beta *= 2.0 / beta.norm();
  return {sigma.llt().matrixL(), beta};
}

double normalCdf(double x) {
  return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

double normalQuantile(double p) {
  double lo = -40.0, hi = 40.0;
  for (int i = 0; i < 200; ++i) {
    const double mid = 0.5 * (lo + hi);
    (normalCdf(mid) < p ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

// Upper quantile of Student's t by its Cornish-Fisher expansion (to about
// 1e-5 at the degrees of freedom used here, 35 and more).
double tQuantile(double upper, double nu) {
  const double z = normalQuantile(1.0 - upper), z2 = z * z;
  return z + z * (z2 + 1) / (4 * nu) + z * ((5 * z2 + 16) * z2 + 3) / (96 * nu * nu) +
         z * (((3 * z2 + 19) * z2 + 17) * z2 - 15) / (384 * nu * nu * nu);
}

class Normal {
 public:
  explicit Normal(std::uint64_t seed) : state_(seed * 0x9e3779b97f4a7c15ULL + 1) {}
  double operator()() {
    const double u = uniform(), v = uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
  }

 private:
  double uniform() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return (static_cast<double>(state_ >> 11) + 0.5) / 9007199254740992.0;
  }
  std::uint64_t state_;
};

bool analyse(AnalysisState& s, const Eigen::MatrixXd& x, const Eigen::VectorXd& y) {
  std::vector<std::string> held;
  ReportCapture capture(&held);
  s.reset();
  s.NVAR = static_cast<int>(x.cols()) + 1;
  s.NOBS = static_cast<int>(x.rows());
  s.XPXFORM = 0;
  for (int j = 1; j <= s.NVAR; ++j)
    s.VNAME[j] = j == s.NVAR ? "y" : "x" + std::to_string(j);
  if (!s.DATA.allocate(s.NOBS, s.NVAR)) return false;
  for (int i = 1; i <= s.NOBS; ++i) {
    for (int j = 1; j < s.NVAR; ++j)
      s.DATA.data[i][j] = x(i - 1, j - 1);
    s.DATA.data[i][s.NVAR] = y(i - 1);
  }
  ModelSettings settings;
  settings.scale = kReExpress;  // coefficients in the data's units
  SettingsAnswers answers(settings);
  if (!setUpModel(s, answers).completed() || !LEAST_SQUARES(s)) return false;
  return SELECT_SHAPE(s, PathSettings{PathShape::kQShape, "0", kStepsEight});
}

enum Method { kT, kPercentile, kBasic, kBiasCorrected, kMethods };
const char* const kMethodNames[kMethods] = {"t", "pct", "basic", "BC"};

struct Tally {
  std::vector<int> covered[kMethods];
  std::vector<double> width[kMethods];
  explicit Tally(int p) {
    for (int m = 0; m < kMethods; ++m) {
      covered[m].assign(p, 0);
      width[m].assign(p, 0.0);
    }
  }
};

// The interval of one method from the draws at the chosen extent.
void intervals(const BootstrapResult& r, int j, double level, double* lo, double* hi) {
  std::vector<double> draws;
  for (std::size_t u = 0; u < r.chosenDraws.size() / r.P; ++u)
    draws.push_back(r.chosenDraws[u * r.P + j]);
  std::sort(draws.begin(), draws.end());
  const auto q = [&](double prob) {
    const double h = (draws.size() - 1) * std::clamp(prob, 0.0, 1.0);
    const std::size_t k = static_cast<std::size_t>(h);
    const double x1 = k + 1 < draws.size() ? draws[k + 1] : draws[k];
    return draws[k] + (h - k) * (x1 - draws[k]);
  };
  const double est = r.chosenEstimate[j], tail = (1.0 - level) / 2.0;
  lo[kPercentile] = q(tail);
  hi[kPercentile] = q(1.0 - tail);
  lo[kBasic] = 2.0 * est - hi[kPercentile];
  hi[kBasic] = 2.0 * est - lo[kPercentile];
  // Bias-corrected percentile: z0 from the share of draws below the estimate.
  const double below = (std::lower_bound(draws.begin(), draws.end(), est) - draws.begin() +
                        0.5 * (std::upper_bound(draws.begin(), draws.end(), est) -
                               std::lower_bound(draws.begin(), draws.end(), est))) /
                       static_cast<double>(draws.size());
  const double z0 = normalQuantile(std::clamp(below, 0.5 / draws.size(), 1.0 - 0.5 / draws.size()));
  const double za = normalQuantile(tail);
  lo[kBiasCorrected] = q(normalCdf(2.0 * z0 + za));
  hi[kBiasCorrected] = q(normalCdf(2.0 * z0 - za));
}

void runDesign(const Design& d, int sets, int resamples, ExtentCriterion criterion) {
  const Model model = modelOf(d);
  Normal draw(1000 + d.n * 7 + d.p);
  Tally tally(d.p);
  int done = 0;
  const double level = 0.90;
  const double tq = tQuantile((1.0 - level) / 2.0, d.n - d.p - 1);
  for (int set = 0; set < sets; ++set) {
    Eigen::MatrixXd z(d.n, d.p);
    Eigen::VectorXd e(d.n);
    for (int i = 0; i < d.n; ++i) {
      for (int j = 0; j < d.p; ++j)
        z(i, j) = draw();
      e(i) = draw();
    }
    const Eigen::MatrixXd x = z * model.chol.transpose();
    const Eigen::VectorXd y = x * model.beta + d.sigma * e;
    AnalysisState s;
    if (!analyse(s, x, y)) continue;
    BootstrapSettings settings;
    settings.resamples = resamples;
    settings.seed = static_cast<std::uint64_t>(set) + 1;
    settings.level = level;
    settings.extent = {criterion, 0.0};
    const auto r = runBootstrap(s, settings, {});
    if (!r) continue;
    ++done;
    for (int j = 0; j < d.p; ++j) {
      double lo[kMethods], hi[kMethods];
      const double se = s.BOLS.data[j + 1] / s.OLSTSTAT.data[j + 1];
      lo[kT] = s.BOLS.data[j + 1] - tq * std::fabs(se);
      hi[kT] = s.BOLS.data[j + 1] + tq * std::fabs(se);
      intervals(*r, j, level, lo, hi);
      for (int m = 0; m < kMethods; ++m) {
        if (lo[m] <= model.beta(j) && model.beta(j) <= hi[m]) ++tally.covered[m][j];
        tally.width[m][j] += (hi[m] - lo[m]) / (hi[kT] - lo[kT]);
      }
    }
  }
  std::printf("%s %s (N %d, P %d, rho %.2f, sigma %.1f, %d sets, %d resamples)\n", d.name,
              criterion == ExtentCriterion::kClik ? "CLIK" : "GCV", d.n, d.p, d.rho, d.sigma, done,
              resamples);
  std::printf("  coef   beta  ");
  for (int m = 0; m < kMethods; ++m)
    std::printf(" %6s cov  width", kMethodNames[m]);
  std::printf("\n");
  double meanCov[kMethods] = {}, meanWidth[kMethods] = {}, worst[kMethods];
  std::fill(worst, worst + kMethods, 100.0);
  for (int j = 0; j < d.p; ++j) {
    std::printf("  x%-3d %6.2f  ", j + 1, model.beta(j));
    for (int m = 0; m < kMethods; ++m) {
      const double cov = 100.0 * tally.covered[m][j] / done, w = tally.width[m][j] / done;
      meanCov[m] += cov / d.p;
      meanWidth[m] += w / d.p;
      worst[m] = std::min(worst[m], cov);
      std::printf(" %10.1f %6.2f", cov, w);
    }
    std::printf("\n");
  }
  std::printf("  mean         ");
  for (int m = 0; m < kMethods; ++m)
    std::printf(" %10.1f %6.2f", meanCov[m], meanWidth[m]);
  std::printf("\n  lowest       ");
  for (int m = 0; m < kMethods; ++m)
    std::printf(" %10.1f       ", worst[m]);
  std::printf("\n\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int sets = argc > 1 ? std::atoi(argv[1]) : 300;
  const int resamples = argc > 2 ? std::atoi(argv[2]) : 400;
  const Design designs[] = {
      {"A", 100, 4, 0.50, 3.0, false}, {"B", 40, 4, 0.90, 3.0, false},
      {"C", 60, 4, 0.95, 3.0, false},  {"D", 200, 6, 0.95, 3.0, false},
      {"E", 60, 4, 0.95, 3.0, true},
  };
  const auto start = std::chrono::steady_clock::now();
  for (const Design& d : designs) {
    for (ExtentCriterion c : {ExtentCriterion::kClik, ExtentCriterion::kGcv})
      runDesign(d, sets, resamples, c);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.1f s\n", seconds);
  return 0;
}
