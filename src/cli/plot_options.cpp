#include "cli/plot_options.hpp"

#include <CLI/CLI.hpp>

#include "cli/batch_options.hpp"

#ifdef TOLVANE_WITH_PLOTS
#include "graph/trace_export.hpp"
#endif

namespace tolvane {

namespace {
constexpr const char* kUnavailable =
    "plotting is unavailable in this build (tolvane-batch was built without the desktop "
    "program's graph layer)";
}  // namespace

bool plotsAvailable() {
#ifdef TOLVANE_WITH_PLOTS
  return true;
#else
  return false;
#endif
}

void addPlotOptions(CLI::App& app, PlotOptions& o) {
  CLI::Option* plots =
      app.add_option("--plots", o.dir,
                     "Folder for the five trace charts of each path (made when missing): "
                     "pathN_cyq, _ryq, _eyq, _iyq, _dyq")
          ->option_text("DIR");
  if (!plotsAvailable()) {
    plots->description(plots->get_description() + " (unavailable in this build)");
    plots->check([](const std::string&) { return std::string(kUnavailable); });
  }
  app.add_option("--plot-format", o.format, "File format of the charts: png, svg or pdf")
      ->transform(CLI::IsMember({"png", "svg", "pdf"}, CLI::ignore_case))
      ->option_text("png|svg|pdf");
}

int writePathPlots(const PlotOptions& options, const AnalysisState& state, int number,
                   std::ostream& err) {
  if (options.dir.empty()) return kExitCompleted;
#ifdef TOLVANE_WITH_PLOTS
  PlotFormat format = PlotFormat::Png;
  parsePlotFormat(options.format, &format);  // checked when read; png otherwise
  std::string why;
  if (!writeTracePlots(state, options.dir, "path" + std::to_string(number), format, nullptr,
                       &why)) {
    err << "tolvane-batch: plots: " << why << "\n";
    return kExitStopped;
  }
  err << "tolvane-batch: charts of path " << number << " in " << options.dir << "\n";
  return kExitCompleted;
#else
  (void)state;
  (void)number;
  err << "tolvane-batch: " << kUnavailable << "\n";
  return kExitUsage;
#endif
}

}  // namespace tolvane
