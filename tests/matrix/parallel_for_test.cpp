// The parallel loop: every item once, on a worker of its own; report lines
// in item order; the caller's precision on every thread; threads the system
// refuses; failures and cancels that stop the loop without throwing.
#include "matrix/parallel_for.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "matrix/matrix.hpp"
#include "report/report.hpp"
#include "support/refused_threads.hpp"

namespace tolvane {
namespace {

using test::RefusedThreads;

// Long enough for the items of one loop to overlap on several threads, and
// uneven, so that later items often finish first.
void briefly(std::size_t item) {
  std::this_thread::sleep_for(std::chrono::microseconds(50 + 300 * ((item * 7) % 5)));
}

struct Seen {
  ParallelOutcome outcome = ParallelOutcome::kFailed;
  std::vector<int> runs;  // per item
  int overlaps = 0;       // items that found their worker busy
  int badWorkers = 0;     // worker numbers out of range
  std::set<std::thread::id> threads;
};

// Runs a loop whose items check that each ran once and that no two ran at
// once on one worker.
Seen checkedLoop(std::size_t items, unsigned threads) {
  const unsigned workers = parallelWorkers(items, threads);
  std::vector<std::atomic<int>> runs(items);
  std::vector<std::atomic<bool>> busy(workers);
  std::atomic<int> overlaps{0}, badWorkers{0};
  std::mutex mutex;
  Seen seen;
  seen.outcome = parallelFor(items, threads, [&](std::size_t k, unsigned w) {
    if (w >= workers) {
      ++badWorkers;
      return;
    }
    if (busy[w].exchange(true)) ++overlaps;
    ++runs[k];
    {
      std::lock_guard lock(mutex);
      seen.threads.insert(std::this_thread::get_id());
    }
    briefly(k);
    busy[w] = false;
  });
  for (const std::atomic<int>& r : runs)
    seen.runs.push_back(r);
  seen.overlaps = overlaps;
  seen.badWorkers = badWorkers;
  return seen;
}

void expectEveryItemOnce(const Seen& seen, std::size_t items) {
  EXPECT_EQ(seen.outcome, ParallelOutcome::kDone);
  EXPECT_EQ(seen.badWorkers, 0);
  EXPECT_EQ(seen.overlaps, 0);
  EXPECT_EQ(seen.runs, std::vector<int>(items, 1));
}

TEST(ParallelFor, EveryItemRunsOnceOnAWorkerOfItsOwn) {
  for (unsigned threads : {1u, 2u, 3u, 8u}) {
    for (std::size_t items : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{60}}) {
      SCOPED_TRACE(::testing::Message() << threads << " threads, " << items << " items");
      const Seen seen = checkedLoop(items, threads);
      expectEveryItemOnce(seen, items);
      EXPECT_LE(seen.threads.size(), parallelWorkers(items, threads));
    }
  }
  EXPECT_EQ(parallelWorkers(0, 4), 1u);
  EXPECT_EQ(parallelWorkers(3, 8), 3u);
  EXPECT_EQ(parallelWorkers(100, 0), std::min(100u, processorThreads()));
}

// Without progress the calling thread is worker 0; with it, every worker is
// a thread of its own. Either way, refused threads leave their items to
// the threads that did start and to the calling thread.
TEST(ParallelFor, RefusedThreadsLeaveTheirWorkToTheOthers) {
  for (int allowed : {0, 2}) {
    SCOPED_TRACE(::testing::Message() << allowed << " threads allowed");
    RefusedThreads refused(allowed);
    const Seen seen = checkedLoop(40, 8);
    expectEveryItemOnce(seen, 40);
    // The first refusal ends the starting: one ask more than was allowed.
    EXPECT_EQ(refused.asked(), allowed + 1);
    EXPECT_LE(seen.threads.size(), static_cast<std::size_t>(allowed + 1));
    if (allowed == 0) {
      EXPECT_EQ(*seen.threads.begin(), std::this_thread::get_id());
    }
  }
  RefusedThreads none;
  std::vector<std::thread::id> ran(30);
  std::vector<std::size_t> progress;
  const ParallelOutcome outcome = parallelFor(
      ran.size(), 4, [&](std::size_t k, unsigned) { ran[k] = std::this_thread::get_id(); },
      [&](std::size_t done) {
        progress.push_back(done);
        return true;
      });
  EXPECT_EQ(outcome, ParallelOutcome::kDone);
  EXPECT_EQ(none.asked(), 1);
  EXPECT_EQ(ran, std::vector<std::thread::id>(ran.size(), std::this_thread::get_id()));
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), ran.size());
}

