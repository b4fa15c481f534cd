#include "model/report_both.hpp"

#include <cstdarg>
#include <cstdio>

#include "report/report.hpp"

namespace tolvane {

void bothf(const AnalysisState& s, const char* format, ...) {
  char line[kReportBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  // The report keeps 80 characters a line: a longer one (a count of rows in
  // the billions) goes on in the next line instead of losing its end.
  char indented[kReportBufferSize + 4];
  std::snprintf(indented, sizeof indented, "    %s", line);
  reportLineContinued(indented);
  if (s.files.summOpen()) std::fprintf(s.files.SUMMFILE, "%s\n", line);
}

}  // namespace tolvane
