#include "engine/front_end_hooks.hpp"

#include <mutex>

namespace tolvane {

namespace {
std::mutex hooksMutex;
FrontEndHooks& hooks() {
  static FrontEndHooks h;
  return h;
}
std::function<void(const std::string&)>& failureHook() {
  static std::function<void(const std::string&)> h;
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

void setOutputFailureHook(std::function<void(const std::string&)> hook) {
  std::lock_guard lock(hooksMutex);
  failureHook() = std::move(hook);
}

void offerPathMenu() {
  call(&FrontEndHooks::offerPathMenu);
}
void offerVisualizeMenu() {
  call(&FrontEndHooks::offerVisualizeMenu);
}
void outputFailed(const std::string& why) {
  std::function<void(const std::string&)> f;
  {
    std::lock_guard lock(hooksMutex);
    f = failureHook();
  }
  if (f) f(why);
}

}  // namespace tolvane
