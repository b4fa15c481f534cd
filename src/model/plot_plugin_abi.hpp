// The boundary between tolvane-batch and its plot plug-in, the shared module
// that holds the graph layer and with it Qt. The batch tool opens the plug-in
// only when charts are asked for: loading Qt's libraries takes longer than a
// whole run without charts. Only C types and pointers to the core's own
// Qt-free structures cross the boundary, and no exception does: a function
// that fails returns its reason as text.
#pragma once

#include <cstddef>

namespace tolvane {
struct AnalysisState;
struct BootstrapResult;
}  // namespace tolvane

extern "C" {

// How a chart file is drawn: as graph/trace_export.hpp's PlotLook.
struct TolvanePlotLook {
  int width;
  int height;
  int dpi;
};

// Every text is UTF-8 and NUL-terminated; format is "png", "svg" or "pdf" in
// any case (PNG for anything else). A function returns nullptr when it wrote
// its charts, else why not, in text the plug-in keeps until its next call.
struct TolvanePlotPlugin {
  // kPlotPluginVersion and the sizes of the structures the plug-in was built
  // with: a plug-in from another build is refused, not misread.
  int version;
  std::size_t stateSize;
  std::size_t resultSize;
  // The trace charts of the state's current path in dir (made when missing)
  // as <stem>_<path>_cyq and so on, as graph/trace_export.hpp's
  // writeTracePlots.
  const char* (*writePathCharts)(const tolvane::AnalysisState* state, const char* dir,
                                 const char* stem, const char* format, TolvanePlotLook look);
  // The inference intervals chart as dir/<stem>_intervals.<format>, at the
  // chart files' default size.
  const char* (*writeIntervalsChart)(const tolvane::AnalysisState* state,
                                     const tolvane::BootstrapResult* result, const char* dir,
                                     const char* stem, const char* format);
};

// The plug-in's one exported function, named kPlotPluginEntry.
using TolvanePlotPluginEntry = const TolvanePlotPlugin* (*)();

}  // extern "C"

namespace tolvane {

// Raised whenever TolvanePlotPlugin or what its functions are given changes.
inline constexpr int kPlotPluginVersion = 1;
inline constexpr char kPlotPluginEntry[] = "tolvane_plot_plugin";

}  // namespace tolvane
