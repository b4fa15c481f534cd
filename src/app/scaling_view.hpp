// "Scaling and Observation Settings...": three standardization buttons and
// two observation fields over ScalingDialogModel. OK is the only way out.
#pragma once

#include <QButtonGroup>
#include <QLineEdit>

#include "app/dialog_view.hpp"
#include "input/scaling_dialog_model.hpp"

namespace tolvane {

class ScalingView : public DialogView {
  Q_OBJECT

 public:
  ScalingView(ScalingDialogModel& model, QWidget* owner);

 protected:
  bool escapePressed() override;
  bool closeBoxClicked() override;

 private:
  // Shows the model's copy of a field when it refused or cut the edit.
  void fieldEdited(QLineEdit* field, bool first);

  ScalingDialogModel& model_;
  QButtonGroup* group_;
  QLineEdit* first_;
  QLineEdit* last_;
};

}  // namespace tolvane
