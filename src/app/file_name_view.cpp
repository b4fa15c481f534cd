#include "app/file_name_view.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvane {

FileNameView::FileNameView(FileNameDialogModel& model, QWidget* owner)
    : DialogView(owner), model_(model), field_(new QLineEdit(this)) {
  using M = FileNameDialogModel;
  setObjectName(QStringLiteral("fileNameDialog"));
  setWindowTitle(QString::fromLatin1(M::kTitle));

  auto* explanation = new QLabel(QString::fromLatin1(M::kExplanation), this);
  explanation->setWordWrap(true);
  auto* instruction = new QLabel(QString::fromLatin1(M::kInstruction), this);
  instruction->setWordWrap(true);
  field_->setObjectName(QStringLiteral("fileNameField"));
  field_->setText(QString::fromStdString(model_.field()));
  field_->setMinimumWidth(320);
  const auto [ok, cancel, buttons] = makeOkCancel(M::kOkButton, M::kCancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(explanation);
  layout->addWidget(instruction);
  layout->addWidget(field_);
  layout->addLayout(buttons);
  setFixedWidth(440);

  connect(field_, &QLineEdit::textEdited, this,
          [this](const QString& text) { model_.setField(text.toStdString()); });
  connect(ok, &QPushButton::clicked, this, [this] {
    if (model_.ok()) {
      done(QDialog::Accepted);
    } else {
      QMessageBox::warning(this, windowTitle(), QString::fromLatin1(M::kEmptyName));
    }
  });
  connect(cancel, &QPushButton::clicked, this, [this] {
    model_.cancel();
    done(QDialog::Rejected);
  });
  field_->selectAll();
  field_->setFocus();
}

bool FileNameView::escapePressed() {
  model_.escape();
  return model_.exit() != FileNameDialogModel::Exit::kOpen;
}

bool FileNameView::closeBoxClicked() {
  model_.closeBox();
  return model_.exit() != FileNameDialogModel::Exit::kOpen;
}

}  // namespace tolvane
