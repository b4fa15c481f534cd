// Process-wide settings of the desktop program.
#pragma once

namespace tolvane {

// Call right after creating the QApplication: Qt sets the locale from the
// environment, but every number Tolvane writes uses the "C" numeric locale.
// Also names the application and gives it its icon.
void prepareApplication();

}  // namespace tolvane
