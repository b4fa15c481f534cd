#include "app/precision_setting.hpp"

#include <QSettings>

namespace tolvane {

namespace {
constexpr const char* kKey = "precision";
}

Precision precisionSetting() {
  const QString value = QSettings().value(QLatin1String(kKey), QStringLiteral("double")).toString();
  return value == QLatin1String("single") ? Precision::kSingle : Precision::kDouble;
}

void savePrecisionSetting(Precision precision) {
  QSettings().setValue(QLatin1String(kKey), precision == Precision::kSingle
                                                ? QStringLiteral("single")
                                                : QStringLiteral("double"));
}

}  // namespace tolvane
