// The plot options of tolvane-batch: the five trace charts of each path
// written as image files, titled and labelled as in the desktop program's
// graph windows. Plots come from the graph layer, which is built only with
// the desktop program (TOLVANE_GUI), through the plot plug-in the batch tool
// opens when --plots is read (plot_plugin_loader.hpp). In a build without
// it, or when the plug-in cannot be opened, the options are still accepted by
// name but asking for plots is a usage error that says why.
#pragma once

#include <ostream>
#include <string>

#include "engine/analysis_state.hpp"
#include "model/bootstrap.hpp"

namespace CLI {
class App;
}

namespace tolvane {

struct PlotOptions {
  std::string dir;             // --plots: folder for the charts; empty for none
  std::string format = "png";  // --plot-format: png, svg or pdf
  // --plot-size WxH: pixels for PNG, points for SVG and PDF.
  int width = 800;
  int height = 560;
  // --plot-dpi: what a PNG is drawn for; text and lines grow with it.
  int dpi = 96;
};

// "1600x1120" (or "1600X1120") into width and height, each from 100 to
// 10000; false for anything else.
bool parsePlotSize(const std::string& text, int* width, int* height);

// True when this build made the plot plug-in.
bool plotsAvailable();

// Declares --plots, --plot-format, --plot-size and --plot-dpi on `app`.
void addPlotOptions(CLI::App& app, PlotOptions& options);

// Writes the charts of the path just traced (number counts the paths from
// 1) into options.dir as path<number>_<path>_cyq, _ryq, _eyq, _iyq and _dyq
// with the format's extension, where <path> names the family, Q and steps. Does nothing when no
// plots were asked for. Starts the offscreen chart platform on first use.
// Returns kExitCompleted, kExitStopped after saying on `err` which file could
// not be written, or kExitUsage after saying why plotting is unavailable.
int writePathPlots(const PlotOptions& options, const AnalysisState& state, int number,
                   std::ostream& err);

// With --plots, the chart of the path's inference intervals as
// path<number>_intervals in the plot format; returns as writePathPlots.
int writeIntervalsPlot(const PlotOptions& options, const AnalysisState& state,
                       const BootstrapResult& result, int number, std::ostream& err);

}  // namespace tolvane
