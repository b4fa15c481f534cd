#include "engine/front_end_hooks.hpp"

#include <mutex>

namespace tolvane {

namespace {
std::mutex hooksMutex;
thread_local bool quiet = false;
FrontEndHooks& hooks() {
  static FrontEndHooks h;
  return h;
}

void call(std::function<void()> FrontEndHooks::*which) {
  if (quiet) return;
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

QuietFrontEnd::QuietFrontEnd() : previous_(quiet) {
  quiet = true;
}
QuietFrontEnd::~QuietFrontEnd() {
  quiet = previous_;
}

void offerPathMenu() {
  call(&FrontEndHooks::offerPathMenu);
}
void offerVisualizeMenu() {
  call(&FrontEndHooks::offerVisualizeMenu);
}

}  // namespace tolvane
