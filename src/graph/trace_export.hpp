// Trace charts written to files without a window, for the batch tool. The
// charts are titled and labelled as in the graph windows. This header uses
// no Qt types, so a caller need not include Qt.
#pragma once

#include <string>
#include <vector>

#include "engine/analysis_state.hpp"

namespace tolvane {

enum class PlotFormat { Png, Svg, Pdf };

// "png", "svg" or "pdf" (any case); false for anything else.
bool parsePlotFormat(const std::string& text, PlotFormat* format);

// "png", "svg" or "pdf".
const char* plotFormatExtension(PlotFormat format);

// Size of a written chart: pixels for PNG, points for SVG and PDF.
inline constexpr int kPlotWidth = 800;
inline constexpr int kPlotHeight = 560;
// The resolution a screen chart is drawn for.
inline constexpr int kPlotDpi = 96;

// How a chart file is drawn. A PNG is width x height pixels meant for dpi
// dots per inch: its text and lines are drawn dpi / 96 times as large as a
// screen chart's, so that a large PNG at a high dpi reads as the chart on
// the screen does. SVG and PDF are width x height points and ignore dpi.
struct PlotLook {
  int width = kPlotWidth;
  int height = kPlotHeight;
  int dpi = kPlotDpi;
};

// Writes the chart of graph command commandId (101 to 105, 110) over the
// state's current traces to path. Creates an offscreen QApplication when none
// exists. False with *error set when the id is no graph command or the file
// cannot be written. The file's own title (SVG and PDF title, PNG text
// "Title") names the trace and the path, as a graph window's title does.
bool writeTraceChart(const AnalysisState& state, int commandId, const std::string& path,
                     PlotFormat format, std::string* error, const PlotLook& look = {});

// Writes the five trace charts of the current path (commands 101 to 105) into
// directory dir (created when missing) as <stem>_<path>_cyq, _ryq, _eyq, _iyq
// and _dyq (the trace matrices' tags), and the Comparison Criteria chart (116)
// as <stem>_<path>_criteria when the model layer has filled CCYQ, with the
// format's extension, where <path> names the family, Q and steps
// ("qshape_q0.5_4steps"), appending each written path to *written. Stops at
// the first failure: false with *error naming the file.
bool writeTracePlots(const AnalysisState& state, const std::string& dir, const std::string& stem,
                     PlotFormat format, std::vector<std::string>* written, std::string* error,
                     const PlotLook& look = {});

}  // namespace tolvane
