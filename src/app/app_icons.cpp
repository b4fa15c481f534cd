#include "app/app_icons.hpp"

// The resource file lives in a static library: its initialiser must be
// called by name, or the linker drops it.
static void initResources() {
  Q_INIT_RESOURCE(tolvane);
}

namespace tolvane {

namespace {
void ensureResources() {
  static const bool done = [] {
    initResources();
    return true;
  }();
  (void)done;
}
}  // namespace

QIcon largeIcon() {
  ensureResources();
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/syqIcon.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/icons/syqIcon48.png"), QSize(48, 48));
  return icon;
}

QIcon smallIcon() {
  ensureResources();
  return QIcon(QStringLiteral(":/icons/syqIcSm.png"));
}

}  // namespace tolvane
