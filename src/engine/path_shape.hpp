// The four shapes a shrinkage path can take, and every name each goes by:
// in the report and the summary file, on the path dialog and in chart
// titles, in chart file names, and on the batch tool's command line and in
// the model file. All of them come from the one table below, so that a shape
// is spelt the same way wherever the same kind of name is printed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolvane {

// The values are the program's classic shape codes.
enum class PathShape {
  kQShape = 0,   // the two-parameter family shaped by Q (Q = 0 is ordinary ridge)
  kCrosr = 1,    // constant ratio of shrinkage ratios
  kGarrote = 2,  // Breiman-like generalized garrote
  kLasso = 3,    // Tibshirani-like generalized lasso
};

struct PathShapeNames {
  PathShape shape;
  // The family line of the report and the summary file.
  const char* family;
  // In report headings ("along a GARROTE Shape Path"); null for the Q-shape
  // family, whose headings carry its Q instead (pathHeading()).
  const char* heading;
  // The batch tool's option word, which the model file also writes.
  const char* word;
  // A second word the batch tool takes, the dialog's label in lower case
  // where it differs from the word; null when there is none.
  const char* alias;
  // The path dialog's button label, which chart titles repeat.
  const char* label;
  // The tag chart files of the path carry in their names.
  const char* tag;
  // The object name of the dialog's button.
  const char* button;
};

// In the order the path dialog lists them.
inline constexpr PathShapeNames kPathShapes[] = {
    {PathShape::kQShape, "Two-parameter Generalized Shrinkage PATH.", nullptr, "q", "q-shape",
     "Q-shape", "qshape", "qShapeButton"},
    {PathShape::kGarrote, "Breiman-like Generalized Garrote PATH.", "GARROTE", "garrote", "garotte",
     "Garotte", "garotte", "garotteButton"},
    {PathShape::kLasso, "Tibshirani-like Generalized Lasso PATH.", "LASSO", "lasso", nullptr,
     "Lasso", "lasso", "lassoButton"},
    {PathShape::kCrosr, "Constant-Ratio-Of-Shrinkage-Ratios PATH.", "CROSR", "crosr", nullptr,
     "CROSR", "crosr", "crosrButton"},
};

// The names of a shape.
constexpr const PathShapeNames& namesOf(PathShape shape) {
  for (const PathShapeNames& n : kPathShapes) {
    if (n.shape == shape) return n;
  }
  return kPathShapes[0];
}

// The shape whose word or alias is `word`, in any case; nothing for any
// other word.
std::optional<PathShape> pathShapeOfWord(std::string_view word);

// The shape's name in report headings: its heading, or for the Q-shape
// family "Q=" and Q as "%4.1f" prints it ("Q= 0.5").
std::string pathHeading(PathShape shape, double q);

}  // namespace tolvane
