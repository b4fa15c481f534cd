#include "input/scaling_dialog_model.hpp"

#include <algorithm>

namespace tolvane {

ScalingDialogModel::ScalingDialogModel(const DialogMemory& memory)
    : button_(memory.SCALEBTN), firstText_(memory.N1TEXT), lastText_(memory.N2TEXT) {}

void ScalingDialogModel::clickButton(int scaleButton) {
  if (finished_) return;
  if (scaleButton == kCenterOnly || scaleButton == kCenterRescale || scaleButton == kReExpress) {
    button_ = scaleButton;
  }
}

bool ScalingDialogModel::setField(std::string& field, std::string_view text) {
  if (finished_) return false;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  field = std::string(text.substr(0, kFieldChars));
  return true;
}

bool ScalingDialogModel::setFirstText(std::string_view text) {
  return setField(firstText_, text);
}
bool ScalingDialogModel::setLastText(std::string_view text) {
  return setField(lastText_, text);
}

void ScalingDialogModel::storeInto(DialogMemory& memory) const {
  memory.SCALEBTN = button_;
  memory.N1TEXT = firstText_;
  memory.N2TEXT = lastText_;
}

}  // namespace tolvane
