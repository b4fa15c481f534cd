// Print Graph: the chart of a graph window on one page, keeping its
// proportions and filling 90 percent of the page in the tighter dimension,
// centred.
#pragma once

class QPrinter;
class QWidget;

namespace tolvane {

class TraceChart;

// The rectangle (left, top, width, height) for a chart of size a x b on a page
// of c x d. A chart without a size is taken as 4:3.
struct PrintRect {
  double left, top, width, height;
};
PrintRect printRect(double a, double b, double c, double d);

// Prints chart on printer without asking. False when the printout cannot
// start; nothing is printed or reported then.
bool printChartTo(const TraceChart& chart, QPrinter& printer);

// The printer Print Graph uses. It keeps the user's last choices in the
// print dialog (printer, file, page) for the rest of the run.
QPrinter& graphPrinter();

// Asks for a printer with the system print dialog (printing to a PDF file is
// one of its choices) and prints chart there. Cancelling prints nothing.
void printGraph(const TraceChart& chart, QWidget* dialogParent);

}  // namespace tolvane
