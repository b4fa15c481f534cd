#include "input/role_dialog_model.hpp"

#include <algorithm>
#include <cctype>

namespace tolvane {

namespace {

bool lessNoCase(const RoleDialogModel::Entry& a, const RoleDialogModel::Entry& b) {
  const auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  const std::size_t n = std::min(a.name.size(), b.name.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = lower(a.name[i]), cb = lower(b.name[i]);
    if (ca != cb) return ca < cb;
  }
  if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
  return a.column < b.column;
}

void insertSorted(std::vector<RoleDialogModel::Entry>& list, RoleDialogModel::Entry e) {
  list.insert(std::upper_bound(list.begin(), list.end(), e, lessNoCase), std::move(e));
}

// The row before the removed one, or the first row; -1 for an empty list.
int rowBefore(int removed, const std::vector<RoleDialogModel::Entry>& list) {
  if (list.empty()) return -1;
  return std::clamp(removed - 1, 0, static_cast<int>(list.size()) - 1);
}

// The name a list shows: the full name of delimited text, else the name.
std::string shownName(const AnalysisState& s, const std::string& name, int column) {
  if (s.hasColumn(column) && !s.LONGNAME[column].empty()) return s.LONGNAME[column];
  return name;
}

// The name the state keeps: the 8-character VNAME behind a full name.
std::string keptName(const AnalysisState& s, const RoleDialogModel::Entry& e) {
  if (s.hasColumn(e.column) && !s.LONGNAME[e.column].empty()) return s.VNAME[e.column];
  return e.name;
}

}  // namespace

RoleDialogModel::RoleDialogModel(const AnalysisState& s) {
  response_ = {shownName(s, s.YNAME, s.YCOL), s.YCOL};
  for (int i = 1; i <= s.P && i < static_cast<int>(s.XCOL.size()); ++i)
    insertSorted(predictors_, {shownName(s, s.XNAME[i], s.XCOL[i]), s.XCOL[i]});
  predictorSel_ = predictors_.empty() ? -1 : 0;
}

const std::vector<RoleDialogModel::Entry>& RoleDialogModel::entries(List list) const {
  static const std::vector<Entry> none;
  switch (list) {
    case List::kPredictors:
      return predictors_;
    case List::kLeftOut:
      return leftOut_;
    case List::kResponse:
      break;
  }
  return none;
}

int RoleDialogModel::selection(List list) const {
  if (list == List::kPredictors) return predictorSel_;
  if (list == List::kLeftOut) return leftOutSel_;
  return -1;
}

std::string RoleDialogModel::selectedName() const {
  const std::vector<Entry>& list = entries(current_);
  const int row = selection(current_);
  if (row < 0 || row >= static_cast<int>(list.size())) return {};
  return list[row].name;
}

void RoleDialogModel::select(List list, int row) {
  if (!open() || list == List::kResponse) return;
  const std::vector<Entry>& target = entries(list);
  if (target.empty() || row < 0 || row >= static_cast<int>(target.size())) return;
  current_ = list;
  predictorSel_ = list == List::kPredictors ? row : -1;
  leftOutSel_ = list == List::kLeftOut ? row : -1;
}

bool RoleDialogModel::moveRight() {
  if (!open() || current_ != List::kPredictors || predictors_.size() <= 2) return false;
  const int row = predictorSel_;
  if (row < 0 || row >= static_cast<int>(predictors_.size())) return false;
  Entry moved = predictors_[row];
  predictors_.erase(predictors_.begin() + row);
  insertSorted(leftOut_, std::move(moved));
  predictorSel_ = rowBefore(row, predictors_);
  return true;
}

bool RoleDialogModel::moveLeft() {
  if (!open()) return false;
  if (current_ == List::kLeftOut) {
    const int row = leftOutSel_;
    if (leftOut_.empty() || row < 0 || row >= static_cast<int>(leftOut_.size())) return false;
    Entry moved = leftOut_[row];
    leftOut_.erase(leftOut_.begin() + row);
    insertSorted(predictors_, std::move(moved));
    leftOutSel_ = rowBefore(row, leftOut_);
    return true;
  }
  const int row = predictorSel_;
  if (predictors_.empty() || row < 0 || row >= static_cast<int>(predictors_.size())) return false;
  Entry newResponse = predictors_[row];
  predictors_.erase(predictors_.begin() + row);
  insertSorted(predictors_, std::move(response_));
  response_ = std::move(newResponse);
  predictorSel_ = rowBefore(row, predictors_);
  return true;
}

void RoleDialogModel::applyTo(AnalysisState& s) const {
  for (int c = 1; c <= s.NVAR && s.hasColumn(c); ++c)
    s.VROLE[c] = 'I';
  s.P = static_cast<int>(predictors_.size());
  for (int i = 1; i <= s.P; ++i) {
    const Entry& e = predictors_[i - 1];
    s.XNAME[i] = keptName(s, e);
    s.XCOL[i] = e.column;
    s.VROLE[e.column] = 'P';
  }
  s.YNAME = keptName(s, response_);
  s.YCOL = response_.column;
  s.VROLE[s.YCOL] = 'R';
}

}  // namespace tolvane
