// Base of the dialog views: routes the two ways out that are not buttons
// (the Esc key and the close box) to the view, which asks its model whether
// the dialog ends. QDialog would otherwise treat both as a plain reject().
#pragma once

#include <QDialog>

class QHBoxLayout;
class QPushButton;

namespace tolvane {

class DialogView : public QDialog {
  Q_OBJECT

 public:
  explicit DialogView(QWidget* owner);

  // Shows the dialog modally over its owner and returns when it has ended.
  void runModal();

 protected:
  // Esc pressed: return true to end the dialog.
  virtual bool escapePressed() = 0;
  // Close box clicked: return true to end the dialog.
  virtual bool closeBoxClicked() = 0;

  // The OK (default) and Cancel buttons of a dialog, named okButton and
  // cancelButton, and a centred row holding them.
  struct OkCancel {
    QPushButton* ok;
    QPushButton* cancel;
    QHBoxLayout* row;
  };
  OkCancel makeOkCancel(const char* okText, const char* cancelText);

  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
};

}  // namespace tolvane
