// The desktop program: one frame, its report window and graph windows.
#include <QApplication>
#include <QSettings>

#include "app/application.hpp"
#include "app/main_frame.hpp"
#include "engine/analysis_state.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tolvane::prepareApplication();
  // Outlives the frame; its destructor closes the output files at exit.
  tolvane::AnalysisState state;
  // The precision kept between runs ("single" or "double", the default).
  const QString precision = QSettings().value(QStringLiteral("precision"), "double").toString();
  state.precision = precision == QStringLiteral("single") ? tolvane::Precision::kSingle
                                                          : tolvane::Precision::kDouble;
  tolvane::MainFrame frame(state);
  frame.show();
  return app.exec();
}
