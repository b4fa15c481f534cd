#include "model/precision_dialog.hpp"

namespace tolvane {

std::string precisionLabel(Precision precision) {
  return precision == Precision::kSingle
             ? "single precision (the classic arithmetic, about 7 digits)"
             : "double precision (about 16 significant digits)";
}

std::array<std::string, 2> PrecisionDialog::items() {
  return {precisionLabel(Precision::kDouble), precisionLabel(Precision::kSingle)};
}

void PrecisionDialog::pick(const std::string& item) {
  if (item == precisionLabel(Precision::kDouble)) chosen_ = Precision::kDouble;
  if (item == precisionLabel(Precision::kSingle)) chosen_ = Precision::kSingle;
}

std::string PrecisionDialog::okLine() const {
  return "    The next data file is read in " + precisionLabel(chosen_) + ".";
}

}  // namespace tolvane
