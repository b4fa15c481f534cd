// The Window menu's list of open windows: one checkable entry per child of
// the multiple-document area, numbered 1 to 9 as mnemonics, the active one
// checked; choosing one activates it.
#pragma once

class QMdiArea;
class QMenu;

namespace tolvane {

// Replaces the entries an earlier call added to `menu` with the windows of
// `mdi` as they are now (called each time the menu is about to show).
void fillWindowList(QMenu* menu, QMdiArea* mdi);

}  // namespace tolvane
