// Prints report lines as they are appended, so that a run of any length is
// printed whole: the line store keeps only the last 500.
#pragma once

#include <ostream>

namespace tolvane {

// While it lives, every line appended to the report store is written to
// `out` with a line end, in order, once. One at a time per program.
class ReportPrinter {
 public:
  explicit ReportPrinter(std::ostream& out);
  ~ReportPrinter();
  ReportPrinter(const ReportPrinter&) = delete;
  ReportPrinter& operator=(const ReportPrinter&) = delete;

  // Lines printed so far.
  int printed() const { return printed_; }

 private:
  std::ostream& out_;
  int printed_ = 0;
  int last_ = 0;  // number of the last line printed, to skip a repeat
};

}  // namespace tolvane
