#include "app/application.hpp"

#include <QApplication>
#include <clocale>

#include "app/app_icons.hpp"

namespace tolvane {

void prepareApplication() {
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName(QStringLiteral("Tolvane"));
  QApplication::setWindowIcon(largeIcon());
}

}  // namespace tolvane
