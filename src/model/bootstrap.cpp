#include "model/bootstrap.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "engine/extent_criteria.hpp"
#include "engine/front_end_hooks.hpp"
#include "engine/least_squares.hpp"
#include "engine/model_data.hpp"
#include "engine/select_shape.hpp"
#include "model/comparison_criteria.hpp"
#include "model/path_walk.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

// SplitMix64: a small generator whose whole state is one counter, so that a
// stream can be started anywhere from (seed, index) alone.
std::uint64_t mix64(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

class RowDraws {
 public:
  RowDraws(std::uint64_t seed, int index)
      : state_(mix64(seed) ^ mix64(0x632be59bd9b4e019ULL + static_cast<std::uint64_t>(index))) {}

  // Uniform on 0..n-1 without modulo bias (multiply and reject).
  int below(int n) {
    const std::uint64_t range = static_cast<std::uint64_t>(n);
    const std::uint64_t threshold = (0 - range) % range;
    for (;;) {
      const unsigned __int128 m = static_cast<unsigned __int128>(next()) * range;
      if (static_cast<std::uint64_t>(m) >= threshold) return static_cast<int>(m >> 64);
    }
  }

 private:
  std::uint64_t next() {
    state_ += 0x9e3779b97f4a7c15ULL;
    return mix64(state_);
  }
  std::uint64_t state_;
};

// The extent the request chooses on a path already walked.
bool chooseExtentOnWalk(const AnalysisState& s, const PathWalk& walk, const ExtentRequest& request,
                        ChosenExtent* extent, std::string* why) {
  // The likelihood criteria and a number need nothing more; the others are
  // computed only when asked for.
  ComparisonCriteria cc;
  switch (request.criterion) {
    case ExtentCriterion::kClik:
    case ExtentCriterion::kEbays:
    case ExtentCriterion::kRcoef:
    case ExtentCriterion::kGup:
    case ExtentCriterion::kMcal:
      break;
    default:
      if (!computeComparisonCriteria(s, walk, &cc)) {
        *why = "the comparison criteria could not be computed";
        return false;
      }
      break;
  }
  return chooseExtent(s, walk, cc, request, extent, why);
}

// What every resample shares: the data's settings, read only.
struct Job {
  const AnalysisState& s;
  int n = 0, P = 0, rank = 0, nsteps = 0;
  ExtentRequest extent;
};

// The analysis of one resample, computing only: a state of its own without
// output files, in which the model data, least squares and the extent
// criteria format nothing; what a toolkit routine reports of misuse is held
// and dropped, and no menu is offered.
class ResampleAnalysis {
 public:
  explicit ResampleAnalysis(const Job& job) : job_(job) {}

  // Fills trace (nsteps x P, row after row), the coefficients at the chosen
  // extent (P) and its MCAL when the path is traced.
  ResampleOutcome run(const std::vector<int>& rows, float* trace, double* chosen,
                      double* chosenMcal) {
    held_.clear();
    ReportCapture capture(&held_);
    QuietFrontEnd quiet;
    // Every store rounds as the data's analysis did, on whichever thread.
    PrecisionScope precision(job_.s.precision);
    AnalysisState r;
    r.precision = job_.s.precision;
    if (!copyData(r, rows)) return ResampleOutcome::kModelStopped;
    setObservationRange(r, 1, job_.n);
    if (!computeModelData(r).ok()) return ResampleOutcome::kModelStopped;
    if (!leastSquaresResults(r)) return ResampleOutcome::kAnalysisStopped;
    if (r.RANK != job_.rank) return ResampleOutcome::kRankDropped;
    setPath(r);
    // One walk along the path gives the criteria and the choice alike.
    if (!walkPath(r, &walk_)) return ResampleOutcome::kNoCriteria;
    extentCriteriaFromSteps(r, walk_.delta.data(), walk_.k.data());
    if (r.THREEYQ.rows != job_.nsteps || r.DYQ.rows != job_.nsteps)
      return ResampleOutcome::kNoCriteria;
    ChosenExtent extent;
    std::string why;
    if (!chooseExtentOnWalk(r, walk_, job_.extent, &extent, &why))
      return ResampleOutcome::kNoCriteria;
    *chosenMcal = extent.mcal;
    coefficientsAt(r, extent.delta, chosen);
    for (int j = 0; j < job_.P; ++j) {
      if (!std::isfinite(chosen[j])) return ResampleOutcome::kNoCriteria;
    }
    if (!coefficientTrace(r, trace)) return ResampleOutcome::kNoCriteria;
    return ResampleOutcome::kUsed;
  }

 private:
  bool copyData(AnalysisState& r, const std::vector<int>& rows) const {
    const AnalysisState& s = job_.s;
    r.NVAR = s.NVAR;
    r.NOBS = job_.n;
    r.XPXFORM = 0;
    r.VNAME = s.VNAME;
    r.VROLE = s.VROLE;
    r.P = s.P;
    r.XCOL = s.XCOL;
    r.XNAME = s.XNAME;
    r.YCOL = s.YCOL;
    r.YNAME = s.YNAME;
    r.SCALECODE = s.SCALECODE;
    r.EPS = s.EPS;
    r.NOTELEVEL = s.NOTELEVEL;
    r.LSPEND = 1;
    if (!r.DATA.allocate(job_.n, s.NVAR)) return false;
    for (int i = 1; i <= job_.n; ++i) {
      const auto* from = s.DATA.data.row(s.N1 + rows[i - 1]);
      std::copy(from, from + s.NVAR, r.DATA.data.row(i));
    }
    return true;
  }

  // The data's path: its family, Q and steps, whatever the resample's own
  // singular values would have suggested.
  void setPath(AnalysisState& r) const {
    const AnalysisState& s = job_.s;
    r.SHAPECODE = s.SHAPECODE;
    r.QSHAPE = s.QSHAPE;
    r.MSTEPS = s.MSTEPS;
    r.NSTEPS = r.RANK * r.MSTEPS + 1;
    if (r.SHAPECODE == 0) setPathWeights(r);
  }

  // Only the coefficients are needed of the five traces: b = G (delta * c)
  // at every step, on the given scale when SCALECODE is 2. Each b sums its
  // terms in the order k = 1..rank; the P sums of a step run side by side.
  bool coefficientTrace(const AnalysisState& r, float* trace) {
    const int P = job_.P, rank = job_.rank;
    double a[kMaxVars + 1];
    double scale[kMaxVars];
    double b[kMaxVars];
    for (int j = 1; j <= P; ++j) {
      scale[j - 1] = 1.0;
      if (r.SCALECODE == 2 && r.XSTD.data[j] >= r.EPS)
        scale[j - 1] = static_cast<double>(r.YSTD) / r.XSTD.data[j];
    }
    // G's kept columns as rows, so that a step reads them in place.
    gt_.resize(static_cast<std::size_t>(rank) * P);
    for (int j = 1; j <= P; ++j) {
      for (int k = 1; k <= rank; ++k)
        gt_[static_cast<std::size_t>(k - 1) * P + (j - 1)] = r.DCOS.data[j][k];
    }
    for (int step = 1; step <= job_.nsteps; ++step) {
      const auto* delta = r.DYQ.data.row(step);
      for (int k = 1; k <= rank; ++k)
        a[k] = static_cast<double>(delta[k - 1]) * r.UCOMP.data[k];
      for (int j = 0; j < P; ++j)
        b[j] = 0.0;
      for (int k = 1; k <= rank; ++k) {
        const double* g = gt_.data() + static_cast<std::size_t>(k - 1) * P;
        const double ak = a[k];
        for (int j = 0; j < P; ++j)
          b[j] += g[j] * ak;
      }
      float* out = trace + static_cast<std::size_t>(step - 1) * P;
      for (int j = 0; j < P; ++j) {
        const double bj = b[j] * scale[j];
        if (!std::isfinite(bj)) return false;
        out[j] = static_cast<float>(bj);
      }
    }
    return true;
  }

  const Job& job_;
  std::vector<std::string> held_;
  std::vector<double> gt_;  // G transposed, kept from one resample to the next
  PathWalk walk_;
};

// Every resample's results, in slots by resample index: where a thread puts
// them does not depend on which thread it is.
struct Slots {
  std::vector<float> traces;       // B x nsteps x P
  std::vector<double> chosen;      // B x P: at the chosen extent
  std::vector<double> chosenMcal;  // B
  std::vector<ResampleOutcome> outcome;
};

// The quantiles at ascending probabilities of values (reordered), each by
// linear interpolation between the order statistics around (n - 1) p.
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

void runResamples(const Job& job, const BootstrapSettings& settings, Slots& slots,
                  std::atomic<int>& next, std::atomic<int>& done, const std::atomic<bool>& cancel) {
  ResampleAnalysis analysis(job);
  std::vector<int> rows;
  const std::size_t perTrace = static_cast<std::size_t>(job.nsteps) * job.P;
  for (;;) {
    if (cancel.load(std::memory_order_relaxed)) return;
    const int b = next.fetch_add(1, std::memory_order_relaxed);
    if (b >= settings.resamples) return;
    resampleRows(settings.seed, b, job.n, &rows);
    slots.outcome[b] = analysis.run(
        rows, slots.traces.data() + static_cast<std::size_t>(b) * perTrace,
        slots.chosen.data() + static_cast<std::size_t>(b) * job.P, &slots.chosenMcal[b]);
    done.fetch_add(1, std::memory_order_release);
  }
}

// Runs the workers and reports progress from the calling thread. False
// when cancelled.
bool runAll(const Job& job, const BootstrapSettings& settings, Slots& slots,
            const BootstrapProgress& progress) {
  std::atomic<int> next{0}, done{0};
  std::atomic<bool> cancel{false};
  std::mutex mutex;
  std::condition_variable finished;
  int running = 0;
  int threads = settings.threads > 0 ? settings.threads
                                     : static_cast<int>(std::thread::hardware_concurrency());
  threads = std::clamp(threads, 1, std::max(1, settings.resamples));

  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    try {
      {
        std::lock_guard lock(mutex);
        ++running;
      }
      workers.emplace_back([&] {
        runResamples(job, settings, slots, next, done, cancel);
        std::lock_guard lock(mutex);
        --running;
        finished.notify_all();
      });
    } catch (const std::system_error&) {
      std::lock_guard lock(mutex);
      --running;
      break;  // fewer threads do the same work
    }
  }
  if (workers.empty()) {
    runResamples(job, settings, slots, next, done, cancel);
  } else {
    std::unique_lock lock(mutex);
    while (running > 0) {
      finished.wait_for(lock, std::chrono::milliseconds(100));
      if (progress && running > 0) {
        lock.unlock();
        if (!progress(done.load(std::memory_order_acquire), settings.resamples)) cancel.store(true);
        lock.lock();
      }
    }
  }
  for (std::thread& w : workers)
    w.join();
  if (cancel.load()) return false;
  if (progress && !progress(settings.resamples, settings.resamples)) return false;
  return true;
}

