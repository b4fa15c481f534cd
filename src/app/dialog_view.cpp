#include "app/dialog_view.hpp"

#include <QCloseEvent>
#include <QKeyEvent>

namespace tolvane {

DialogView::DialogView(QWidget* owner) : QDialog(owner) {
  // A caption with a close box only: no help button, no resizing grip.
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);
}

void DialogView::runModal() {
  exec();
}

void DialogView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    if (escapePressed()) done(QDialog::Rejected);
    return;
  }
  QDialog::keyPressEvent(event);
}

void DialogView::closeEvent(QCloseEvent* event) {
  if (!isVisible() || closeBoxClicked()) {
    done(QDialog::Rejected);
    event->accept();
  } else {
    event->ignore();
  }
}

// Reached only from places that mean "close", such as the window system's
// own close shortcut; treat it like the close box.
void DialogView::reject() {
  if (closeBoxClicked()) done(QDialog::Rejected);
}

}  // namespace tolvane
