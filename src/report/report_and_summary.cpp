#include "report/report_and_summary.hpp"

#include <cstring>
#include <string>

#include "report/report.hpp"

namespace tolvane {

namespace {

constexpr std::size_t kMargin = 4;

void show(const char* line, ReportForm form) {
  if (form.continued) {
    reportLineContinued(line);
  } else {
    REPORT_LINE(line);
  }
}

}  // namespace

void reportAndSummary(std::FILE* summary, std::string_view text, ReportForm form) {
  reportAndSummaryf(summary, form, "%.*s", static_cast<int>(text.size()), text.data());
}

void reportAndSummaryf(std::FILE* summary, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vreportAndSummaryf(summary, ReportForm{}, format, args);
  va_end(args);
}

void reportAndSummaryf(std::FILE* summary, ReportForm form, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vreportAndSummaryf(summary, form, format, args);
  va_end(args);
}

void vreportAndSummaryf(std::FILE* summary, ReportForm form, const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  // Formatted in a fixed buffer, as a report line always is: the lines of a
  // failing run must not need memory. The report never shows more of it.
  char line[kMargin + kReportBufferSize];
  const std::size_t margin = form.indent ? kMargin : 0;
  std::memset(line, ' ', margin);
  const int length = std::vsnprintf(line + margin, kReportBufferSize, format, args);
  show(line, form);
  if (summary != nullptr) {
    // A longer line (one ending in a long file name) is written whole.
    if (length >= 0 && length < kReportBufferSize) {
      std::fputs(line + margin, summary);
    } else {
      std::vfprintf(summary, format, again);
    }
    std::fputc('\n', summary);
  }
  va_end(again);
}

}  // namespace tolvane
