// "Define Variable Roles...": the response, predictor and left-out lists and
// the two arrow buttons over RoleDialogModel.
#pragma once

#include <QListWidget>

#include <array>

#include "app/dialog_view.hpp"
#include "input/role_dialog_model.hpp"

namespace tolvane {

class RoleView : public DialogView {
  Q_OBJECT

 public:
  RoleView(RoleDialogModel& model, QWidget* owner);

 protected:
  bool escapePressed() override;
  bool closeBoxClicked() override;

 private:
  void rowChosen(RoleDialogModel::List list, int row);
  // Refills the three lists and their selections from the model.
  void redraw();

  struct ListWidget {
    QListWidget* widget;
    RoleDialogModel::List list;
  };
  // The three list widgets with the model's list each shows.
  std::array<ListWidget, 3> listWidgets() const;

  RoleDialogModel& model_;
  QListWidget* response_;
  QListWidget* predictors_;
  QListWidget* leftOut_;
  bool redrawing_ = false;
};

}  // namespace tolvane
