#include "app/window_list.hpp"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>

namespace tolvane {

void fillWindowList(QMenu* menu, QMdiArea* mdi) {
  for (QAction* action : menu->actions()) {
    if (action->property("windowListEntry").toBool()) {
      menu->removeAction(action);
      action->deleteLater();
    }
  }
  const QList<QMdiSubWindow*> children = mdi->subWindowList();
  if (children.isEmpty()) return;
  QAction* separator = menu->addSeparator();
  separator->setProperty("windowListEntry", true);
  int n = 0;
  for (QMdiSubWindow* child : children) {
    ++n;
    // Digits 1 to 9 are the mnemonics; a tenth window would repeat "1".
    const QString number = n <= 9 ? QStringLiteral("&%1").arg(n) : QString::number(n);
    QString title = child->windowTitle();
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* entry = menu->addAction(number + QLatin1Char(' ') + title);
    entry->setProperty("windowListEntry", true);
    entry->setCheckable(true);
    entry->setChecked(child == mdi->activeSubWindow());
    QPointer<QMdiSubWindow> target = child;
    QObject::connect(entry, &QAction::triggered, mdi, [mdi, target] {
      if (target) mdi->setActiveSubWindow(target);
    });
  }
}

}  // namespace tolvane
