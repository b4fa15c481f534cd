// Running independent work items on several threads, with results that do
// not depend on how many threads there are.
//
// The caller cuts its work into items by the size of the work alone, never
// by the thread count, lets each item write only results of its own (a slot
// per item) and merges them afterwards in item order. Which thread ran an
// item then changes no bit. Every loop gets the rest here:
// - each thread stores at the calling thread's precision (PrecisionScope);
// - report lines written by the items are held and replayed in item order
//   once all have run, as one thread would have written them;
// - a thread the system refuses to start leaves its share to the others and
//   to the calling thread, so the work is done all the same;
// - an exception thrown by an item stops the loop and comes back as an
//   outcome; nothing is thrown out of a loop.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <type_traits>

namespace tolvane {

enum class ParallelOutcome {
  kDone,         // every item ran
  kCancelled,    // the progress function said stop
  kOutOfMemory,  // an item threw std::bad_alloc
  kFailed,       // an item threw something else
};

// One per processor, at least 1.
unsigned processorThreads();

// How many workers a loop over `items` items on up to `threads` threads (0:
// one per processor) has: the bound of the worker numbers it passes.
unsigned parallelWorkers(std::size_t items, unsigned threads);

namespace detail {

// A callable lent to one loop: no copy, no allocation.
template <class Signature>
class Lent;

template <class R, class... Args>
class Lent<R(Args...)> {
 public:
  template <class F>
  requires(!std::is_same_v<std::remove_cv_t<F>, Lent>) explicit Lent(F& f)
      : object_(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
        call_([](void* o, Args... a) -> R { return (*static_cast<F*>(o))(a...); }) {}
  R operator()(Args... a) const { return call_(object_, a...); }

 private:
  void* object_;
  R (*call_)(void*, Args...);
};

using LentWork = Lent<void(std::size_t, unsigned)>;
using LentProgress = Lent<bool(std::size_t)>;

ParallelOutcome runParallel(std::size_t items, unsigned threads, LentWork work,
                            const LentProgress* progress) noexcept;

}  // namespace detail

// Calls work(item, worker) once for every item in 0..items-1 on up to
// `threads` threads (0: one per processor) and returns when all have run.
// `worker` (below parallelWorkers(items, threads)) names the thread, for
// scratch kept per worker: no two items run at once with the same number.
// After a failure or a cancel no further item starts; the items before the
// first that failed have all run.
template <class Work>
ParallelOutcome parallelFor(std::size_t items, unsigned threads, Work&& work) noexcept {
  return detail::runParallel(items, threads, detail::LentWork(work), nullptr);
}

// The same with progress: progress(done) is called on the calling thread
// about ten times a second while the items run, and once with `items` when
// all have; returning false cancels. The calling thread then only watches
// while the others work, so that it can answer promptly.
template <class Work, class Progress>
ParallelOutcome parallelFor(std::size_t items, unsigned threads, Work&& work,
                            Progress&& progress) noexcept {
  const detail::LentProgress lent(progress);
  return detail::runParallel(items, threads, detail::LentWork(work), &lent);
}

// For tests: asked before each thread is started, with its worker number;
// false refuses the start as the system does when it has no more threads to
// give (std::system_error). An empty function removes it.
void setThreadStartHook(std::function<bool(unsigned worker)> hook);

}  // namespace tolvane
