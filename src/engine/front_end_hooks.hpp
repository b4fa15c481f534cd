// Hooks a front end installs once at start-up. The core calls them where the
// analysis reaches a new stage; with none installed nothing happens.
#pragma once

#include <functional>

namespace tolvane {

struct FrontEndHooks {
  std::function<void()> offerPathMenu;       // least squares finished
  std::function<void()> offerVisualizeMenu;  // a path has been traced
};

void setFrontEndHooks(FrontEndHooks hooks);
void offerPathMenu();
void offerVisualizeMenu();

}  // namespace tolvane
