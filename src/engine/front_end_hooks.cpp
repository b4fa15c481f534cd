#include "engine/front_end_hooks.hpp"

#include <mutex>

namespace tolvane {

namespace {
std::mutex hooksMutex;
FrontEndHooks& hooks() {
  static FrontEndHooks h;
  return h;
}

void call(std::function<void()> FrontEndHooks::*which) {
  std::function<void()> f;
  {
    std::lock_guard lock(hooksMutex);
    f = hooks().*which;
  }
  if (f) f();
}
}  // namespace

void setFrontEndHooks(FrontEndHooks h) {
  std::lock_guard lock(hooksMutex);
  hooks() = std::move(h);
}

void offerPathMenu() {
  call(&FrontEndHooks::offerPathMenu);
}
void offerVisualizeMenu() {
  call(&FrontEndHooks::offerVisualizeMenu);
}

}  // namespace tolvane
