#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "report/report.hpp"

namespace tolvane {
namespace {

TEST(ReportCapture, HoldsBackTheLinesOfItsOwnThreadOnly) {
  resetReportStore();
  const int before = reportCounters().linesWritten;
  std::vector<std::string> held;
  {
    ReportCapture capture(&held);
    REPORT_LINE("first held");
    reportLinef("    %d held", 2);
    // Another thread still writes to the store.
    std::thread other([] { REPORT_LINE("from elsewhere"); });
    other.join();
    {
      std::vector<std::string> inner;
      ReportCapture nested(&inner);
      REPORT_LINE("inner");
      EXPECT_EQ(inner, std::vector<std::string>{"inner"});
    }
    REPORT_LINE("after inner");
  }
  EXPECT_EQ(held, (std::vector<std::string>{"first held", "    2 held", "after inner"}));
  const ReportCounters c = reportCounters();
  ASSERT_EQ(c.linesWritten, before + 1);
  EXPECT_EQ(reportRow(c.linesWritten - c.firstLineNo), "from elsewhere");

  // Once it is gone, lines go to the store again.
  REPORT_LINE("direct");
  EXPECT_EQ(reportCounters().linesWritten, before + 2);
}

TEST(ReportCapture, ShowsNothingWhileItHoldsTheLines) {
  int shown = 0;
  setReportObserver([&shown] { ++shown; });
  {
    std::vector<std::string> held;
    ReportCapture capture(&held);
    REPORT_LINE("held");
    REPORT_SHOW();
    EXPECT_EQ(shown, 0);
  }
  REPORT_SHOW();
  EXPECT_EQ(shown, 1);
  setReportObserver({});
}

}  // namespace
}  // namespace tolvane
