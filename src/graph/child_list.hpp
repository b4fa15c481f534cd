// The register of MDI children: one entry per child window ever opened, in
// opening order, with the title it was opened under. Entries are appended and
// never removed, so a title can always be found for a window that is still
// alive. Graph windows look their own title up here to decide what a click
// reads; the app registers the report window here too.
//
// GUI thread only.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <vector>

namespace tolvane {

struct ChildEntry {
  // Null once the window is destroyed: a dead entry never matches a later
  // window that happens to get the same address.
  QPointer<QWidget> window;
  QString title;
};

// Appends (window, title). Register the widget handed to
// QMdiArea::addSubWindow (the content widget), not its QMdiSubWindow frame.
void registerChild(QWidget* window, const QString& title);

// The title of the first live entry for window; an empty string when the
// window was never registered (or is null).
QString childTitle(const QWidget* window);

// Number of entries ever registered (dead ones included).
int childCount();

// All entries, oldest first.
const std::vector<ChildEntry>& childList();

}  // namespace tolvane
