#include "graph/chart_library.hpp"

#include <QApplication>
#include <clocale>
#include <cstdlib>

namespace tolvane {

namespace {
bool libraryOpen = false;
}  // namespace

bool openChartLibrary() {
  libraryOpen = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
  return libraryOpen;
}

void closeChartLibrary() {
  libraryOpen = false;
}

bool chartLibraryOpen() {
  return libraryOpen;
}

bool ensureOffscreenChartApplication() {
  if (QCoreApplication::instance() == nullptr) {
    // argc and argv must outlive the application object.
    static int argc = 3;
    static char arg0[] = "tolvane";
    static char arg1[] = "-platform";
    static char arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    // Kept for the rest of the run: destroying it among the static
    // destructors would outlive parts of Qt it depends on.
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    std::setlocale(LC_NUMERIC, "C");
  }
  return openChartLibrary();
}

}  // namespace tolvane
