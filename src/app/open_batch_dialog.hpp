// The open-file dialog of Read Batch Input.
#pragma once

#include <QString>

class QWidget;

namespace tolvane {

// The dialog's two filters, the first one selected.
inline constexpr const char* kBatchFilter = "Batch Input Files(*.AYQ)";
// "*" rather than "*.*", which hides files without an extension.
inline constexpr const char* kAllFilesFilter = "All Files (*)";
// Open Data File adds delimited text, its filter first.
inline constexpr const char* kDataFilter = "Data Files (*.csv *.tsv *.txt)";

// Shows the open-file dialog in startDirectory (the current working
// directory when empty); the chosen file must exist. Returns its full path,
// or an empty string when the user cancelled or the directory cannot be
// read.
QString chooseBatchInputFile(QWidget* owner, const QString& startDirectory = {});

// The same dialog for Open Data File: the data filter selected, then the
// batch filter and all files.
QString chooseDataFile(QWidget* owner, const QString& startDirectory = {});

}  // namespace tolvane
