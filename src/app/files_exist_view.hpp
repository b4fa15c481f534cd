// "Files Already Exist...": four exclusive answers over FilesExistDialogModel.
#pragma once

#include <QButtonGroup>

#include "app/dialog_view.hpp"
#include "input/files_exist_dialog_model.hpp"

namespace tolvane {

class FilesExistView : public DialogView {
  Q_OBJECT

 public:
  FilesExistView(FilesExistDialogModel& model, QWidget* owner);

 protected:
  bool escapePressed() override;
  bool closeBoxClicked() override;

 private:
  FilesExistDialogModel& model_;
  QButtonGroup* group_;
};

}  // namespace tolvane
