#include "cli/option_dialogs.hpp"

#include <algorithm>

namespace tolvane {

namespace {

using List = RoleDialogModel::List;

int rowOf(const std::vector<RoleDialogModel::Entry>& list, const std::string& name) {
  for (std::size_t k = 0; k < list.size(); ++k) {
    if (list[k].name == name) return static_cast<int>(k);
  }
  return -1;
}

// "x1, x2, x3 and y": the columns a role option may name.
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

}  // namespace

bool OptionDialogs::fail(std::string why) {
  problem_ = std::move(why);
  return false;
}

bool OptionDialogs::fileName(FileNameDialogModel& dialog) {
  // Only the first showing takes --out; the batch tool never asks to change
  // the name, so a second showing keeps what it is given.
  if (++fileNameCalls_ == 1 && !options_.out.empty()) dialog.setField(options_.out);
  dialog.ok();
  return true;
}

bool OptionDialogs::filesExist(FilesExistDialogModel& dialog) {
  existing_ = dialog.existingFiles();
  switch (options_.ifExists) {
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

bool OptionDialogs::setResponse(RoleDialogModel& d) {
  const std::string& name = options_.response;
  if (name.empty() || name == d.response().name) return true;
  const int row = rowOf(d.predictors(), name);
  if (row < 0)
    return fail("--response: no column is named " + name + " (columns: " + columnList(d) + ").");
  // The predictor list is current: select the row, then swap it with the response.
  d.select(List::kPredictors, row);
  d.moveLeft();
  return true;
}

bool OptionDialogs::keepOnly(RoleDialogModel& d) {
  for (const std::string& name : options_.predictors) {
    if (name == d.response().name) return fail("--predictors: " + name + " is the response.");
    if (rowOf(d.predictors(), name) < 0) {
      return fail("--predictors: no column is named " + name + " (columns: " + columnList(d) +
                  ").");
    }
  }
  const auto& wanted = options_.predictors;
  for (;;) {
    const auto& list = d.predictors();
    const auto extra = std::find_if(list.begin(), list.end(), [&wanted](const auto& e) {
      return std::find(wanted.begin(), wanted.end(), e.name) == wanted.end();
    });
    if (extra == list.end()) return true;
    d.select(List::kPredictors, static_cast<int>(extra - list.begin()));
    if (!d.moveRight()) return fail("--predictors: at least 2 predictors must remain.");
  }
}

bool OptionDialogs::leaveOut(RoleDialogModel& d) {
  for (const std::string& name : options_.leaveOut) {
    if (rowOf(d.leftOut(), name) >= 0) continue;  // named twice
    if (name == d.response().name) return fail("--leave-out: " + name + " is the response.");
    const int row = rowOf(d.predictors(), name);
    if (row < 0) {
      return fail("--leave-out: no column is named " + name + " (columns: " + columnList(d) + ").");
    }
    d.select(List::kPredictors, row);
    if (!d.moveRight()) return fail("--leave-out: at least 2 predictors must remain.");
  }
  return true;
}

bool OptionDialogs::roles(RoleDialogModel& dialog) {
  rolesAsked_ = true;
  if (!setResponse(dialog)) return false;
  if (!options_.predictors.empty() && !keepOnly(dialog)) return false;
  if (!options_.leaveOut.empty() && !leaveOut(dialog)) return false;
  dialog.ok();
  return true;
}

bool OptionDialogs::scaling(ScalingDialogModel& dialog) {
  // The role dialog comes first for raw data; without it the data were sums,
  // whose last column is always the response.
  const bool roleOptions =
      !options_.response.empty() || !options_.predictors.empty() || !options_.leaveOut.empty();
  if (roleOptions && !rolesAsked_) {
    return fail(
        "--response, --predictors and --leave-out apply to raw data and delimited text only; "
        "in a cross-product batch file the last column is the response.");
  }
  if ((options_.first || options_.last) && dialog.rowsStreamed()) {
    return fail(
        "--first and --last select observations of raw data; this file has more than 200 "
        "rows, which were reduced to cross-products in one pass. Select the rows beforehand "
        "(for example with a WHERE clause in scripts/cross-products.sql).");
  }
  dialog.clickButton(options_.scale);
  if (options_.first) dialog.setFirstText(std::to_string(*options_.first));
  if (options_.last) dialog.setLastText(std::to_string(*options_.last));
  dialog.ok();
  return true;
}

}  // namespace tolvane
