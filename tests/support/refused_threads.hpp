// Threads the system will not start, on demand: the parallel loops must do
// their work all the same, with the same bits.
#pragma once

#include <atomic>

#include "matrix/parallel_for.hpp"

namespace tolvane::test {

// While it lives, the first `allowed` thread starts that any loop asks for
// succeed and every later one is refused.
class RefusedThreads {
 public:
  explicit RefusedThreads(int allowed = 0) : allowed_(allowed) {
    setThreadStartHook([this](unsigned) { return asked_.fetch_add(1) < allowed_; });
  }
  ~RefusedThreads() { setThreadStartHook({}); }
  RefusedThreads(const RefusedThreads&) = delete;
  RefusedThreads& operator=(const RefusedThreads&) = delete;

  // Starts asked for so far, granted or not.
  int asked() const { return asked_.load(); }

 private:
  const int allowed_;
  std::atomic<int> asked_{0};
};

}  // namespace tolvane::test
