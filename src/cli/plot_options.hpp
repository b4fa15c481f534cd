// The plot options of tolvane-batch: the five trace charts of each path
// written as image files, titled and labelled as in the desktop program's
// graph windows. Plots come from the graph layer, which is built only with
// the desktop program (TOLVANE_GUI); without it the options are still
// accepted by name but asking for plots is a usage error that says why.
#pragma once

#include <ostream>
#include <string>

#include "engine/analysis_state.hpp"

namespace CLI {
class App;
}

namespace tolvane {

struct PlotOptions {
  std::string dir;             // --plots: folder for the charts; empty for none
  std::string format = "png";  // --plot-format: png, svg or pdf
};

// True when this build can write plots.
bool plotsAvailable();

// Declares --plots and --plot-format on `app`.
void addPlotOptions(CLI::App& app, PlotOptions& options);

// Writes the charts of the path just traced (number counts the paths from
// 1) into options.dir as path<number>_cyq, _ryq, _eyq, _iyq and _dyq with
// the format's extension, the names of the CSV copies. Does nothing when no
// plots were asked for. Starts the offscreen chart platform on first use.
// Returns kExitCompleted, or kExitStopped after saying on `err` which file
// could not be written.
int writePathPlots(const PlotOptions& options, const AnalysisState& state, int number,
                   std::ostream& err);

}  // namespace tolvane
