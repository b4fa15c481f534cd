// The command ids of every menu entry and accelerator: the one table that
// the frame's menus and the graph layer's windows share. It lives in the
// graph layer, the lowest one that acts on commands, so that the frame above
// it and the graph windows read the same numbers.
//
// To add a command: give it a number here, a row in the menu table
// (app/menu_table.cpp, with its shortcut if it has one), and a case in the
// frame's dispatch (or in graphWindowCommand when a graph window runs it).
// Numbers below 100 belong to the frame, from 100 to the graph windows.
#pragma once

namespace tolvane::cmd {

inline constexpr int kReadBatchInput = 5;
inline constexpr int kOpenDataFile = 8;
inline constexpr int kPrecision = 9;
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

}  // namespace tolvane::cmd
