#include "graph/trace_export.hpp"

#include <QDir>
#include <QString>
#include <algorithm>
#include <cctype>

#include "graph/chart_library.hpp"
#include "graph/plot_trace.hpp"
#include "graph/trace_chart.hpp"
#include "graph/trace_kind.hpp"

namespace tolvane {

namespace {

ChartFileFormat fileFormat(PlotFormat f) {
  switch (f) {
    case PlotFormat::Svg:
      return ChartFileFormat::Svg;
    case PlotFormat::Pdf:
      return ChartFileFormat::Pdf;
    case PlotFormat::Png:
      break;
  }
  return ChartFileFormat::Png;
}

struct TraceFile {
  int command;
  const char* tag;
};
constexpr TraceFile kTraceFiles[] = {
    {cmd::kCoefficientTrace, "cyq"},      {cmd::kRelativeRiskTrace, "ryq"},
    {cmd::kExcessEigenvalueTrace, "eyq"}, {cmd::kInferiorDirectionTrace, "iyq"},
    {cmd::kShrinkageFactorTrace, "dyq"},  {cmd::kComparisonCriteria, "criteria"}};

}  // namespace

bool parsePlotFormat(const std::string& text, PlotFormat* format) {
  std::string t = text;
  std::transform(t.begin(), t.end(), t.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (t == "png") {
    *format = PlotFormat::Png;
  } else if (t == "svg") {
    *format = PlotFormat::Svg;
  } else if (t == "pdf") {
    *format = PlotFormat::Pdf;
  } else {
    return false;
  }
  return true;
}

const char* plotFormatExtension(PlotFormat format) {
  switch (format) {
    case PlotFormat::Svg:
      return "svg";
    case PlotFormat::Pdf:
      return "pdf";
    case PlotFormat::Png:
      break;
  }
  return "png";
}

bool writeTraceChart(const AnalysisState& state, int commandId, const std::string& path,
                     PlotFormat format, std::string* error, const PlotLook& look) {
  TraceKind kind;
  if (!traceKindOf(commandId, &kind)) {
    if (error != nullptr) *error = "no graph command " + std::to_string(commandId);
    return false;
  }
  if (!ensureOffscreenChartApplication()) {
    if (error != nullptr) *error = "cannot start the chart layer";
    return false;
  }
  TraceChart chart;
  setUpTraceChart(chart, kind, traceMatrix(state, kind), state);
  QString why;
  const double scale = format == PlotFormat::Png ? look.dpi / double(kPlotDpi) : 1.0;
  if (!chart.renderToFile(QString::fromStdString(path), fileFormat(format),
                          QSize(look.width, look.height), &why, scale,
                          traceWindowTitle(kind, state))) {
    if (error != nullptr) *error = why.toStdString();
    return false;
  }
  return true;
}

bool writeTracePlots(const AnalysisState& state, const std::string& dir, const std::string& stem,
                     PlotFormat format, std::vector<std::string>* written, std::string* error,
                     const PlotLook& look) {
  const QString qdir = QString::fromStdString(dir);
  if (!QDir().mkpath(qdir)) {
    if (error != nullptr) *error = "cannot create directory " + dir;
    return false;
  }
  // The path in the names tells the charts of two paths apart.
  const std::string pathTag = pathFileTag(state);
  for (const TraceFile& f : kTraceFiles) {
    // The comparison criteria exist once the model layer has run.
    if (f.command == cmd::kComparisonCriteria && !state.CCYQ.exists()) continue;
    const std::string path = QDir(qdir)
                                 .filePath(QString::fromStdString(stem + "_" + pathTag + "_") +
                                           f.tag + "." + plotFormatExtension(format))
                                 .toStdString();
    if (!writeTraceChart(state, f.command, path, format, error, look)) return false;
    if (written != nullptr) written->push_back(path);
  }
  return true;
}

}  // namespace tolvane
