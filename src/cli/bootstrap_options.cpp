#include "cli/bootstrap_options.hpp"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <system_error>

#include "cli/batch_options.hpp"
#include "cli/report_printer.hpp"
#include "model/bootstrap.hpp"
#include "model/bootstrap_report.hpp"

namespace tolvane {

namespace {

constexpr const char* kBootstrapFooter = R"(

Inference intervals (Visualize > Display Inference Intervals), raw data only:
  --bootstrap B resamples the observations B times (with replacement) after
  each path; every resample repeats the analysis, the path and its own choice
  of the extent (by --extent, the CLIK minimum by default). The report and the summary file get the
  intervals at MCAL = 0 and at the chosen extent, and pathk_intervals.csv (in
  --traces-csv DIR, else beside the summary file as NAME_pathk_intervals.csv)
  every step's. --seed S (default 1) and --level L (default 0.90) are printed
  with them; --extent chooses the extent of the data and of every resample. The same seed gives the same intervals on any machine.
)";

}  // namespace

void addBootstrapOptions(CLI::App& app, BootstrapOptions& o) {
  app.footer(app.get_footer() + kBootstrapFooter);
  app.add_option("--bootstrap", o.resamples,
                 "Inference intervals from B resamples of the observations after each path "
                 "(raw data only; 1000 is a good choice)")
      ->check(CLI::Range(kMinResamples, kMaxResamples))
      ->option_text("B");
  app.add_option("--seed", o.seed, "Seed of the resampling (default 1)")
      ->check(CLI::NonNegativeNumber)
      ->option_text("S");
  app.add_option("--level", o.level, "Two-sided level of the intervals (default 0.90)")
      ->check(CLI::Range(kMinLevel, kMaxLevel))
      ->option_text("L");
}

int runPathBootstrap(const BootstrapOptions& options, const ExtentRequest& extent,
                     AnalysisState& state, int number, const std::string& csvFolder,
                     const PlotOptions& plots, std::ostream& out, std::ostream& err,
                     std::optional<BootstrapResult>* kept) {
  if (options.resamples < 1) return kExitCompleted;
  BootstrapSettings settings;
  settings.resamples = options.resamples;
  settings.seed = options.seed;
  settings.level = options.level;
  settings.threads = options.threads;
  settings.extent = extent;
  BootstrapProgress progress;
  if (options.progress) {
    progress = [&err, number](int done, int total) {
      err << "\rtolvane-batch: path " << number << ": resample " << done << " of " << total
          << std::flush;
      return true;
    };
  }
  const StatusOr<BootstrapResult> result = runBootstrap(state, settings, progress);
  if (options.progress) err << "\n";
  if (!result) {
    err << "tolvane-batch: --bootstrap: " << result.message() << "\n";
    return kExitUsage;
  }

  const std::string path = intervalsCsvPath(state, csvFolder, number);
  if (!csvFolder.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(csvFolder, ec);
  }
  if (const Status written = writeBootstrapCsv(*result, path); !written.ok()) {
    err << "tolvane-batch: " << written.message << "\n";
    return kExitStopped;
  }
  {
    ReportPrinter printer(out);
    reportBootstrap(state, *result, std::filesystem::path(path).filename().string());
  }
  if (const Status flushed = state.files.flushBoth(); !flushed.ok()) {
    state.files.revertBoth();
    err << "tolvane-batch: " << flushed.message << "; this run's output files were removed\n";
    return kExitStopped;
  }
  if (const int status = writeIntervalsPlot(plots, state, *result, number, err);
      status != kExitCompleted) {
    return status;
  }
  err << "tolvane-batch: path " << number << ": intervals from " << result->used << " of "
      << options.resamples << " resamples in " << path << "\n";
  if (result->unreliable()) {
    err << "tolvane-batch: path " << number << ": " << result->failed()
        << " resamples failed: the intervals are unreliable\n";
  }
  if (kept != nullptr) *kept = *result;
  return kExitCompleted;
}

}  // namespace tolvane
