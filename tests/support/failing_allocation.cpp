#include "failing_allocation.hpp"

#include <cstdlib>
#include <new>

namespace {

// Per thread, so that threads the code under test starts are not counted.
thread_local std::int64_t countdown = 0;  // 0: disarmed
thread_local bool failed = false;

bool shouldFail() {
  if (countdown == 0) return false;
  if (--countdown != 0) return false;
  failed = true;
  return true;
}

void* allocate(std::size_t size) {
  if (shouldFail()) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

namespace tolvane::test {

void failNthAllocation(std::int64_t nth) {
  failed = false;
  countdown = nth > 0 ? nth : 0;
}

bool disarmAllocationFailure() {
  countdown = 0;
  const bool was = failed;
  failed = false;
  return was;
}

}  // namespace tolvane::test

void* operator new(std::size_t size) {
  if (void* p = allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
