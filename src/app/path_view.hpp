// "Shrinkage Path Settings...": shape family, Q value and steps per unit of
// MCAL over PathDialogModel. OK is the only way out.
#pragma once

#include <QButtonGroup>
#include <QLineEdit>

#include "app/dialog_view.hpp"
#include "engine/path_dialog.hpp"

namespace tolvane {

class PathView : public DialogView {
  Q_OBJECT

 public:
  PathView(PathDialogModel& model, QWidget* owner);

 protected:
  bool escapePressed() override { return model_.ended(); }
  bool closeBoxClicked() override { return model_.ended(); }

 private:
  PathDialogModel& model_;
  QButtonGroup* shapes_;
  QButtonGroup* steps_;
  QLineEdit* q_;
};

// Select Shape's dialog on the GUI thread: shows PathView over its owner.
class GuiPathDialog : public PathDialog {
 public:
  explicit GuiPathDialog(QWidget* owner) : owner_(owner) {}
  void run(PathDialogModel& model) override;

 private:
  QWidget* owner_;
};

}  // namespace tolvane
