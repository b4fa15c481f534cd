#include "app/dialog_view.hpp"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>

namespace tolvane {

DialogView::DialogView(QWidget* owner) : QDialog(owner) {
  // A caption with a close box only: no help button, no resizing grip.
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);
}

DialogView::OkCancel DialogView::makeOkCancel(const char* okText, const char* cancelText) {
  auto* ok = new QPushButton(QString::fromLatin1(okText), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QString::fromLatin1(cancelText), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  cancel->setAutoDefault(false);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  row->addStretch();
  return {ok, cancel, row};
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
