#include "model/resample_quantiles.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tolvane {

namespace {

// The quantiles at ascending probabilities of values (reordered), each by
// linear interpolation between the order statistics around (n - 1) p; NaN
// for empty input.
void quantilesOf(std::vector<float>& values, const double* probabilities, int count, double* out) {
  const std::size_t n = values.size();
  if (n == 0) {
    for (int i = 0; i < count; ++i)
      out[i] = std::numeric_limits<double>::quiet_NaN();
    return;
  }
  auto from = values.begin();
  for (int i = 0; i < count; ++i) {
    const double h = static_cast<double>(n - 1) * probabilities[i];
    const std::size_t lo = static_cast<std::size_t>(std::floor(h));
    const auto at = values.begin() + static_cast<std::ptrdiff_t>(lo);
    // Earlier quantiles have already put everything before `from` in place.
    if (at >= from) std::nth_element(from, at, values.end());
    from = at;
    const double x0 = *at;
    double x1 = x0;
    if (lo + 1 < n) x1 = *std::min_element(at + 1, values.end());
    out[i] = x0 + (h - static_cast<double>(lo)) * (x1 - x0);
  }
}

// Neighbouring cells gathered at once: each resample's trace is read a cache
// line at a time instead of a value at a time.
constexpr std::size_t kCellBlock = 16;

// Per thread: the values of one cell, and of a block of cells.
struct CellScratch {
  std::vector<float> values, block;
};

// The interval and median of the cells of block `k` of the path (step and
// predictor).
void cellQuantiles(const ResampleSlots& slots, const std::vector<int>& used, std::size_t cells,
                   const double* probabilities, std::size_t k, CellScratch& scratch,
                   BootstrapResult& res) {
  scratch.values.resize(used.size());
  scratch.block.resize(kCellBlock * used.size());
  std::vector<float>& values = scratch.values;
  std::vector<float>& block = scratch.block;
  double q[3];
  const std::size_t c0 = k * kCellBlock;
  const std::size_t width = std::min(kCellBlock, cells - c0);
  for (std::size_t u = 0; u < used.size(); ++u) {
    const float* from = slots.traces.data() + static_cast<std::size_t>(used[u]) * cells + c0;
    for (std::size_t c = 0; c < width; ++c)
      block[c * used.size() + u] = from[c];
  }
  for (std::size_t c = 0; c < width; ++c) {
    std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(c * used.size()), used.size(),
                values.begin());
    quantilesOf(values, probabilities, 3, q);
    res.lower[c0 + c] = q[0];
    res.median[c0 + c] = q[1];
    res.upper[c0 + c] = q[2];
  }
}

// The resamples that gave a path, in index order; the others counted by
// outcome.
std::vector<int> usedResamples(const ResampleSlots& slots, BootstrapResult& res) {
  std::vector<int> used;
  for (int b = 0; b < res.settings.resamples; ++b) {
    switch (slots.outcome[b]) {
      case ResampleOutcome::kUsed:
        used.push_back(b);
        break;
      case ResampleOutcome::kModelStopped:
        ++res.modelStopped;
        break;
      case ResampleOutcome::kAnalysisStopped:
        ++res.analysisStopped;
        break;
      case ResampleOutcome::kRankDropped:
        ++res.rankDropped;
        break;
      case ResampleOutcome::kNoCriteria:
        ++res.noCriteria;
        break;
    }
  }
  res.used = static_cast<int>(used.size());
  return used;
}

// At each resample's own chosen extent: the coefficients' intervals and
// the quantiles of the MCAL.
void chosenQuantiles(const ResampleSlots& slots, const std::vector<int>& used, int P,
                     const double* probabilities, BootstrapResult& res) {
  std::vector<float> values(used.size());
  double q[3];
  res.chosenDraws.clear();
  for (int b : used) {
    const double* row = slots.chosen.data() + static_cast<std::size_t>(b) * P;
    res.chosenDraws.insert(res.chosenDraws.end(), row, row + P);
  }
  res.chosenLower.assign(P, 0.0);
  res.chosenMedian.assign(P, 0.0);
  res.chosenUpper.assign(P, 0.0);
  for (int j = 1; j <= P; ++j) {
    for (std::size_t u = 0; u < used.size(); ++u) {
      const std::size_t at = static_cast<std::size_t>(used[u]) * P + (j - 1);
      values[u] = static_cast<float>(slots.chosen[at]);
    }
    quantilesOf(values, probabilities, 3, q);
    res.chosenLower[j - 1] = q[0];
    res.chosenMedian[j - 1] = q[1];
    res.chosenUpper[j - 1] = q[2];
  }
  res.termLower.assign(P + 1, 0.0);
  res.termUpper.assign(P + 1, 0.0);
  for (int t = 0; t <= P; ++t) {
    for (std::size_t u = 0; u < used.size(); ++u)
      values[u] = static_cast<float>(slots.terms[static_cast<std::size_t>(used[u]) * (P + 1) + t]);
    quantilesOf(values, probabilities, 3, q);
    res.termLower[t] = q[0];
    res.termUpper[t] = q[2];
  }
  for (std::size_t u = 0; u < used.size(); ++u)
    values[u] = static_cast<float>(slots.chosenMcal[used[u]]);
  quantilesOf(values, BootstrapResult::kMcalProbabilities, 5, res.mcalQuantiles);
}

}  // namespace

double quantileOf(std::vector<float>& values, double probability) {
  double q = 0.0;
  quantilesOf(values, &probability, 1, &q);
  return q;
}

ParallelOutcome summarizeResamples(const ResampleJob& job, const ResampleSlots& slots,
                                   unsigned threads, BootstrapResult& res) {
  const std::vector<int> used = usedResamples(slots, res);
  const double tail = (1.0 - res.settings.level) / 2.0;
  const double probabilities[3] = {tail, 0.5, 1.0 - tail};
  const std::size_t cells = static_cast<std::size_t>(job.nsteps) * job.P;
  res.lower.assign(cells, 0.0);
  res.median.assign(cells, 0.0);
  res.upper.assign(cells, 0.0);
  const std::size_t blocks = (cells + kCellBlock - 1) / kCellBlock;
  std::vector<CellScratch> scratch(parallelWorkers(blocks, threads));
  const ParallelOutcome outcome = parallelFor(blocks, threads, [&](std::size_t k, unsigned w) {
    cellQuantiles(slots, used, cells, probabilities, k, scratch[w], res);
  });
  if (outcome == ParallelOutcome::kDone) chosenQuantiles(slots, used, job.P, probabilities, res);
  return outcome;
}

}  // namespace tolvane
