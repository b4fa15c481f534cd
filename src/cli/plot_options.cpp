#include "cli/plot_options.hpp"

#include <CLI/CLI.hpp>

#include "cli/batch_options.hpp"
#include "cli/plot_plugin_loader.hpp"

namespace tolvane {

namespace {

constexpr const char* kUnavailable =
    "plotting is unavailable in this build (tolvane-batch was built without the desktop "
    "program's graph layer)";

// The plug-in, or nullptr with *why saying why plotting is unavailable.
const TolvanePlotPlugin* plugin(std::string* why) {
  if (!plotsAvailable()) {
    *why = kUnavailable;
    return nullptr;
  }
  const TolvanePlotPlugin* opened = plotPlugin(why);
  if (opened == nullptr) *why = "plotting is unavailable: " + *why;
  return opened;
}

// The plug-in, or nullptr after saying on err why plotting is unavailable.
const TolvanePlotPlugin* pluginOrSay(std::ostream& err) {
  std::string why;
  const TolvanePlotPlugin* opened = plugin(&why);
  if (opened == nullptr) err << "tolvane-batch: " << why << "\n";
  return opened;
}

}  // namespace

bool plotsAvailable() {
#ifdef TOLVANE_WITH_PLOTS
  return true;
#else
  return false;
#endif
}

bool parsePlotSize(const std::string& text, int* width, int* height) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos || x == 0 || x + 1 >= text.size()) return false;
  auto number = [](const std::string& digits, int* out) {
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    *out = std::stoi(digits);
    return *out >= 100 && *out <= 10000;
  };
  int w = 0, h = 0;
  if (!number(text.substr(0, x), &w) || !number(text.substr(x + 1), &h)) return false;
  *width = w;
  *height = h;
  return true;
}

void addPlotOptions(CLI::App& app, PlotOptions& o) {
  CLI::Option* plots =
      app.add_option("--plots", o.dir,
                     "Folder for the five trace charts of each path (made when missing): "
                     "pathN_cyq, _ryq, _eyq, _iyq, _dyq")
          ->option_text("DIR");
  if (!plotsAvailable())
    plots->description(plots->get_description() + " (unavailable in this build)");
  // Opening the plug-in here refuses plots before anything is written.
  plots->check([](const std::string&) {
    std::string why;
    return plugin(&why) != nullptr ? std::string() : why;
  });
  app.add_option("--plot-format", o.format, "File format of the charts: png, svg or pdf")
      ->transform(CLI::IsMember({"png", "svg", "pdf"}, CLI::ignore_case))
      ->option_text("png|svg|pdf");
  app.add_option_function<std::string>(
         "--plot-size", [&o](const std::string& text) { parsePlotSize(text, &o.width, &o.height); },
         "Size of each chart: pixels for PNG, points for SVG and PDF (default 800x560)")
      ->check(
          [](const std::string& text) {
            int w = 0, h = 0;
            return parsePlotSize(text, &w, &h)
                       ? std::string()
                       : "expected WIDTHxHEIGHT, each from 100 to 10000, such as 1600x1120";
          },
          "WxH")
      ->option_text("WxH");
  app.add_option("--plot-dpi", o.dpi,
                 "Dots per inch a PNG chart is drawn for; text and lines grow with it, so "
                 "--plot-size 1600x1120 --plot-dpi 192 reads like the default at twice the "
                 "detail (default 96)")
      ->check(CLI::Range(24, 1200))
      ->option_text("N");
}

int writePathPlots(const PlotOptions& options, const AnalysisState& state, int number,
                   std::ostream& err) {
  if (options.dir.empty()) return kExitCompleted;
  const TolvanePlotPlugin* plots = pluginOrSay(err);
  if (plots == nullptr) return kExitUsage;
  const std::string stem = "path" + std::to_string(number);
  const TolvanePlotLook look{options.width, options.height, options.dpi};
  if (const char* failure = plots->writePathCharts(&state, options.dir.c_str(), stem.c_str(),
                                                   options.format.c_str(), look)) {
    err << "tolvane-batch: plots: " << failure << "\n";
    return kExitStopped;
  }
  err << "tolvane-batch: charts of path " << number << " in " << options.dir << "\n";
  return kExitCompleted;
}

int writeIntervalsPlot(const PlotOptions& options, const AnalysisState& state,
                       const BootstrapResult& result, int number, std::ostream& err) {
  if (options.dir.empty()) return kExitCompleted;
  const TolvanePlotPlugin* plots = pluginOrSay(err);
  if (plots == nullptr) return kExitUsage;
  const std::string stem = "path" + std::to_string(number);
  if (const char* failure = plots->writeIntervalsChart(&state, &result, options.dir.c_str(),
                                                       stem.c_str(), options.format.c_str())) {
    err << "tolvane-batch: plots: " << failure << "\n";
    return kExitStopped;
  }
  return kExitCompleted;
}

}  // namespace tolvane
