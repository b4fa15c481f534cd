// "FileName for Output Files": a text field over FileNameDialogModel.
#pragma once

#include <QLineEdit>

#include "app/dialog_view.hpp"
#include "input/file_name_dialog_model.hpp"

namespace tolvane {

class FileNameView : public DialogView {
  Q_OBJECT

 public:
  FileNameView(FileNameDialogModel& model, QWidget* owner);

 protected:
  bool escapePressed() override;
  bool closeBoxClicked() override;

 private:
  FileNameDialogModel& model_;
  QLineEdit* field_;
};

}  // namespace tolvane
