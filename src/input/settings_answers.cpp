#include "input/settings_answers.hpp"

#include <algorithm>
#include <utility>

namespace tolvane {

namespace {

using List = RoleDialogModel::List;

int rowOf(const std::vector<RoleDialogModel::Entry>& list, const std::string& name) {
  for (std::size_t k = 0; k < list.size(); ++k) {
    if (list[k].name == name) return static_cast<int>(k);
  }
  return -1;
}

// "x1, x2, x3 and y": the columns a role setting may name.
std::string columnList(const RoleDialogModel& d) {
  std::vector<std::string> names{d.response().name};
  for (const auto* list : {&d.predictors(), &d.leftOut()}) {
    for (const auto& e : *list)
      names.push_back(e.name);
  }
  std::sort(names.begin(), names.end());
  std::string text;
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (k > 0) text += k + 1 == names.size() ? " and " : ", ";
    text += names[k];
  }
  return text;
}

std::string noColumn(const std::string& name, const RoleDialogModel& d) {
  return "no column is named " + name + " (columns: " + columnList(d) + ").";
}

}  // namespace

std::string SettingProblem::message() const {
  switch (setting) {
    case SettingAtFault::kNone:
      return {};
    case SettingAtFault::kResponse:
      return "Response: " + detail;
    case SettingAtFault::kPredictors:
      return "Predictors: " + detail;
    case SettingAtFault::kLeaveOut:
      return "Left out: " + detail;
    case SettingAtFault::kRolesOnSums:
    case SettingAtFault::kRangeOnSums:
    case SettingAtFault::kResampleOnSums:
      break;
  }
  return detail;
}

bool SettingsAnswers::fail(SettingAtFault setting, std::string detail) {
  problem_ = {setting, std::move(detail)};
  return false;
}

bool SettingsAnswers::fileName(FileNameDialogModel& dialog) {
  // Only the first showing takes the name; settings never ask to change it,
  // so a second showing keeps what it is given.
  if (++fileNameCalls_ == 1 && !settings_.outputName.empty()) dialog.setField(settings_.outputName);
  dialog.ok();
  return true;
}

bool SettingsAnswers::filesExist(FilesExistDialogModel& dialog) {
  existing_ = dialog.existingFiles();
  switch (settings_.ifExists) {
    case IfExists::kOverwrite:
      dialog.click(FilesExistDialogModel::kOverwrite);
      break;
    case IfExists::kAppend:
      dialog.click(FilesExistDialogModel::kAppend);
      break;
    case IfExists::kAbort:
      dialog.click(FilesExistDialogModel::kAbort);
      break;
  }
  dialog.ok();
  return true;
}

bool SettingsAnswers::setResponse(RoleDialogModel& d) {
  const std::string& name = settings_.response;
  if (name.empty() || name == d.response().name) return true;
  const int row = rowOf(d.predictors(), name);
  if (row < 0) return fail(SettingAtFault::kResponse, noColumn(name, d));
  // The predictor list is current: select the row, then swap it with the response.
  d.select(List::kPredictors, row);
  d.moveLeft();
  return true;
}

bool SettingsAnswers::keepOnly(RoleDialogModel& d) {
  for (const std::string& name : settings_.predictors) {
    if (name == d.response().name)
      return fail(SettingAtFault::kPredictors, name + " is the response.");
    if (rowOf(d.predictors(), name) < 0)
      return fail(SettingAtFault::kPredictors, noColumn(name, d));
  }
  const auto& wanted = settings_.predictors;
  for (;;) {
    const auto& list = d.predictors();
    const auto extra = std::find_if(list.begin(), list.end(), [&wanted](const auto& e) {
      return std::find(wanted.begin(), wanted.end(), e.name) == wanted.end();
    });
    if (extra == list.end()) return true;
    d.select(List::kPredictors, static_cast<int>(extra - list.begin()));
    if (!d.moveRight())
      return fail(SettingAtFault::kPredictors, "at least 2 predictors must remain.");
  }
}

bool SettingsAnswers::leaveOut(RoleDialogModel& d) {
  for (const std::string& name : settings_.leaveOut) {
    if (rowOf(d.leftOut(), name) >= 0) continue;  // named twice
    if (name == d.response().name)
      return fail(SettingAtFault::kLeaveOut, name + " is the response.");
    const int row = rowOf(d.predictors(), name);
    if (row < 0) return fail(SettingAtFault::kLeaveOut, noColumn(name, d));
    d.select(List::kPredictors, row);
    if (!d.moveRight())
      return fail(SettingAtFault::kLeaveOut, "at least 2 predictors must remain.");
  }
  return true;
}

bool SettingsAnswers::roles(RoleDialogModel& dialog) {
  rolesAsked_ = true;
  if (!setResponse(dialog)) return false;
  if (!settings_.predictors.empty() && !keepOnly(dialog)) return false;
  if (!settings_.leaveOut.empty() && !leaveOut(dialog)) return false;
  dialog.ok();
  return true;
}

bool SettingsAnswers::scaling(ScalingDialogModel& dialog) {
  // The role dialog comes first for raw data; without it the data were sums,
  // whose last column is always the response.
  if (settings_.choosesRoles() && !rolesAsked_) {
    return fail(SettingAtFault::kRolesOnSums,
                "Roles can be chosen for raw data and delimited text only; in a cross-product "
                "batch file the last column is the response.");
  }
  if ((settings_.first || settings_.last) && dialog.rowsStreamed()) {
    return fail(SettingAtFault::kRangeOnSums,
                "The first and last observations select rows of raw data; this file's rows "
                "were reduced to cross-products in one pass. Select the rows beforehand (for "
                "example with a WHERE clause in scripts/cross-products.sql).");
  }
  if (settings_.resamples && (!rolesAsked_ || dialog.rowsStreamed())) {
    return fail(SettingAtFault::kResampleOnSums,
                rolesAsked_ ? "Inference intervals resample raw observations; this file's rows "
                              "were reduced to cross-products in one pass."
                            : "Inference intervals resample raw observations; these data are "
                              "cross-products.");
  }
  dialog.clickButton(settings_.scale);
  if (settings_.first) dialog.setFirstText(std::to_string(*settings_.first));
  if (settings_.last) dialog.setLastText(std::to_string(*settings_.last));
  dialog.ok();
  return true;
}

}  // namespace tolvane
