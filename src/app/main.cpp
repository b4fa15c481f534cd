// The desktop program: one frame, its report window and graph windows.
#include <QApplication>
#include <QTimer>

#include "app/application.hpp"
#include "app/main_frame.hpp"
#include "app/precision_setting.hpp"
#include "engine/analysis_state.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tolvane::prepareApplication();
  // Outlives the frame; its destructor closes the output files at exit.
  tolvane::AnalysisState state;
  state.precision = tolvane::precisionSetting();
  tolvane::MainFrame frame(state);
  frame.show();
  // "tolvane FILE", as a file manager starts it: the file is opened as the
  // File menu would open it, once the frame is up.
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    const QString path = args.at(1);
    QTimer::singleShot(0, &frame, [&frame, path] { frame.openChosenFile(path); });
  }
  return app.exec();
}
