// A graph window: an MDI child holding one trace chart. A click on a
// plotted point writes the read-out line of the window's title.
#pragma once

#include <QWidget>

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
  QSize sizeHint() const override { return QSize(640, 440); }

 private:
  TraceKind kind_;
  AnalysisState& state_;
  TraceChart* chart_;
};

// The graph window of w: w itself or the widget inside a QMdiSubWindow w;
// nullptr when w is neither.
GraphWindow* graphWindowOf(QWidget* w);
const GraphWindow* graphWindowOf(const QWidget* w);

}  // namespace tolvane
