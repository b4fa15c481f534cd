#include "model/extent_choice_dialog.hpp"

#include <cstdio>
#include <iterator>

namespace tolvane {

namespace {
// In the order of the list; the extent table's criteria first.
constexpr ExtentCriterion kCriteria[] = {
    ExtentCriterion::kClik, ExtentCriterion::kEbays, ExtentCriterion::kRcoef, ExtentCriterion::kGup,
    ExtentCriterion::kGcv,  ExtentCriterion::kLoo,   ExtentCriterion::kHkb,   ExtentCriterion::kLw,
    ExtentCriterion::kAic,  ExtentCriterion::kBic};
constexpr int kCriteriaCount = static_cast<int>(std::size(kCriteria));
}  // namespace

ExtentChoiceDialog::ExtentChoiceDialog(int rank, double clickedMcal, double currentMcal)
    : rank_(rank), start_(currentMcal >= 0.0 ? currentMcal : 0.0) {
  for (ExtentCriterion c : kCriteria)
    items_.push_back(extentRequestLabel({c, 0.0}));
  if (clickedMcal >= 0.0 && clickedMcal <= rank) {
    clicked_ = clickedMcal;
    char text[64];
    std::snprintf(text, sizeof text, "MCAL = %.3f (the point clicked last)", clickedMcal);
    items_.emplace_back(text);
  }
  items_.emplace_back("MCAL = ... (a number from 0 to RANK)");
}

std::optional<ExtentRequest> ExtentChoiceDialog::pick(int index) const {
  if (index >= 0 && index < kCriteriaCount) return ExtentRequest{kCriteria[index], 0.0};
  if (clicked_ >= 0.0 && index == kCriteriaCount) return number(clicked_);
  return std::nullopt;
}

}  // namespace tolvane