// Neighbouring cells gathered at once: each resample's trace is read a cache
// line at a time instead of a value at a time.
constexpr std::size_t kCellBlock = 16;

// The interval and median of every cell of the path (step and predictor),
// a block of cells at a time, taking blocks from `next` until none is left.
void cellQuantiles(const Slots& slots, const std::vector<int>& used, std::size_t cells,
                   const double* probabilities, std::atomic<std::size_t>& next,
                   BootstrapResult& res) {
  std::vector<float> values(used.size());
  std::vector<float> block(kCellBlock * used.size());
  double q[3];
  for (;;) {
    const std::size_t c0 = next.fetch_add(kCellBlock, std::memory_order_relaxed);
    if (c0 >= cells) return;
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
}

void summarize(const Job& job, Slots& slots, BootstrapResult& res) {
  const int B = res.settings.resamples, P = job.P, nsteps = job.nsteps;
  std::vector<int> used;
  for (int b = 0; b < B; ++b) {
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
  const double tail = (1.0 - res.settings.level) / 2.0;
  const double probabilities[3] = {tail, 0.5, 1.0 - tail};
  const std::size_t perTrace = static_cast<std::size_t>(nsteps) * P;
  const std::size_t cells = perTrace;
  res.lower.assign(cells, 0.0);
  res.median.assign(cells, 0.0);
  res.upper.assign(cells, 0.0);
  // Each cell is summarized alone, so that the split over threads does not
  // change a bit.
  std::atomic<std::size_t> next{0};
  int threads = res.settings.threads > 0 ? res.settings.threads
                                         : static_cast<int>(std::thread::hardware_concurrency());
  threads = std::clamp(threads, 1, static_cast<int>(cells / kCellBlock) + 1);
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back([&] { cellQuantiles(slots, used, cells, probabilities, next, res); });
    } catch (const std::system_error&) {
      break;  // fewer threads do the same work
    }
  }
  cellQuantiles(slots, used, cells, probabilities, next, res);
  for (std::thread& h : helpers)
    h.join();

  std::vector<float> values(used.size());
  double q[5];
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
  for (std::size_t u = 0; u < used.size(); ++u)
    values[u] = static_cast<float>(slots.chosenMcal[used[u]]);
  quantilesOf(values, BootstrapResult::kMcalProbabilities, 5, res.mcalQuantiles);
}

}  // namespace

