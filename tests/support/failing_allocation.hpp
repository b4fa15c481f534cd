// Allocation failures on demand, for tests that a shortage of memory leaves
// results complete or empty. Linking failing_allocation.cpp replaces the
// global operator new of the test program (only that program: it is built
// into a test executable of its own).
#pragma once

#include <cstdint>

namespace tolvane::test {

// From now on, the `nth` allocation made on this thread fails (1: the next
// one); every other allocation succeeds. A failing plain `new` throws
// std::bad_alloc, a failing nothrow `new` returns null, as the real ones do.
void failNthAllocation(std::int64_t nth);

// Disarms, and says whether the armed failure happened.
bool disarmAllocationFailure();

// Disarms on leaving a scope, so that a failed assertion does not leave the
// next test running short of memory.
class AllocationFailure {
 public:
  explicit AllocationFailure(std::int64_t nth) { failNthAllocation(nth); }
  ~AllocationFailure() { disarmAllocationFailure(); }
  AllocationFailure(const AllocationFailure&) = delete;
  AllocationFailure& operator=(const AllocationFailure&) = delete;
  bool happened() { return disarmAllocationFailure(); }
};

}  // namespace tolvane::test
