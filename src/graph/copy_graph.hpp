// Copy to Clipboard: the chart as an image and its data as tab-separated
// text.
#pragma once

#include <QString>

namespace tolvane {

class TraceChart;

// The plotted data as text: a header row "MCAL" and the series names, then
// one row per step, fields separated by tabs, lines ending in "\n".
QString traceTableText(const TraceChart& chart);

// Puts the chart image and traceTableText on the system clipboard.
void copyGraph(const TraceChart& chart);

}  // namespace tolvane
