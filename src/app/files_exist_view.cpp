#include "app/files_exist_view.hpp"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tolvane {

FilesExistView::FilesExistView(FilesExistDialogModel& model, QWidget* owner)
    : DialogView(owner), model_(model), group_(new QButtonGroup(this)) {
  using M = FilesExistDialogModel;
  setObjectName(QStringLiteral("filesExistDialog"));
  setWindowTitle(QString::fromLatin1(M::kTitle));
  auto* layout = new QVBoxLayout(this);
  auto* names = new QLabel(QString::fromStdString(model_.existingSentence()), this);
  names->setObjectName(QStringLiteral("existingFilesLabel"));
  layout->addWidget(names);
  const struct {
    int answer;
    const char* label;
    const char* name;
  } answers[] = {
      {M::kOverwrite, M::kOverwriteButton, "overwriteButton"},
      {M::kAppend, M::kAppendButton, "appendButton"},
      {M::kChangeName, M::kChangeButton, "changeNameButton"},
      {M::kAbort, M::kAbortButton, "abortButton"},
  };
  for (const auto& a : answers) {
    auto* radio = new QRadioButton(QString::fromLatin1(a.label), this);
    radio->setObjectName(QString::fromLatin1(a.name));
    group_->addButton(radio, a.answer);
    layout->addWidget(radio);
  }
  auto* ok = new QPushButton(QString::fromLatin1(M::kOkButton), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  if (QAbstractButton* marked = group_->button(model_.marked())) {
    marked->setChecked(true);
    marked->setFocus();
  }
  connect(group_, &QButtonGroup::idClicked, this, [this](int answer) {
    model_.click(answer);
    group_->button(model_.marked())->setChecked(true);
  });
  connect(ok, &QPushButton::clicked, this, [this] {
    model_.ok();
    done(QDialog::Accepted);
  });
}

bool FilesExistView::escapePressed() {
  model_.escape();
  return model_.finished();
}

bool FilesExistView::closeBoxClicked() {
  model_.closeBox();
  return model_.finished();
}

}  // namespace tolvane