// The lines of an item that finishes early still wait for those of the
// items before it.
std::vector<std::string> linesOfLoop(std::size_t items, unsigned threads) {
  const int before = reportCounters().linesWritten;
  const ParallelOutcome outcome = parallelFor(items, threads, [](std::size_t k, unsigned) {
    REPORT_LINE(("    item " + std::to_string(k) + " begins").c_str());
    briefly(k);
    REPORT_LINE(("    item " + std::to_string(k) + " ends").c_str());
  });
  EXPECT_EQ(outcome, ParallelOutcome::kDone);
  return reportLinesSince(before);
}

TEST(ParallelFor, ReportLinesComeInItemOrderWhateverTheThreads) {
  resetReportStore();
  const std::vector<std::string> serial = linesOfLoop(24, 1);
  ASSERT_EQ(serial.size(), 48u);
  EXPECT_EQ(serial[2], "    item 1 begins");
  for (unsigned threads : {2u, 3u, 8u}) {
    SCOPED_TRACE(threads);
    EXPECT_EQ(linesOfLoop(24, threads), serial);
    RefusedThreads refused(1);
    EXPECT_EQ(linesOfLoop(24, threads), serial);
  }
}

TEST(ParallelFor, EveryThreadStoresAtTheCallersPrecision) {
  for (Precision p : {Precision::kSingle, Precision::kDouble}) {
    PrecisionScope scope(p);
    std::vector<Precision> seen(32,
                                p == Precision::kSingle ? Precision::kDouble : Precision::kSingle);
    parallelFor(seen.size(), 4, [&](std::size_t k, unsigned) {
      briefly(k);
      seen[k] = storePrecision();
    });
    EXPECT_EQ(seen, std::vector<Precision>(seen.size(), p));
  }
}

// An item that throws stops the loop and nothing is thrown at the caller.
// The items before it have run; the lines out are theirs and those the
// failed item wrote before it threw, as on one thread, whatever ran after.
TEST(ParallelFor, AnItemThatThrowsStopsTheLoopAndSaysHow) {
  resetReportStore();
  for (unsigned threads : {1u, 3u}) {
    for (ParallelOutcome kind : {ParallelOutcome::kOutOfMemory, ParallelOutcome::kFailed}) {
      SCOPED_TRACE(::testing::Message()
                   << threads << " threads, outcome " << static_cast<int>(kind));
      std::vector<std::atomic<int>> runs(40);
      const int before = reportCounters().linesWritten;
      const ParallelOutcome outcome =
          parallelFor(runs.size(), threads, [&](std::size_t k, unsigned) {
            ++runs[k];
            REPORT_LINE(("    item " + std::to_string(k)).c_str());
            briefly(k);
            if (k == 9 && kind == ParallelOutcome::kOutOfMemory) throw std::bad_alloc();
            if (k == 9) throw std::runtime_error("no");
          });
      EXPECT_EQ(outcome, kind);
      for (std::size_t k = 0; k <= 9; ++k)
        EXPECT_EQ(runs[k], 1) << "item " << k;
      int later = 0;
      for (std::size_t k = 10; k < runs.size(); ++k)
        later += runs[k];
      EXPECT_LT(later, 30) << "the loop went on after the failure";
      std::vector<std::string> want;
      for (int k = 0; k <= 9; ++k)
        want.push_back("    item " + std::to_string(k));
      EXPECT_EQ(reportLinesSince(before), want);
    }
  }
}

TEST(ParallelFor, ProgressComesOnTheCallingThreadAndCancels) {
  const std::thread::id caller = std::this_thread::get_id();
  auto slowItem = [](std::size_t, unsigned) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  std::vector<std::size_t> seen;
  bool elsewhere = false;
  ParallelOutcome outcome = parallelFor(60, 2, slowItem, [&](std::size_t done) {
    elsewhere |= std::this_thread::get_id() != caller;
    seen.push_back(done);
    return true;
  });
  EXPECT_EQ(outcome, ParallelOutcome::kDone);
  EXPECT_FALSE(elsewhere);
  // 60 items of 5 ms on 2 threads take 150 ms: at least one call while they
  // run, and the last with every item done.
  ASSERT_GE(seen.size(), 2u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), 60u);

  // Cancelled at the first call, about 100 ms in: the 2 s of work stop.
  std::atomic<int> ran{0};
  outcome = parallelFor(
      800, 2,
      [&](std::size_t k, unsigned w) {
        ++ran;
        slowItem(k, w);
      },
      [](std::size_t) { return false; });
  EXPECT_EQ(outcome, ParallelOutcome::kCancelled);
  EXPECT_LT(ran, 800);

  // A cancel at the final call cancels too.
  int calls = 0;
  outcome = parallelFor(
      3, 2, [](std::size_t, unsigned) {},
      [&](std::size_t done) {
        ++calls;
        return done < 3;
      });
  EXPECT_EQ(outcome, ParallelOutcome::kCancelled);
  EXPECT_GE(calls, 1);
}

}  // namespace
}  // namespace tolvane
