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
  reportLinef("    %s", line);
  if (s.files.summOpen()) std::fprintf(s.files.SUMMFILE, "%s\n", line);
}

}  // namespace tolvane
