// A line that the report window and the summary file both keep.
//
// The summary file holds the results of a run as lines without the report's
// margin; the report shows the same line four blanks in, at most 80
// characters wide. Every step that writes such a line to both goes through
// here, so that the two cannot drift apart.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string_view>

namespace tolvane {

// How the report shows the line.
struct ReportForm {
  // Four blanks before the text, the report's margin. False for a text that
  // brings its own, which the summary file then keeps too (the rows of a
  // table that the two share column for column).
  bool indent = true;
  // A line longer than the report's 80 characters goes on in the next
  // lines, cut at blanks (reportLineContinued), instead of ending at the
  // 80th character. The summary file gets the whole line either way.
  bool continued = false;
};

// `text` to the report in `form`, and to `summary` followed by a line feed.
// `summary` null (no summary file open): the report only.
void reportAndSummary(std::FILE* summary, std::string_view text, ReportForm form = {});

// The same with the text formatted by printf rules.
void reportAndSummaryf(std::FILE* summary, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
void reportAndSummaryf(std::FILE* summary, ReportForm form, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void vreportAndSummaryf(std::FILE* summary, ReportForm form, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));

}  // namespace tolvane
