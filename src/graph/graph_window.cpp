#include "graph/graph_window.hpp"

#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <mutex>

#include "graph/child_list.hpp"
#include "graph/click_readout.hpp"
#include "graph/copy_graph.hpp"
#include "graph/graph_commands.hpp"
#include "graph/plot_trace.hpp"
#include "graph/print_graph.hpp"
#include "graph/trace_chart.hpp"
#include "model/bootstrap.hpp"
#include "report/report.hpp"

namespace tolvane {

GraphWindow::GraphWindow(TraceKind kind, AnalysisState& state, QWidget* parent)
    : QWidget(parent),
      kind_(kind),
      state_(state),
      chart_(TraceChart::createInWindow(this)),
      readout_(new QLabel(this)) {
  // The path in the title tells two windows of one trace apart; the chart
  // keeps the trace's own title.
  setWindowTitle(kind == TraceKind::ReRegression ? traceTitle(kind)
                                                 : traceWindowTitle(kind, state));
  readout_->setObjectName(QStringLiteral("readoutLine"));
  readout_->setText(QStringLiteral("Click a plotted point to read its value."));
  readout_->setContentsMargins(6, 2, 6, 2);
  readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A long read-out must not widen the window (a maximised one would widen
  // the whole frame past the screen): it is cut at the window's edge.
  readout_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout()->addWidget(readout_);
  chart_->notifyClicks([this](int point, int series) {
    const std::string line = clickReadout(this, point, series + 1, state_);
    readout_->setText(QString::fromUtf8(line.c_str()));
    chart_->markPoint(point, series);
  });
}

QString GraphWindow::readout() const {
  return readout_->text();
}

const GraphWindow* graphWindowOf(const QWidget* w) {
  if (const auto* g = qobject_cast<const GraphWindow*>(w)) return g;
  if (const auto* sub = qobject_cast<const QMdiSubWindow*>(w)) {
    return qobject_cast<const GraphWindow*>(sub->widget());
  }
  return nullptr;
}

GraphWindow* graphWindowOf(QWidget* w) {
  return const_cast<GraphWindow*>(graphWindowOf(static_cast<const QWidget*>(w)));
}

bool isOpenGraphCommand(int commandId) {
  TraceKind kind;
  return traceKindOf(commandId, &kind);
}

QWidget* openGraphWindow(QMdiArea* area, int commandId, AnalysisState& state) {
  TraceKind kind;
  if (area == nullptr || !traceKindOf(commandId, &kind)) return nullptr;
  std::unique_lock lock(state.runMutex, std::try_to_lock);
  if (!lock.owns_lock()) {
    REPORT_LINE("    A batch input is running: open the graph when it has finished.");
    REPORT_SHOW();
    return nullptr;
  }
  auto* window = new GraphWindow(kind, state);
  QMdiSubWindow* sub = area->addSubWindow(window);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  registerChild(window, traceTitle(kind));
  plotTrace(window->chart(), kind, traceMatrix(state, kind), state);
  window->show();
  return window;
}

bool isGraphWindow(const QWidget* window) {
  return graphWindowOf(window) != nullptr;
}

bool graphWindowCommand(QWidget* window, int commandId) {
  GraphWindow* g = graphWindowOf(window);
  if (g == nullptr) return false;
  switch (commandId) {
    case cmd::kPrintGraph:
      printGraph(g->chart(), g);
      return true;
    case cmd::kCopyToClipboard:
      copyGraph(g->chart());
      return true;
    default:
      return false;
  }
}

bool graphCommandEnabled(int commandId, const AnalysisState* state, QString* whyNot) {
  if (commandId != cmd::kInferenceIntervals) return true;
  const std::string why = state != nullptr ? resamplingStatus(*state).message
                                           : std::string("Inference intervals need a traced path.");
  if (why.empty()) return true;
  if (whyNot != nullptr) *whyNot = QString::fromStdString(why);
  return false;
}

bool graphCommandEnabled(int commandId, QString* whyNot) {
  return graphCommandEnabled(commandId, nullptr, whyNot);
}

}  // namespace tolvane
