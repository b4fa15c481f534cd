// Inference intervals along the shrinkage path by case resampling (the pairs
// bootstrap): B resamples of the observations, drawn with replacement, each
// analysed again with the same roles, scaling, path shape and steps, and
// each choosing its own extent, so that the choice of the extent is inside
// the intervals.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/analysis_state.hpp"
#include "model/extent_choice.hpp"

namespace tolvane {

inline constexpr int kDefaultResamples = 1000;
inline constexpr std::uint64_t kDefaultSeed = 1;
inline constexpr double kDefaultLevel = 0.90;
// What either front end accepts: fewer than ten resamples leave a 90 %
// interval no resample outside it on either side.
inline constexpr int kMinResamples = 10;
inline constexpr int kMaxResamples = 1000000;
inline constexpr double kMinLevel = 0.5;
inline constexpr double kMaxLevel = 0.999;
// Above this share of degenerate resamples the intervals are called
// unreliable.
inline constexpr double kUnreliableShare = 0.05;

struct BootstrapSettings {
  int resamples = kDefaultResamples;  // B, at least 1
  std::uint64_t seed = kDefaultSeed;
  double level = kDefaultLevel;  // two-sided, strictly between 0 and 1
  int threads = 0;               // 0: as many as the machine has
  // How the data and every resample choose their extent.
  ExtentRequest extent;
};

// Why a resample gave no path. Such resamples are counted, never dropped
// silently, and left out of the quantiles.
enum class ResampleOutcome : std::uint8_t {
  kUsed,             // the path was traced
  kModelStopped,     // the model data could not be built (a constant column)
  kAnalysisStopped,  // least squares stopped (lack of fit, no residual df)
  kRankDropped,      // fewer principal axes than the data have: another path
  kNoCriteria,       // R-squared of 1, or values that are not finite
};

// The indices (0-based, each below n) of resample `index` for `seed`: the
// same for a given seed and index whatever else is drawn, so that any
// number of threads draws the same resamples.
void resampleRows(std::uint64_t seed, int index, int n, std::vector<int>* rows);

// Ok when the state can be resampled; otherwise why not, as one sentence.
// Only raw observations can be resampled, after a path has been traced.
Status resamplingStatus(const AnalysisState& s);

// The extent the request chooses on a traced path, with its delta factors,
// or why it cannot be chosen. The one place where the data and every
// resample choose, so that they choose alike.
StatusOr<ChosenExtent> chooseResampleExtent(const AnalysisState& s, const ExtentRequest& request);

// The coefficients (1..P) at the delta factors `delta`: G (delta c), on the
// given scale when SCALECODE is 2.
void coefficientsAt(const AnalysisState& s, const DeltaRow& delta, double* b);

// The fit's terms (intercept, then P slopes) in the data's units from the
// coefficients coefficientsAt gives.
void termsInDataUnits(const AnalysisState& s, const double* b, double* terms);

struct BootstrapResult {
  BootstrapSettings settings;
  int P = 0, nsteps = 0, msteps = 1, rank = 0;
  std::vector<std::string> names;  // predictor names, P of them

  // Counts of the resamples by outcome.
  int used = 0, modelStopped = 0, analysisStopped = 0, rankDropped = 0, noCriteria = 0;
  std::string extentLabel;  // "CLIK minimum", ...
  int failed() const { return modelStopped + analysisStopped + rankDropped + noCriteria; }
  bool unreliable() const { return failed() > kUnreliableShare * settings.resamples || used < 2; }

  // Per step s (1-based) and predictor j (1-based), at [(s - 1) * P + j - 1]:
  // the estimate on the data, the percentile interval and the median of the
  // resampled coefficients.
  std::vector<double> estimate, lower, median, upper;
  double mcalOf(int step) const { return static_cast<double>(step - 1) / msteps; }
  std::size_t cell(int step, int j) const {
    return static_cast<std::size_t>(step - 1) * P + static_cast<std::size_t>(j - 1);
  }

  // At the chosen extent: the data's MCAL, and per predictor the interval of
  // the coefficient at each resample's own chosen extent.
  double chosenMcal = 0.0;
  std::vector<double> chosenEstimate, chosenLower, chosenMedian, chosenUpper;
  // The same intervals for the fit's terms in the data's units, whatever
  // the scaling: the intercept, then the P predictors.
  std::vector<double> termLower, termUpper;
  // Every used resample's coefficients at its chosen extent (used x P, in
  // index order), for methods built on the draws themselves.
  std::vector<double> chosenDraws;
  // Quantiles of the chosen MCAL over the resamples, at these probabilities.
  static constexpr double kMcalProbabilities[5] = {0.05, 0.25, 0.5, 0.75, 0.95};
  double mcalQuantiles[5] = {0, 0, 0, 0, 0};
};

// Progress: resamples done of total. Called on the calling thread, about ten
// times a second and once at the end; returning false cancels the run.
using BootstrapProgress = std::function<bool(int done, int total)>;

// Runs the resamples on up to settings.threads threads. Reads the state
// only (DATA, roles, scaling, path settings, CYQ, THREEYQ), writes no file
// and no report line. Fails when the state cannot be resampled or the run
// was cancelled (code kCancelled), saying which; a cancelled run leaves no
// partial result. The result has the same bits for any number of threads.
StatusOr<BootstrapResult> runBootstrap(const AnalysisState& s, const BootstrapSettings& settings,
                                       const BootstrapProgress& progress);

// The type-7 quantile (linear between order statistics) of `values`, which
// it reorders. Empty input gives NaN.
double quantileOf(std::vector<float>& values, double probability);

}  // namespace tolvane
