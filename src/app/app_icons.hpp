// The program's icons: "syqIcon" (large) and "syqIcSm" (small), from the
// resource file.
#pragma once

#include <QIcon>

namespace tolvane {

QIcon largeIcon();
QIcon smallIcon();

}  // namespace tolvane
