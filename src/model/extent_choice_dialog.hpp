// The Path > Choose Extent dialog without widgets: a list of the criteria,
// the MCAL of the point clicked last on a trace (when it lies on the path),
// and an entry that asks for a number from 0 to RANK.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/extent_choice.hpp"

namespace tolvane {

class ExtentChoiceDialog {
 public:
  // clickedMcal is the MCAL of the point clicked last (negative when none);
  // currentMcal the extent of the fit on screen, where the number starts
  // (negative when there is none: the number then starts at 0).
  ExtentChoiceDialog(int rank, double clickedMcal, double currentMcal);

  // The entries in order, the CLIK minimum first (and chosen at opening).
  const std::vector<std::string>& items() const { return items_; }

  // The request of entry `index`; nothing for the entry that asks for a
  // number (asksForNumber) or an index out of range.
  std::optional<ExtentRequest> pick(int index) const;
  bool asksForNumber(int index) const { return index == numberEntry(); }

  // The number's range and its first value.
  double numberMaximum() const { return rank_; }
  double numberStart() const { return start_; }
  ExtentRequest number(double mcal) const { return {ExtentCriterion::kMcal, mcal}; }

 private:
  int numberEntry() const { return static_cast<int>(items_.size()) - 1; }

  std::vector<std::string> items_;
  double clicked_ = -1.0;
  double rank_ = 0.0;
  double start_ = 0.0;
};

}  // namespace tolvane
