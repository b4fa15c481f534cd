// The inference-interval options of tolvane-batch: after each path, B
// resamples of the observations give percentile intervals along the
// coefficient trace (report and summary block, a CSV file per path).
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "cli/plot_options.hpp"
#include "engine/analysis_state.hpp"
#include "model/bootstrap.hpp"
#include "model/extent_choice.hpp"

namespace CLI {
class App;
}

namespace tolvane {

struct BootstrapOptions {
  int resamples = 0;  // --bootstrap B; 0 for none
  std::uint64_t seed = 1;
  double level = 0.90;
  int threads = 0;        // --threads: 0 for all
  bool progress = false;  // print progress lines on the error stream
};

// Declares --bootstrap, --seed, --level (and adds their help).
void addBootstrapOptions(CLI::App& app, BootstrapOptions& options);

// The intervals of the path just traced (number counts paths from 1), the
// extent chosen by `extent` on the data and in every resample: runs the
// resamples, appends the block to the report and the summary file, and
// writes path<number>_intervals.csv into csvFolder, or, with none, beside
// the summary file as <summary base>_path<number>_intervals.csv; with
// --plots also the chart path<number>_intervals in the plot format. Does
// nothing when no resamples were asked for. Returns kExitCompleted;
// kExitUsage when the data cannot be resampled (saying why on `err`);
// kExitStopped when the CSV file cannot be written. *kept (when given)
// receives the result, for the fit's CSV.
int runPathBootstrap(const BootstrapOptions& options, const ExtentRequest& extent,
                     AnalysisState& state, int number, const std::string& csvFolder,
                     const PlotOptions& plots, std::ostream& out, std::ostream& err,
                     std::optional<BootstrapResult>* kept = nullptr);

}  // namespace tolvane
