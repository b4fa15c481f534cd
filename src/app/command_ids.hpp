// Command ids of the menus and the accelerator table.
#pragma once

namespace tolvane {

// In a namespace of their own: the graph layer names its commands too.
namespace cmd {
inline constexpr int kReadBatchInput = 5;
inline constexpr int kOpenDataFile = 8;
inline constexpr int kAbout = 6;
inline constexpr int kHelp = 7;
inline constexpr int kCreateReport = 11;
inline constexpr int kClose = 12;
inline constexpr int kExit = 13;
inline constexpr int kTile = 30;
inline constexpr int kCascade = 31;
inline constexpr int kCloseAll = 33;
inline constexpr int kCloseFiles = 34;
inline constexpr int kCoefficientTrace = 101;
inline constexpr int kRelativeRiskTrace = 102;
inline constexpr int kExcessEigenvalueTrace = 103;
inline constexpr int kInferiorDirectionTrace = 104;
inline constexpr int kShrinkageFactorTrace = 105;
inline constexpr int kInferenceIntervals = 107;
inline constexpr int kPrintGraph = 108;
inline constexpr int kVisualReRegression = 110;
inline constexpr int kCopyToClipboard = 111;
inline constexpr int kLineThickness = 112;
inline constexpr int kSelectShape = 113;
inline constexpr int kChooseExtent = 114;
inline constexpr int kSaveModel = 115;
inline constexpr int kComparisonCriteria = 116;
}  // namespace cmd

}  // namespace tolvane
