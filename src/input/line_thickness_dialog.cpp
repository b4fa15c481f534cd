#include "input/line_thickness_dialog.hpp"

namespace tolvane {

LineThicknessDialog::LineThicknessDialog(AnalysisState& state)
    : state_(state), choice_(state.memory.lineWidthChoice) {
  // A remembered id outside the group would leave no button checked.
  if (widthOf(choice_) == 0) choice_ = kSinglePixel;
}

int LineThicknessDialog::widthOf(int button) {
  switch (button) {
    case kSinglePixel:
      return 1;
    case kDoublePixel:
      return 2;
    case kTriplePixel:
      return 3;
    default:
      return 0;
  }
}

void LineThicknessDialog::click(int button) {
  const int width = widthOf(button);
  if (width == 0) return;
  choice_ = button;
  state_.lineWidth = width;
}

void LineThicknessDialog::ok() {
  state_.memory.lineWidthChoice = choice_;
}

}  // namespace tolvane
