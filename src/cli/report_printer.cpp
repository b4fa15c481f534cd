#include "cli/report_printer.hpp"

#include "report/report.hpp"

namespace tolvane {

ReportPrinter::ReportPrinter(std::ostream& out) : out_(out), last_(reportCounters().linesWritten) {
  setReportLineObserver([this](int lineNo, const std::string& text) {
    if (lineNo <= last_) return;
    last_ = lineNo;
    out_ << text << '\n';
    ++printed_;
  });
}

ReportPrinter::~ReportPrinter() {
  setReportLineObserver({});
  out_.flush();
}

}  // namespace tolvane
