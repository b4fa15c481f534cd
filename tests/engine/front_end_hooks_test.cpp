#include "engine/front_end_hooks.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace tolvane {
namespace {

// A worker thread (the desktop's batch run) reaches the hooks too; with
// none installed nothing happens.
TEST(FrontEndHooks, CalledFromAnyThreadAndHarmlessWhenNoneIsInstalled) {
  std::atomic<int> path{0}, visualize{0};
  std::string failure;
  setFrontEndHooks({[&] { ++path; }, [&] { ++visualize; }});
  setOutputFailureHook([&](const std::string& why) { failure = why; });
  offerPathMenu();
  std::thread other([] {
    offerVisualizeMenu();
    outputFailed("cannot write a.syq: disk full");
  });
  other.join();
  EXPECT_EQ(path, 1);
  EXPECT_EQ(visualize, 1);
  EXPECT_EQ(failure, "cannot write a.syq: disk full");
  setFrontEndHooks({});
  setOutputFailureHook({});
  offerPathMenu();
  outputFailed("ignored");
  EXPECT_EQ(path, 1);
  EXPECT_EQ(failure, "cannot write a.syq: disk full");
}

}  // namespace
}  // namespace tolvane
