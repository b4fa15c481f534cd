#include "graph/copy_graph.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <cstdio>

#include "graph/trace_chart.hpp"

namespace tolvane {

QString traceTableText(const TraceChart& chart) {
  QString text = QStringLiteral("MCAL");
  for (int j = 0; j < chart.cols(); ++j)
    text += QLatin1Char('\t') + chart.seriesName(j);
  text += QLatin1Char('\n');
  char field[64];
  for (int i = 0; i < chart.rows(); ++i) {
    std::snprintf(field, sizeof field, "%.3f", chart.abscissa(i));
    text += QLatin1String(field);
    for (int j = 0; j < chart.cols(); ++j) {
      std::snprintf(field, sizeof field, "\t%.7g", chart.value(i, j));
      text += QLatin1String(field);
    }
    text += QLatin1Char('\n');
  }
  return text;
}

void copyGraph(const TraceChart& chart) {
  auto* mime = new QMimeData();
  mime->setImageData(chart.toImage());
  mime->setText(traceTableText(chart));
  QGuiApplication::clipboard()->setMimeData(mime);
}

}  // namespace tolvane
