// The File > Precision dialog without widgets: the arithmetic of the next
// data file read, one of two entries. The analysis on screen keeps the
// arithmetic it was read in: mixing the two within one analysis would match
// neither.
#pragma once

#include <array>
#include <string>

#include "engine/analysis_state.hpp"

namespace tolvane {

// "double precision (about 16 significant digits)" or the single one.
std::string precisionLabel(Precision precision);

class PrecisionDialog {
 public:
  // Opening: the saved setting is chosen.
  explicit PrecisionDialog(Precision saved) : chosen_(saved) {}

  // The entries, double precision first.
  static std::array<std::string, 2> items();
  int chosenEntry() const { return chosen_ == Precision::kSingle ? 1 : 0; }
  // An entry picked by its text; an unknown text leaves the choice.
  void pick(const std::string& item);

  Precision chosen() const { return chosen_; }
  // OK: the setting to save, and the report line that says so.
  std::string okLine() const;

 private:
  Precision chosen_;
};

}  // namespace tolvane