void resampleRows(std::uint64_t seed, int index, int n, std::vector<int>* rows) {
  RowDraws draws(seed, index);
  rows->resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    (*rows)[i] = draws.below(n);
}

std::string whyNoResampling(const AnalysisState& s) {
  if (s.XPXFORM != 0) {
    return "Inference intervals need raw observations to resample; these data are "
           "cross-products.";
  }
  if (s.LSPEND != 0 || s.RANK < 1 || s.NSTEPS < 2 || s.CYQ.rows != s.NSTEPS ||
      s.DYQ.rows != s.NSTEPS) {
    return "Inference intervals need a traced path: run Select Shape first.";
  }
  if (s.THREEYQ.rows != s.NSTEPS) {
    return "Inference intervals need the extent criteria, which R-squared = 1 rules out.";
  }
  if (s.N < 2 || s.N > kMaxRawObs || s.N1 < 1 || s.N2 > s.DATA.rows || s.DATA.cols < s.NVAR ||
      s.P > kMaxVars) {
    return "Inference intervals need the observations of the analysis, which are not held.";
  }
  return {};
}

bool chooseResampleExtent(const AnalysisState& s, const ExtentRequest& request,
                          ChosenExtent* extent, std::string* why) {
  PathWalk walk;
  if (!walkPath(s, &walk)) {
    *why = "no path has been traced";
    return false;
  }
  return chooseExtentOnWalk(s, walk, request, extent, why);
}

