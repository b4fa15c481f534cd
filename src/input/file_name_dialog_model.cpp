#include "input/file_name_dialog_model.hpp"

namespace tolvane {

bool FileNameDialogModel::usableName(std::string_view name) {
  return name.find_first_not_of(' ') != std::string_view::npos && name.back() != '/';
}

bool FileNameDialogModel::ok() {
  if (exit_ != Exit::kOpen) return exit_ == Exit::kOk;
  const std::string kept = field_.substr(0, kMaxChars);
  if (!usableName(kept)) return false;
  buffer_ = kept;
  exit_ = Exit::kOk;
  return true;
}

}  // namespace tolvane
