#include "cli/report_printer.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "report/report.hpp"

namespace tolvane {
namespace {

TEST(ReportPrinter, PrintsEveryLineOnceEvenBeyondTheStoresFiveHundred) {
  REPORT_LINE("    before the printer");
  std::ostringstream out;
  {
    ReportPrinter printer(out);
    for (int k = 1; k <= 1234; ++k) {
      reportLinef("    line %d", k);
      if (k % 300 == 0) REPORT_SHOW();
    }
    EXPECT_EQ(printer.printed(), 1234);
  }
  REPORT_LINE("    after the printer");
  std::istringstream lines(out.str());
  std::string line;
  int k = 0;
  while (std::getline(lines, line)) {
    ++k;
    ASSERT_EQ(line, "    line " + std::to_string(k));
  }
  EXPECT_EQ(k, 1234);
}

TEST(ReportPrinter, PrintsLinesAsStored) {
  std::ostringstream out;
  {
    ReportPrinter printer(out);
    REPORT_LINE("    cut at the mark! not this");
    REPORT_LINE(std::string(100, 'x').c_str());
  }
  EXPECT_EQ(out.str(), "    cut at the mark\n" + std::string(80, 'x') + "\n");
}

}  // namespace
}  // namespace tolvane
