#include "graph/print_graph.hpp"

#include <QPrintDialog>
#include <QPrinter>

#include "graph/chart_printout.hpp"
#include "graph/trace_chart.hpp"

namespace tolvane {

PrintRect printRect(double a, double b, double c, double d) {
  if (!(a > 0.0) || !(b > 0.0)) {
    a = 4.0;
    b = 3.0;
  }
  double w, h;
  if (c / a > d / b) {
    h = 0.9 * d;
    w = h * a / b;
  } else {
    w = 0.9 * c;
    h = w * b / a;
  }
  return PrintRect{(c - w) / 2.0, (d - h) / 2.0, w, h};
}

bool printChartTo(const TraceChart& chart, QPrinter& printer) {
  ChartPrintout out;
  if (!out.start(printer)) return false;
  const QSizeF chartSize = chart.chartSize();
  const QSizeF page = out.pageSize();
  const PrintRect r = printRect(chartSize.width(), chartSize.height(), page.width(), page.height());
  out.printChart(chart, QRectF(r.left, r.top, r.width, r.height));
  out.end();
  return true;
}

QPrinter& graphPrinter() {
  // Never destroyed: a printer outliving the application among the static
  // destructors would touch a dead print system.
  static QPrinter* printer = new QPrinter(QPrinter::HighResolution);
  return *printer;
}

void printGraph(const TraceChart& chart, QWidget* dialogParent) {
  QPrinter& printer = graphPrinter();
  printer.setDocName(chart.title());
  QPrintDialog dialog(&printer, dialogParent);
  dialog.setWindowTitle(QStringLiteral("Print Graph"));
  if (dialog.exec() != QDialog::Accepted) return;
  printChartTo(chart, printer);
}

}  // namespace tolvane
