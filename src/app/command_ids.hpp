// Command ids of the menus and the accelerator table.
#pragma once

namespace tolvane {

enum Command : int {
  kCmdReadBatchInput = 5,
  kCmdAbout = 6,
  kCmdHelp = 7,
  kCmdCreateReport = 11,
  kCmdClose = 12,
  kCmdExit = 13,
  kCmdTile = 30,
  kCmdCascade = 31,
  kCmdCloseAll = 33,
  kCmdCloseFiles = 34,
  kCmdCoefficientTrace = 101,
  kCmdRelativeRiskTrace = 102,
  kCmdExcessEigenvalueTrace = 103,
  kCmdInferiorDirectionTrace = 104,
  kCmdShrinkageFactorTrace = 105,
  kCmdInferenceIntervals = 107,
  kCmdPrintGraph = 108,
  kCmdVisualReRegression = 110,
  kCmdCopyToClipboard = 111,
  kCmdLineThickness = 112,
  kCmdSelectShape = 113,
};

}  // namespace tolvane
