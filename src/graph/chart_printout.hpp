// A printout of one chart on one page: start, ask the page size, print the
// chart into a rectangle, end.
#pragma once

#include <QPainter>
#include <QRectF>
#include <QSizeF>

class QPrinter;

namespace tolvane {

class TraceChart;

class ChartPrintout {
 public:
  // Starts printing on printer. False when the printer cannot start (no
  // device, file not writable); nothing is printed then.
  bool start(QPrinter& printer);
  // The printable area of the page in device pixels; (left, top) of that
  // area is (0, 0) of the rectangles given to printChart.
  QSizeF pageSize() const;
  // Prints chart scaled into target (device pixels).
  void printChart(const TraceChart& chart, const QRectF& target);
  // Ends the printout and sends the page.
  void end();

 private:
  QPrinter* printer_ = nullptr;
  QPainter painter_;
};

}  // namespace tolvane
