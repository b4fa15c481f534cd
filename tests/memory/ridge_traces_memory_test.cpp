// A shortage of memory anywhere in the ridge traces leaves all five traces
// complete or all five empty, and Select Shape then offers no Visualize menu.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/front_end_hooks.hpp"
#include "engine/ridge_traces.hpp"
#include "engine/select_shape.hpp"
#include "report/report.hpp"
#include "support/failing_allocation.hpp"
#include "support/synthetic_analysis.hpp"

namespace tolvane {
namespace {

using test::AllocationFailure;

long fileSize(std::FILE* f) {
  std::fflush(f);
  std::fseek(f, 0, SEEK_END);
  return std::ftell(f);
}

bool sameBits(const MatrixRec& a, const MatrixRec& b) {
  if (a.rows != b.rows || a.cols != b.cols || a.rows == 0) return false;
  for (int i = 1; i <= a.rows; ++i) {
    if (std::memcmp(a.data.row(i), b.data.row(i), sizeof(float) * a.cols) != 0) return false;
  }
  return true;
}

bool said(const std::vector<std::string>& lines, const char* text) {
  for (const std::string& l : lines)
    if (l.find(text) != std::string::npos) return true;
  return false;
}

class TracesShortOfMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    resetReportStore();
    test::synth::Options o;
    o.P = 5;
    o.N = 20;
    d = test::synth::analyse(o);
    test::synth::fill(s, d);
    s.SHAPECODE = PathShape::kCrosr;
    s.MSTEPS = 2;
    s.NSTEPS = s.RANK * s.MSTEPS + 1;
    for (int i = 1; i <= s.P; ++i)
      s.QWEIGHT[i] = 1.0;
    s.files.TRACEFILE = std::tmpfile();
    ASSERT_NE(s.files.TRACEFILE, nullptr);
  }
  void TearDown() override {
    std::fclose(s.files.TRACEFILE);
    s.files.TRACEFILE = nullptr;
  }

  void keepReference() {
    MYQ_COPY(&refC, s.CYQ);
    MYQ_COPY(&refR, s.RYQ);
    MYQ_COPY(&refE, s.EYQ);
    MYQ_COPY(&refI, s.IYQ);
    MYQ_COPY(&refD, s.DYQ);
  }
  bool complete() const {
    return sameBits(refC, s.CYQ) && sameBits(refR, s.RYQ) && sameBits(refE, s.EYQ) &&
           sameBits(refI, s.IYQ) && sameBits(refD, s.DYQ);
  }
  bool empty() const {
    return !s.CYQ.exists() && !s.RYQ.exists() && !s.EYQ.exists() && !s.IYQ.exists() &&
           !s.DYQ.exists();
  }

  test::synth::Analysis d;
  AnalysisState s;
  MatrixRec refC, refR, refE, refI, refD;
};

// Every allocation the traces make fails in turn, until a run makes them all.
TEST_F(TracesShortOfMemory, EveryFailedAllocationLeavesAllTracesOrNone) {
  ASSERT_TRUE(RIDGE_TRACES(s, 1));
  keepReference();
  const long wholeFile = fileSize(s.files.TRACEFILE);
  int failures = 0;
  for (int nth = 1;; ++nth) {
    SCOPED_TRACE(::testing::Message() << "allocation " << nth << " fails");
    std::fclose(s.files.TRACEFILE);
    s.files.TRACEFILE = std::tmpfile();
    const int before = reportCounters().linesWritten;
    bool traced = false;
    bool happened = false;
    {
      AllocationFailure failure(nth);
      traced = RIDGE_TRACES(s, 1);
      happened = failure.happened();
    }
    const std::vector<std::string> lines = reportLinesSince(before);
    if (!happened) {
      EXPECT_TRUE(traced);
      EXPECT_TRUE(complete());
      break;
    }
    ++failures;
    if (traced) {
      EXPECT_TRUE(complete());
      EXPECT_EQ(fileSize(s.files.TRACEFILE), wholeFile);
    } else {
      EXPECT_TRUE(empty());
      EXPECT_TRUE(said(lines, "not enough memory")) << lines.back();
      EXPECT_EQ(fileSize(s.files.TRACEFILE), 0) << "a failed trace writes nothing";
    }
    ASSERT_LT(nth, 10000) << "the traces should allocate a bounded amount";
  }
  // The working storage alone takes several allocations: the loop must have
  // met them, or it proves nothing.
  EXPECT_GE(failures, 10);
}

class ScriptedOk : public PathDialog {
 public:
  void run(PathDialogModel& model) override { model.ok(); }
};

TEST_F(TracesShortOfMemory, SelectShapeWithoutTracesOffersNoVisualizeMenu) {
  int offers = 0;
  setFrontEndHooks({{}, [&offers] { ++offers; }});
  ScriptedOk dialog;
  ASSERT_TRUE(SELECT_SHAPE(s, dialog, 1));
  ASSERT_EQ(offers, 1);
  ASSERT_FALSE(empty());

  // Each allocation of a whole Select Shape fails in turn; those that fall
  // in the traces must leave them empty and the menu unoffered.
  bool sawFailedTraces = false;
  for (int nth = 1; nth < 10000; ++nth) {
    SCOPED_TRACE(::testing::Message() << "allocation " << nth << " fails");
    offers = 0;
    const int before = reportCounters().linesWritten;
    bool done = false;
    bool happened = false;
    {
      AllocationFailure failure(nth);
      done = SELECT_SHAPE(s, dialog, 1);
      happened = failure.happened();
    }
    const std::vector<std::string> lines = reportLinesSince(before);
    if (!happened) break;
    if (said(lines, "RIDGE_TRACES: not enough memory")) {
      sawFailedTraces = true;
      EXPECT_FALSE(done);
      EXPECT_EQ(offers, 0);
      EXPECT_TRUE(empty());
      EXPECT_FALSE(said(lines, "use items from the \"Visualize\" menu"));
    } else if (done) {
      EXPECT_EQ(offers, 1);
    }
  }
  setFrontEndHooks({});
  EXPECT_TRUE(sawFailedTraces);
}

}  // namespace
}  // namespace tolvane
