// The "Set Line Thickness..." dialog without widgets.
//
// Unlike the other dialogs, a click applies at once: the graph line width
// changes as soon as a button is clicked, while the remembered button is
// written back only by OK. Closing by the close box therefore keeps the last
// clicked width but reopens on the previously confirmed button.
#pragma once

#include "engine/analysis_state.hpp"

namespace tolvane {

enum LineThicknessButton { kSinglePixel = 1003, kDoublePixel = 1004, kTriplePixel = 1005 };

class LineThicknessDialog {
 public:
  // Opening: the working choice is the remembered button.
  explicit LineThicknessDialog(AnalysisState& state);

  // The checked button (1003 to 1005), which also has the focus.
  int checked() const { return choice_; }

  // A click on a radio button: checks it and sets state.lineWidth at once.
  // Ids outside 1003 to 1005 are ignored.
  void click(int button);

  // OK: remembers the checked button for the next opening.
  void ok();
  // The close box: nothing more is stored.
  void close() {}

  // The pixel width of a button: 1, 2 or 3.
  static int widthOf(int button);

 private:
  AnalysisState& state_;
  int choice_;
};

}  // namespace tolvane
