#include "app/open_batch_dialog.hpp"

#include <QDir>
#include <QFileDialog>

namespace tolvane {

QString chooseBatchInputFile(QWidget* owner, const QString& startDirectory) {
  const QString start = startDirectory.isEmpty() ? QDir::currentPath() : startDirectory;
  if (start.isEmpty() || !QDir(start).isReadable()) return {};
  QFileDialog dialog(owner, QStringLiteral("Open"), start);
  dialog.setObjectName(QStringLiteral("openBatchDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QString::fromLatin1(kBatchFilter), QString::fromLatin1(kAllFilesFilter)});
  dialog.selectNameFilter(QString::fromLatin1(kBatchFilter));
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

}  // namespace tolvane
