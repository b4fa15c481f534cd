#include "engine/path_dialog.hpp"

namespace tolvane {

namespace {

// Length in bytes of the first `chars` characters of UTF-8 text, so that a
// cut never splits a character that a front end let the user type.
std::size_t prefixBytes(std::string_view text, int chars) {
  std::size_t i = 0;
  for (int n = 0; n < chars && i < text.size(); ++n) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
      ++i;
  }
  return i;
}

}  // namespace

PathDialogModel::PathDialogModel(DialogMemory& memory)
    : memory_(memory),
      shape_(memory.SHAPEBTN),
      stepsId_(memory.STEPSBTN),
      qText_(memory.QTEXT.substr(0, prefixBytes(memory.QTEXT, kQTextChars))) {}

void PathDialogModel::clickShape(PathShape shape) {
  shape_ = shape;
}

void PathDialogModel::clickSteps(int id) {
  if (id >= kStepsOne && id <= kStepsEight) stepsId_ = id;
}

bool PathDialogModel::editQText(std::string_view text) {
  const std::size_t keep = prefixBytes(text, kQTextChars);
  qText_.assign(text.substr(0, keep));
  return keep < text.size();
}

void PathDialogModel::ok() {
  memory_.SHAPEBTN = shape_;
  memory_.STEPSBTN = stepsId_;
  memory_.QTEXT = qText_;
  ended_ = true;
}

void SettingsPath::run(PathDialogModel& model) {
  model.clickShape(settings_.shape);
  model.clickSteps(settings_.stepsButton);
  cut_ = model.editQText(settings_.qText);
  kept_ = model.qText();
  model.ok();
}

}  // namespace tolvane
