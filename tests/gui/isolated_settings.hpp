#pragma once

#include <QSettings>
#include <QTemporaryDir>

namespace tolvane::test {

// The desktop program keeps its choices under one application name, and
// ctest runs several test programs at once: each test process gets its own
// empty settings directory, so no test reads another's (or the user's)
// choices. Call before the first QSettings is made.
inline void isolateSettings() {
  static QTemporaryDir dir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
}

}  // namespace tolvane::test
