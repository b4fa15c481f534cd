#include "app/open_batch_dialog.hpp"

#include <QDir>
#include <QFileDialog>

namespace tolvane {

namespace {

QString chooseFile(QWidget* owner, const QString& startDirectory, const QStringList& filters) {
  const QString start = startDirectory.isEmpty() ? QDir::currentPath() : startDirectory;
  if (start.isEmpty() || !QDir(start).isReadable()) return {};
  QFileDialog dialog(owner, QStringLiteral("Open"), start);
  dialog.setObjectName(QStringLiteral("openBatchDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.first());
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

}  // namespace

QString chooseBatchInputFile(QWidget* owner, const QString& startDirectory) {
  return chooseFile(owner, startDirectory,
                    {QString::fromLatin1(kBatchFilter), QString::fromLatin1(kAllFilesFilter)});
}

QString chooseDataFile(QWidget* owner, const QString& startDirectory) {
  return chooseFile(owner, startDirectory,
                    {QString::fromLatin1(kDataFilter), QString::fromLatin1(kBatchFilter),
                     QString::fromLatin1(kAllFilesFilter)});
}

}  // namespace tolvane
