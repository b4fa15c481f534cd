// The open-file dialog of Read Batch Input.
#pragma once

#include <QString>

class QWidget;

namespace tolvane {

// The dialog's two filters, the first one selected.
inline constexpr const char* kBatchFilter = "Batch Input Files(*.AYQ)";
inline constexpr const char* kAllFilesFilter = "All Files(*.*)";

// Shows the open-file dialog in startDirectory (the current working
// directory when empty); the chosen file must exist. Returns its full path,
// or an empty string when the user cancelled or the directory cannot be
// read.
QString chooseBatchInputFile(QWidget* owner, const QString& startDirectory = {});

}  // namespace tolvane
