// The plot plug-in's entry point: the batch tool's chart requests handed to
// the graph layer. Built only into the plug-in module, never into the batch
// tool, which must not link Qt.
#include <QDir>
#include <QString>
#include <exception>
#include <filesystem>
#include <string>

#include "graph/intervals_chart.hpp"
#include "graph/trace_export.hpp"
#include "model/plot_plugin_abi.hpp"

namespace tolvane {

namespace {

// The reason of the last failure; the batch tool calls from one thread.
std::string lastFailure;

const char* failed(std::string why) {
  lastFailure = std::move(why);
  return lastFailure.c_str();
}

PlotFormat formatOf(const char* text) {
  PlotFormat format = PlotFormat::Png;
  parsePlotFormat(text, &format);  // checked when read; png otherwise
  return format;
}

const char* pathCharts(const AnalysisState* state, const char* dir, const char* stem,
                       const char* format, TolvanePlotLook look) noexcept {
  try {
    std::string why;
    if (!writeTracePlots(*state, dir, stem, formatOf(format), nullptr, &why,
                         PlotLook{look.width, look.height, look.dpi})) {
      return failed(why);
    }
    return nullptr;
  } catch (const std::exception& e) {
    return failed(std::string("the chart layer failed: ") + e.what());
  } catch (...) {
    return failed("the chart layer failed");
  }
}

const char* intervalsChart(const AnalysisState* state, const BootstrapResult* result,
                           const char* dir, const char* stem, const char* format) noexcept {
  try {
    const PlotFormat f = formatOf(format);
    // A folder that cannot be made shows as the chart that cannot be written.
    QDir().mkpath(QString::fromUtf8(dir));
    const std::string chart =
        (std::filesystem::path(dir) / (std::string(stem) + "_intervals." + plotFormatExtension(f)))
            .string();
    std::string why;
    if (!writeIntervalsChart(*state, *result, chart, f, &why)) return failed(why);
    return nullptr;
  } catch (const std::exception& e) {
    return failed(std::string("the chart layer failed: ") + e.what());
  } catch (...) {
    return failed("the chart layer failed");
  }
}

}  // namespace

}  // namespace tolvane

extern "C" __attribute__((visibility("default"))) const TolvanePlotPlugin* tolvane_plot_plugin() {
  static const TolvanePlotPlugin plugin{tolvane::kPlotPluginVersion, sizeof(tolvane::AnalysisState),
                                        sizeof(tolvane::BootstrapResult), &tolvane::pathCharts,
                                        &tolvane::intervalsChart};
  return &plugin;
}
