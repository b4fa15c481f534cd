#include "engine/front_end_hooks.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace tolvane {
namespace {

TEST(FrontEndHooks, QuietOnlyOnTheThreadThatAskedAndOnlyWhileItLasts) {
  std::atomic<int> path{0}, visualize{0};
  setFrontEndHooks({[&] { ++path; }, [&] { ++visualize; }});
  {
    QuietFrontEnd quiet;
    offerPathMenu();
    offerVisualizeMenu();
    { QuietFrontEnd nested; }
    offerPathMenu();  // still quiet after an inner one ends
    EXPECT_EQ(path, 0);
    EXPECT_EQ(visualize, 0);
    std::thread other([] { offerPathMenu(); });
    other.join();
    EXPECT_EQ(path, 1);
  }
  offerVisualizeMenu();
  EXPECT_EQ(visualize, 1);
  setFrontEndHooks({});
}

}  // namespace
}  // namespace tolvane
