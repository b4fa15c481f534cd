#include "model/report_both.hpp"

#include <cstdarg>

#include "report/report_and_summary.hpp"

namespace tolvane {

void bothf(const AnalysisState& s, const char* format, ...) {
  va_list args;
  va_start(args, format);
  // The report keeps 80 characters a line: a longer one (a count of rows in
  // the billions) goes on in the next line instead of losing its end.
  vreportAndSummaryf(s.files.SUMMFILE, ReportForm{.continued = true}, format, args);
  va_end(args);
}

}  // namespace tolvane
