// Hooks a front end installs once at start-up. The core calls them where the
// analysis reaches a new stage; with none installed nothing happens.
#pragma once

#include <functional>
#include <string>

namespace tolvane {

struct FrontEndHooks {
  std::function<void()> offerPathMenu;       // least squares finished
  std::function<void()> offerVisualizeMenu;  // a path has been traced
};

void setFrontEndHooks(FrontEndHooks hooks);

// Called when an output file could not be written, with a sentence that
// names the file and the system's reason (the report has it too); a desktop
// shows it in a message box. Empty: nothing more happens.
void setOutputFailureHook(std::function<void(const std::string&)> hook);

void offerPathMenu();
void offerVisualizeMenu();
void outputFailed(const std::string& why);

}  // namespace tolvane