void coefficientsAt(const AnalysisState& s, const DeltaRow& delta, double* b) {
  double a[kMaxVars + 1];
  for (int k = 1; k <= s.RANK; ++k)
    a[k] = delta[k] * s.UCOMP.data[k];
  for (int j = 1; j <= s.P; ++j) {
    double sum = 0.0;
    for (int k = 1; k <= s.RANK; ++k)
      sum += static_cast<double>(s.DCOS.data[j][k]) * a[k];
    if (s.SCALECODE == 2 && s.XSTD.data[j] >= s.EPS)
      sum *= static_cast<double>(s.YSTD) / s.XSTD.data[j];
    b[j - 1] = sum;
  }
}

double quantileOf(std::vector<float>& values, double probability) {
  double q = 0.0;
  quantilesOf(values, &probability, 1, &q);
  return q;
}

std::optional<BootstrapResult> runBootstrap(const AnalysisState& s,
                                            const BootstrapSettings& settings,
                                            const BootstrapProgress& progress, std::string* why) {
  if (std::string reason = whyNoResampling(s); !reason.empty()) {
    *why = std::move(reason);
    return std::nullopt;
  }
  if (settings.resamples < 1 || !(settings.level > 0.0 && settings.level < 1.0)) {
    *why = "Inference intervals need at least one resample and a level between 0 and 1.";
    return std::nullopt;
  }
  ChosenExtent dataExtent;
  std::string reason;
  if (!chooseResampleExtent(s, settings.extent, &dataExtent, &reason)) {
    *why = "Inference intervals need an extent on the data: " + reason + ".";
    return std::nullopt;
  }
  // Raw data hold at most kMaxRawObs observations (checked above).
  const Job job{s, static_cast<int>(s.N), s.P, s.RANK, s.NSTEPS, settings.extent};
  BootstrapResult res;
  res.extentLabel = extentRequestLabel(settings.extent);
  res.settings = settings;
  res.P = s.P;
  res.nsteps = s.NSTEPS;
  res.msteps = s.MSTEPS;
  res.rank = s.RANK;
  for (int j = 1; j <= s.P; ++j)
    res.names.push_back(s.XNAME[j]);

  Slots slots;
  try {
    slots.traces.resize(static_cast<std::size_t>(settings.resamples) * s.NSTEPS * s.P);
    slots.chosen.assign(static_cast<std::size_t>(settings.resamples) * s.P, 0.0);
    slots.chosenMcal.assign(settings.resamples, 0.0);
    slots.outcome.assign(settings.resamples, ResampleOutcome::kNoCriteria);
  } catch (const std::bad_alloc&) {
    *why = "Not enough memory for " + std::to_string(settings.resamples) +
           " resampled paths: ask for fewer resamples.";
    return std::nullopt;
  }
  if (!runAll(job, settings, slots, progress)) {
    *why = "Inference intervals cancelled; no intervals were made.";
    return std::nullopt;
  }
  summarize(job, slots, res);

  res.estimate.resize(static_cast<std::size_t>(res.nsteps) * res.P);
  for (int step = 1; step <= res.nsteps; ++step) {
    for (int j = 1; j <= res.P; ++j)
      res.estimate[res.cell(step, j)] = s.CYQ.data[step][j];
  }
  res.chosenMcal = dataExtent.mcal;
  res.chosenEstimate.assign(res.P, 0.0);
  coefficientsAt(s, dataExtent.delta, res.chosenEstimate.data());
  return res;
}

}  // namespace tolvane
