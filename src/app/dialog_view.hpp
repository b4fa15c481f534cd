// Base of the dialog views: routes the two ways out that are not buttons
// (the Esc key and the close box) to the view, which asks its model whether
// the dialog ends. QDialog would otherwise treat both as a plain reject().
#pragma once

#include <QDialog>

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

  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
};

}  // namespace tolvane
