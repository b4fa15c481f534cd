#include "model/bootstrap.hpp"

#include <new>

#include "matrix/parallel_for.hpp"
#include "model/resample_analysis.hpp"
#include "model/resample_quantiles.hpp"

namespace tolvane {

namespace {

unsigned threadsOf(const BootstrapSettings& settings) {
  return settings.threads > 0 ? static_cast<unsigned>(settings.threads) : 0;
}

// What one thread keeps from one resample to the next.
struct ResampleWorker {
  explicit ResampleWorker(const ResampleJob& job) : analysis(job) {}
  ResampleAnalysis analysis;
  std::vector<int> rows;
};

// Every resample into its slot, on up to settings.threads threads; progress
// comes on the calling thread.
ParallelOutcome runResamples(const ResampleJob& job, const BootstrapSettings& settings,
                             ResampleSlots& slots, const BootstrapProgress& progress) {
  const auto count = static_cast<std::size_t>(settings.resamples);
  const unsigned threads = threadsOf(settings);
  std::vector<ResampleWorker> workers;
  const unsigned workerCount = parallelWorkers(count, threads);
  workers.reserve(workerCount);
  for (unsigned w = 0; w < workerCount; ++w)
    workers.emplace_back(job);
  const std::size_t perTrace = static_cast<std::size_t>(job.nsteps) * job.P;
  auto resample = [&](std::size_t b, unsigned w) {
    ResampleWorker& worker = workers[w];
    resampleRows(settings.seed, static_cast<int>(b), job.n, &worker.rows);
    slots.outcome[b] = worker.analysis.run(
        worker.rows, slots.traces.data() + b * perTrace, slots.chosen.data() + b * job.P,
        slots.terms.data() + b * (job.P + 1), &slots.chosenMcal[b]);
  };
  if (!progress) return parallelFor(count, threads, resample);
  return parallelFor(count, threads, resample, [&](std::size_t done) {
    return progress(static_cast<int>(done), settings.resamples);
  });
}

std::string whyStopped(ParallelOutcome outcome, const BootstrapSettings& settings) {
  switch (outcome) {
    case ParallelOutcome::kCancelled:
      return "Inference intervals cancelled; no intervals were made.";
    case ParallelOutcome::kOutOfMemory:
      return "Not enough memory for " + std::to_string(settings.resamples) +
             " resampled paths: ask for fewer resamples.";
    default:
      return "Inference intervals stopped on an unexpected error; no intervals were made.";
  }
}

}  // namespace

Status resamplingStatus(const AnalysisState& s) {
  if (s.XPXFORM != 0) {
    return Status::stopped(
        "Inference intervals need raw observations to resample; these data are "
        "cross-products.");
  }
  if (s.LSPEND != 0 || s.RANK < 1 || s.NSTEPS < 2 || s.CYQ.rows != s.NSTEPS ||
      s.DYQ.rows != s.NSTEPS) {
    return Status::stopped("Inference intervals need a traced path: run Select Shape first.");
  }
  if (s.THREEYQ.rows != s.NSTEPS) {
    return Status::stopped(
        "Inference intervals need the extent criteria, which R-squared = 1 rules out.");
  }
  if (s.N < 2 || s.N1 < 1 || s.N2 > s.DATA.rows || s.DATA.cols < s.NVAR) {
    return Status::stopped(
        "Inference intervals need the observations of the analysis, which are not held.");
  }
  return {};
}

StatusOr<BootstrapResult> runBootstrap(const AnalysisState& s, const BootstrapSettings& settings,
                                       const BootstrapProgress& progress) {
  if (Status can = resamplingStatus(s); !can.ok()) return can;
  if (settings.resamples < 1 || !(settings.level > 0.0 && settings.level < 1.0)) {
    return Status::stopped(
        "Inference intervals need at least one resample and a level between 0 and 1.");
  }
  const StatusOr<ChosenExtent> dataExtent = chooseResampleExtent(s, settings.extent);
  if (!dataExtent) {
    return Status::stopped(
        "Inference intervals need an extent on the data: " + dataExtent.message() + ".");
  }
  // Raw data rows are int (the model matrices' row counts).
  const ResampleJob job{s, static_cast<int>(s.N), s.P, s.RANK, s.NSTEPS, settings.extent};
  BootstrapResult res;
  res.extentLabel = extentRequestLabel(settings.extent);
  res.settings = settings;
  res.P = s.P;
  res.nsteps = s.NSTEPS;
  res.msteps = s.MSTEPS;
  res.rank = s.RANK;
  for (int j = 1; j <= s.P; ++j)
    res.names.push_back(s.XNAME[j]);

  ResampleSlots slots;
  ParallelOutcome outcome = ParallelOutcome::kOutOfMemory;
  try {
    slots.traces.resize(static_cast<std::size_t>(settings.resamples) * s.NSTEPS * s.P);
    slots.chosen.assign(static_cast<std::size_t>(settings.resamples) * s.P, 0.0);
    slots.chosenMcal.assign(settings.resamples, 0.0);
    slots.terms.assign(static_cast<std::size_t>(settings.resamples) * (s.P + 1), 0.0);
    slots.outcome.assign(settings.resamples, ResampleOutcome::kNoCriteria);
    outcome = runResamples(job, settings, slots, progress);
    if (outcome == ParallelOutcome::kDone)
      outcome = summarizeResamples(job, slots, threadsOf(settings), res);
  } catch (const std::bad_alloc&) {
    outcome = ParallelOutcome::kOutOfMemory;
  }
  if (outcome != ParallelOutcome::kDone) {
    return Status::failure(
        outcome == ParallelOutcome::kCancelled ? StatusCode::kCancelled : StatusCode::kStopped,
        whyStopped(outcome, settings));
  }

  res.estimate.resize(static_cast<std::size_t>(res.nsteps) * res.P);
  for (int step = 1; step <= res.nsteps; ++step) {
    for (int j = 1; j <= res.P; ++j)
      res.estimate[res.cell(step, j)] = s.CYQ.data[step][j];
  }
  res.chosenMcal = dataExtent->mcal;
  res.chosenEstimate.assign(res.P, 0.0);
  coefficientsAt(s, dataExtent->delta, res.chosenEstimate.data());
  return res;
}

}  // namespace tolvane
