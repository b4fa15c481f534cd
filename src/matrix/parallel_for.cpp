#include "matrix/parallel_for.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "matrix/matrix.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr std::size_t kNoItem = std::numeric_limits<std::size_t>::max();

std::mutex hookMutex;
std::function<bool(unsigned)>& startHook() {
  static std::function<bool(unsigned)> hook;
  return hook;
}

// Throws as std::thread does when the system refuses a thread.
void askToStart(unsigned worker) {
  std::lock_guard lock(hookMutex);
  if (startHook() && !startHook()(worker))
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
}

// What the threads of one loop share.
class Loop {
 public:
  Loop(std::size_t items, unsigned workers, detail::LentWork work,
       const detail::LentProgress* progress)
      : items_(items), workers_(workers), work_(work), progress_(progress) {}

  ParallelOutcome run() {
    // Lines are held only when items may run side by side.
    if (workers_ > 1) lines_.resize(items_);
    std::vector<std::thread> threads;
    threads.reserve(workers_);
    // Whatever happens below, no thread is left unjoined.
    struct Joiner {
      std::vector<std::thread>& threads;
      ~Joiner() {
        for (std::thread& t : threads)
          if (t.joinable()) t.join();
      }
    } joiner{threads};
    // With progress every worker is a thread of its own and the calling
    // thread watches; without, the calling thread is worker 0.
    const unsigned first = progress_ != nullptr ? 0 : 1;
    unsigned own = first == 0 ? workers_ : 0;
    for (unsigned w = first; w < workers_; ++w) {
      if (!start(threads, w)) {
        own = first == 0 ? w : 0;  // the first number no thread took
        break;
      }
    }
    if (own < workers_) {
      runItems(own, progress_ != nullptr);
    } else {
      watch();
    }
    for (std::thread& t : threads)
      t.join();
    return finish();
  }

 private:
  bool start(std::vector<std::thread>& threads, unsigned worker) {
    {
      std::lock_guard lock(mutex_);
      ++running_;
    }
    try {
      askToStart(worker);
      threads.emplace_back([this, worker] {
        runItems(worker, false);
        std::lock_guard lock(mutex_);
        --running_;
        finished_.notify_all();
      });
      return true;
    } catch (...) {  // std::system_error, or no memory for the thread
      std::lock_guard lock(mutex_);
      --running_;
      return false;
    }
  }

  // Takes items until none is left or the loop stops; on the calling thread
  // with `report`, asks for progress between items.
  void runItems(unsigned worker, bool report) {
    PrecisionScope scope(precision_);
    auto last = std::chrono::steady_clock::now();
    for (;;) {
      if (stop_.load(std::memory_order_relaxed)) return;
      const std::size_t item = next_.fetch_add(1, std::memory_order_relaxed);
      if (item >= items_) return;
      runItem(item, worker);
      done_.fetch_add(1, std::memory_order_release);
      if (report && std::chrono::steady_clock::now() - last >= kProgressInterval) {
        askProgress(done_.load(std::memory_order_acquire));
        last = std::chrono::steady_clock::now();
      }
    }
  }

  void runItem(std::size_t item, unsigned worker) noexcept {
    try {
      std::optional<ReportCapture> capture;
      if (!lines_.empty()) capture.emplace(&lines_[item]);
      work_(item, worker);
    } catch (const std::bad_alloc&) {
      fail(item, ParallelOutcome::kOutOfMemory);
    } catch (...) {
      fail(item, ParallelOutcome::kFailed);
    }
  }

  // The failure of the lowest item counts, as it would on one thread.
  void fail(std::size_t item, ParallelOutcome why) noexcept {
    std::lock_guard lock(mutex_);
    if (item < failedItem_) {
      failedItem_ = item;
      failure_ = why;
    }
    stop_.store(true, std::memory_order_relaxed);
  }

  // On the calling thread only.
  void askProgress(std::size_t done) noexcept {
    if (cancelled_) return;
    bool goOn = false;
    try {
      goOn = (*progress_)(done);
    } catch (const std::bad_alloc&) {
      fail(items_, ParallelOutcome::kOutOfMemory);
      return;
    } catch (...) {
      fail(items_, ParallelOutcome::kFailed);
      return;
    }
    if (!goOn) {
      cancelled_ = true;
      stop_.store(true, std::memory_order_relaxed);
    }
  }

  void watch() {
    std::unique_lock lock(mutex_);
    while (running_ > 0) {
      finished_.wait_for(lock, kProgressInterval);
      if (running_ == 0) break;
      lock.unlock();
      askProgress(done_.load(std::memory_order_acquire));
      lock.lock();
    }
  }

  ParallelOutcome finish() noexcept {
    // Every item handed out has run, or failed: the items before the first
    // failure are complete. Their lines go out in item order, then those
    // the failed item wrote before it threw, as on one thread.
    const std::size_t handed = std::min(next_.load(), items_);
    const std::size_t replay = failedItem_ == kNoItem ? handed : std::min(handed, failedItem_ + 1);
    try {
      for (std::size_t item = 0; item < replay && item < lines_.size(); ++item) {
        for (const std::string& line : lines_[item])
          REPORT_LINE(line.c_str());
      }
    } catch (const std::bad_alloc&) {
      return ParallelOutcome::kOutOfMemory;
    } catch (...) {
      return ParallelOutcome::kFailed;
    }
    if (failure_ != ParallelOutcome::kDone) return failure_;
    if (progress_ != nullptr) askProgress(items_);
    if (failure_ != ParallelOutcome::kDone) return failure_;
    return cancelled_ ? ParallelOutcome::kCancelled : ParallelOutcome::kDone;
  }

  const std::size_t items_;
  const unsigned workers_;
  const detail::LentWork work_;
  const detail::LentProgress* const progress_;
  const Precision precision_ = storePrecision();
  std::vector<std::vector<std::string>> lines_;  // per item, when held
  std::atomic<std::size_t> next_{0};
  std::atomic<std::size_t> done_{0};
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable finished_;
  unsigned running_ = 0;  // threads started and not yet finished
  std::size_t failedItem_ = kNoItem;
  ParallelOutcome failure_ = ParallelOutcome::kDone;
  bool cancelled_ = false;  // calling thread only
};

}  // namespace

unsigned processorThreads() {
  return std::max(1u, std::thread::hardware_concurrency());
}

unsigned parallelWorkers(std::size_t items, unsigned threads) {
  const unsigned asked = threads != 0 ? threads : processorThreads();
  return static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(asked, items)));
}

namespace detail {

ParallelOutcome runParallel(std::size_t items, unsigned threads, LentWork work,
                            const LentProgress* progress) noexcept {
  try {
    Loop loop(items, parallelWorkers(items, threads), work, progress);
    return loop.run();
  } catch (const std::bad_alloc&) {
    // No room for the loop's own records: nothing has started.
    return ParallelOutcome::kOutOfMemory;
  } catch (...) {
    return ParallelOutcome::kFailed;
  }
}

}  // namespace detail

void setThreadStartHook(std::function<bool(unsigned worker)> hook) {
  std::lock_guard lock(hookMutex);
  startHook() = std::move(hook);
}

}  // namespace tolvane
