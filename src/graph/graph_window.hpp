// A graph window: an MDI child holding one trace chart and a read-out line
// below it. A click on a plotted point writes the read-out line of the
// window's trace to the report, shows it in the read-out line and rings the
// point, so that the reading is seen where the user clicked.
#pragma once

#include <QWidget>

class QLabel;

#include "graph/trace_kind.hpp"

namespace tolvane {

class TraceChart;

class GraphWindow : public QWidget {
  Q_OBJECT

 public:
  // A window with an empty chart; plotTrace fills it. state must outlive the
  // window.
  GraphWindow(TraceKind kind, AnalysisState& state, QWidget* parent = nullptr);

  TraceKind kind() const { return kind_; }
  TraceChart& chart() const { return *chart_; }
  // The last read-out, as the line below the chart shows it.
  QString readout() const;
  QSize sizeHint() const override { return QSize(640, 440); }

 private:
  TraceKind kind_;
  AnalysisState& state_;
  TraceChart* chart_;
  QLabel* readout_;
};

// The graph window of w: w itself or the widget inside a QMdiSubWindow w;
// nullptr when w is neither.
GraphWindow* graphWindowOf(QWidget* w);
const GraphWindow* graphWindowOf(const QWidget* w);

}  // namespace tolvane
