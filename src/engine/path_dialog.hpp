// The "Shrinkage Path Settings..." dialog without widgets: its working copies
// and every rule. A front end shows the model and forwards clicks and typing
// to it; the Select Shape command hands it to a PathDialog to drive.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "engine/analysis_state.hpp"

namespace tolvane {

inline constexpr int kQTextChars = 4;

class PathDialogModel {
 public:
  // Opening: the working copies start from the remembered choices.
  explicit PathDialogModel(DialogMemory& memory);

  PathShape shape() const { return shape_; }  // the checked shape button
  int stepsId() const { return stepsId_; }    // 1013..1015, the checked steps button
  const std::string& qText() const { return qText_; }
  bool ended() const { return ended_; }

  // A click on a shape button, or on a steps button (1013 to 1015), checks
  // it in its group; other steps ids are ignored.
  void clickShape(PathShape shape);
  void clickSteps(int id);
  // The Q field's text as it now stands; the model keeps its first four
  // characters. Returns true when the text was cut.
  bool editQText(std::string_view text);
  // OK, the only way out: stores the working copies in the memory.
  void ok();

 private:
  DialogMemory& memory_;
  PathShape shape_;
  int stepsId_;
  std::string qText_;
  bool ended_ = false;
};

// A view of the dialog. run() shows it modally over the model and returns
// when the user has pressed OK. The command goes on with the remembered
// choices whatever run() did.
class PathDialog {
 public:
  virtual ~PathDialog() = default;
  virtual void run(PathDialogModel& model) = 0;
};

// What a path needs, as the dialog holds it: the shape, the Q text (the
// Q-shape's; the field keeps four characters) and the steps button
// (kStepsOne, kStepsFour or kStepsEight: 1, 4 or 8 steps per unit of MCAL).
struct PathSettings {
  PathShape shape = PathShape::kQShape;
  std::string qText = "0.0";
  int stepsButton = kStepsFour;
};

// The dialog answered from settings by its own rules, for callers that are
// not a person: the batch tool, resampling, fuzzers and benchmarks.
class SettingsPath : public PathDialog {
 public:
  explicit SettingsPath(PathSettings settings) : settings_(std::move(settings)) {}
  void run(PathDialogModel& model) override;

  // After run(): whether the Q field cut the text, and what it kept.
  bool qCut() const { return cut_; }
  const std::string& keptQ() const { return kept_; }

 private:
  PathSettings settings_;
  bool cut_ = false;
  std::string kept_;
};

}  // namespace tolvane
