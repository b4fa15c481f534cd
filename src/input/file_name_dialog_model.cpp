#include "input/file_name_dialog_model.hpp"

namespace tolvane {

void FileNameDialogModel::ok() {
  if (exit_ != Exit::kOpen) return;
  buffer_ = field_.substr(0, kMaxChars);
  exit_ = Exit::kOk;
}

}  // namespace tolvane
