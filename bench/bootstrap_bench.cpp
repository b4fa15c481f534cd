// Inference intervals on the largest example (examples/wide.ayq: 200
// observations of 49 predictors, 8 steps per unit of MCAL, 393 path steps):
// 1000 resamples, each a whole analysis, its extent criteria and its
// coefficient trace, in double precision on every thread of the machine and
// on one, and in single precision.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/analysis_state.hpp"
#include "engine/path_dialog.hpp"
#include "engine/select_shape.hpp"
#include "input/batch_input_run.hpp"
#include "model/bootstrap.hpp"
#include "report/report.hpp"

namespace {

using namespace tolvane;

// The example analysed and traced once in each precision; its output files
// go to a scratch folder that is removed at once.
AnalysisState& wideState(Precision precision) {
  static AnalysisState states[2];
  static bool ready[2] = {false, false};
  const int at = precision == Precision::kSingle ? 0 : 1;
  AnalysisState& s = states[at];
  if (!ready[at]) {
    s.precision = precision;
    PrecisionScope scope(precision);
    std::string dir = (std::filesystem::temp_directory_path() / "tolvane-bench-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) std::abort();
    const std::string example = TOLVANE_SOURCE_DIR "/examples/wide.ayq";
    std::vector<std::string> held;
    ReportCapture capture(&held);
    ModelSettings settings;
    settings.precision = precision;
    const BatchInput input(std::fopen(example.c_str(), "r"), example, dir, 0);
    if (input.file == nullptr || !runBatchInput(s, input, settings).completed()) std::abort();
    if (!SELECT_SHAPE(s, PathSettings{PathShape::kQShape, "0.0", kStepsEight})) std::abort();
    s.files.closeBoth();
    std::filesystem::remove_all(dir);
    ready[at] = true;
  }
  return s;
}

// Arguments: threads (0 for all), then 1 for double precision, 0 for single.
void BM_Bootstrap1000(benchmark::State& state) {
  AnalysisState& s = wideState(state.range(1) ? Precision::kDouble : Precision::kSingle);
  BootstrapSettings settings;
  settings.resamples = 1000;
  settings.threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    auto r = runBootstrap(s, settings, {});
    if (!r) state.SkipWithError(r.message().c_str());
    benchmark::DoNotOptimize(r);
  }
  state.counters["steps"] = s.NSTEPS;
}
BENCHMARK(BM_Bootstrap1000)
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// One resample's share, for profiling at a smaller count.
void BM_Bootstrap50(benchmark::State& state) {
  AnalysisState& s = wideState(Precision::kDouble);
  BootstrapSettings settings;
  settings.resamples = 50;
  settings.threads = 1;
  for (auto _ : state) {
    auto r = runBootstrap(s, settings, {});
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_Bootstrap50)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
