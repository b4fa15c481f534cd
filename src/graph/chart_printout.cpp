#include "graph/chart_printout.hpp"

#include <QPageLayout>
#include <QPrinter>

#include "graph/trace_chart.hpp"

namespace tolvane {

bool ChartPrintout::start(QPrinter& printer) {
  if (!painter_.begin(&printer)) return false;
  printer_ = &printer;
  painter_.setRenderHint(QPainter::Antialiasing);
  return true;
}

QSizeF ChartPrintout::pageSize() const {
  if (printer_ == nullptr) return QSizeF();
  return printer_->pageLayout().paintRectPixels(printer_->resolution()).size();
}

void ChartPrintout::printChart(const TraceChart& chart, const QRectF& target) {
  if (printer_ == nullptr) return;
  chart.printInto(painter_, target);
}

void ChartPrintout::end() {
  if (printer_ == nullptr) return;
  painter_.end();
  printer_ = nullptr;
}

}  // namespace tolvane
