// Running a piece of work on the GUI thread from any thread, and waiting for
// it: the way the batch worker shows its modal dialogs.
#pragma once

#include <functional>

namespace tolvane {

// Runs fn on the GUI thread and returns when it has run (or when the GUI
// thread discarded the call unrun, at shutdown). On the GUI thread
// itself fn runs directly (a blocking queued call to one's own thread would
// deadlock). Needs a QCoreApplication. The GUI thread must never wait for a
// thread that may be inside this call.
void callOnGuiThread(const std::function<void()>& fn);

// True on the thread of the QCoreApplication.
bool onGuiThread();

}  // namespace tolvane
