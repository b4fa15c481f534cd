#include "report/report.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tolvane {
namespace {

class ReportStore : public ::testing::Test {
 protected:
  void SetUp() override {
    resetReportStore();
    setReportObserver({});
  }
  void TearDown() override { setReportObserver({}); }
};

TEST_F(ReportStore, StartsWithTheTenLineBanner) {
  const ReportCounters c = reportCounters();
  EXPECT_EQ(c.linesWritten, 9);
  EXPECT_EQ(c.linesShown, 10);
  EXPECT_EQ(c.newestSlot, 9);
  EXPECT_EQ(c.oldestSlot, 0);
  EXPECT_EQ(c.firstLineNo, 0);
  for (int r = 0; r < 10; ++r)
    EXPECT_EQ(reportRow(r), kBannerLines[r]) << "row " << r;
  EXPECT_EQ(reportSlot(10), "    ");
  EXPECT_EQ(reportSlot(499), "    ");

  REPORT_LINE("first");
  EXPECT_EQ(reportCounters().linesShown, 11);
  EXPECT_EQ(reportRow(10), "first");
}

TEST_F(ReportStore, CutsAtBreaksAndExclamationMarksAndAtEightyCharacters) {
  REPORT_LINE("R = 3 ! x");
  EXPECT_EQ(reportRow(10), "R = 3 ");
  REPORT_LINE("before\nafter");
  EXPECT_EQ(reportRow(11), "before");
  REPORT_LINE("cr\rlf");
  EXPECT_EQ(reportRow(12), "cr");

  const std::string longText(200, 'x');
  REPORT_LINE(longText.c_str());
  EXPECT_EQ(reportRow(13), std::string(80, 'x'));
  // The neighbouring slot is untouched by the long text.
  EXPECT_EQ(reportSlot(14), "    ");

  // The caller's text stays whole.
  char buffer[] = "keep ! this";
  REPORT_LINE(buffer);
  EXPECT_STREQ(buffer, "keep ! this");

  REPORT_LINE(nullptr);
  EXPECT_EQ(reportRow(15), "");
}

TEST_F(ReportStore, RingOverwritesTheOldestLineAndKeepsNumbering) {
  for (int i = 0; i < 490; ++i)
    reportLinef("line %d", i + 10);
  ReportCounters c = reportCounters();
  EXPECT_EQ(c.linesWritten, 499);
  EXPECT_EQ(c.linesShown, 500);
  EXPECT_EQ(c.firstLineNo, 0);
  EXPECT_EQ(c.oldestSlot, 0);
  EXPECT_EQ(reportRow(0), kBannerLines[0]);
  EXPECT_EQ(reportRow(499), "line 499");

  REPORT_LINE("line 500");
  c = reportCounters();
  EXPECT_EQ(c.linesWritten, 500);
  EXPECT_EQ(c.newestSlot, 0);
  EXPECT_EQ(c.oldestSlot, 1);
  EXPECT_EQ(c.firstLineNo, 1);
  EXPECT_EQ(c.linesShown, 500);
  EXPECT_EQ(reportSlot(0), "line 500");
  EXPECT_EQ(reportRow(0), kBannerLines[1]);  // row 0 is now numbered 1
  EXPECT_EQ(reportRow(499), "line 500");
  EXPECT_EQ(reportRow(500), "");

  // Far past one turn of the ring the newest row still carries number N.
  for (int i = 501; i <= 1234; ++i)
    reportLinef("line %d", i);
  c = reportCounters();
  EXPECT_EQ(c.firstLineNo, 1234 - 499);
  EXPECT_EQ(reportRow(c.linesShown - 1), "line 1234");
  EXPECT_EQ(reportRow(0), "line 735");
}

TEST_F(ReportStore, ShowCallsTheObserverOnlyWhenOneIsRegistered) {
  REPORT_SHOW();  // no observer: nothing happens, nothing breaks
  int calls = 0;
  setReportObserver([&] { ++calls; });
  REPORT_LINE("a");
  EXPECT_EQ(calls, 0);  // appending never repaints
  REPORT_SHOW();
  EXPECT_EQ(calls, 1);
  setReportObserver({});
  REPORT_SHOW();
  EXPECT_EQ(calls, 1);
}

TEST_F(ReportStore, FormattingBufferIsPerThreadAndAppendsAreNotLost) {
  constexpr int kPerThread = 300;
  std::atomic<bool> go{false};
  auto writer = [&](const char* tag) {
    while (!go) {
    }
    for (int i = 0; i < kPerThread; ++i)
      reportLinef("%s %d", tag, i);
  };
  std::thread a(writer, "A"), b(writer, "B");
  go = true;
  // Read while the writers append, as the window paints during a run.
  for (int i = 0; i < 200; ++i)
    (void)reportRow(reportCounters().linesShown - 1);
  a.join();
  b.join();
  const ReportCounters c = reportCounters();
  EXPECT_EQ(c.linesWritten, 9 + 2 * kPerThread);
  int lastA = -1, lastB = -1;
  for (int r = 0; r < c.linesShown; ++r) {
    const std::string row = reportRow(r);
    int n = 0;
    if (std::sscanf(row.c_str(), "A %d", &n) == 1) {
      EXPECT_GT(n, lastA);  // each thread's lines keep their order, none torn
      lastA = n;
    } else if (std::sscanf(row.c_str(), "B %d", &n) == 1) {
      EXPECT_GT(n, lastB);
      lastB = n;
    }
  }
  EXPECT_EQ(lastA, kPerThread - 1);
  EXPECT_EQ(lastB, kPerThread - 1);
}

}  // namespace
}  // namespace tolvane
