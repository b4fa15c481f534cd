#include "graph/chart_library.hpp"

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace tolvane {

namespace {
bool libraryOpen = false;

QtMessageHandler previousHandler = nullptr;

// Without a desktop session Qt warns that XDG_RUNTIME_DIR is not set as the
// offscreen platform starts. The batch tool's standard error is for its own
// messages and the run's problems: that warning, about a folder the charts
// never use, is dropped; every other message goes on as before.
void quietRuntimeDirWarning(QtMsgType type, const QMessageLogContext& context, const QString& msg) {
  if (type == QtWarningMsg && msg.contains(QLatin1String("XDG_RUNTIME_DIR"))) return;
  if (previousHandler != nullptr) {
    previousHandler(type, context, msg);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, msg)));
  }
}
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
    previousHandler = qInstallMessageHandler(quietRuntimeDirWarning);
    // Kept for the rest of the run: destroying it among the static
    // destructors would outlive parts of Qt it depends on.
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    std::setlocale(LC_NUMERIC, "C");
  }
  return openChartLibrary();
}

}  // namespace tolvane
