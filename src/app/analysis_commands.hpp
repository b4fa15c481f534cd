// The commands that act on the analysis on screen: Path > Select Shape and
// Choose Extent, Visualize > Display Inference Intervals, File > Precision
// and Save Model. Each shows its dialog over the frame's dialog owner and
// leaves the rules to the dialog models and the desktop analysis.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tolvane {

struct AnalysisState;
class DesktopAnalysis;
class InferenceIntervals;

class AnalysisCommands {
 public:
  AnalysisCommands(AnalysisState& state, DesktopAnalysis& analysis, InferenceIntervals& intervals,
                   std::function<QWidget*()> dialogOwner)
      : state_(state),
        analysis_(analysis),
        intervals_(intervals),
        dialogOwner_(std::move(dialogOwner)) {}

  void selectShape();
  void chooseExtent();
  void displayInferenceIntervals();
  void choosePrecision();
  // The save dialog starts in `directory`.
  void saveModelFile(const QString& directory);

 private:
  AnalysisState& state_;
  DesktopAnalysis& analysis_;
  InferenceIntervals& intervals_;
  std::function<QWidget*()> dialogOwner_;
};

}  // namespace tolvane
