#include "app/scaling_view.hpp"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tolvane {

ScalingView::ScalingView(ScalingDialogModel& model, QWidget* owner)
    : DialogView(owner),
      model_(model),
      group_(new QButtonGroup(this)),
      first_(new QLineEdit(this)),
      last_(new QLineEdit(this)) {
  using M = ScalingDialogModel;
  setObjectName(QStringLiteral("scalingDialog"));
  setWindowTitle(QString::fromLatin1(M::kTitle));

  auto* box = new QGroupBox(QString::fromLatin1(M::kGroupLabel), this);
  auto* boxLayout = new QVBoxLayout(box);
  const struct {
    int button;
    const char* label;
    const char* name;
  } buttons[] = {
      {kCenterOnly, M::kCenterOnlyButton, "centerOnlyButton"},
      {kCenterRescale, M::kCenterRescaleButton, "centerRescaleButton"},
      {kReExpress, M::kReExpressButton, "reExpressButton"},
  };
  for (const auto& b : buttons) {
    auto* radio = new QRadioButton(QString::fromLatin1(b.label), box);
    radio->setObjectName(QString::fromLatin1(b.name));
    group_->addButton(radio, b.button);
    boxLayout->addWidget(radio);
  }

  first_->setObjectName(QStringLiteral("firstObservationField"));
  last_->setObjectName(QStringLiteral("lastObservationField"));
  for (QLineEdit* f : {first_, last_})
    f->setMaximumWidth(80);
  first_->setText(QString::fromStdString(model_.firstText()));
  last_->setText(QString::fromStdString(model_.lastText()));
  auto* fields = new QFormLayout;
  fields->addRow(QString::fromLatin1(M::kFirstLabel), first_);
  fields->addRow(QString::fromLatin1(M::kLastLabel), last_);

  const auto [ok, cancel, buttonRow] = makeOkCancel(M::kOkButton, M::kCancelButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addLayout(fields);
  layout->addLayout(buttonRow);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  if (QAbstractButton* marked = group_->button(model_.button())) {
    marked->setChecked(true);
    marked->setFocus();
  }
  connect(group_, &QButtonGroup::idClicked, this, [this](int button) {
    model_.clickButton(button);
    group_->button(model_.button())->setChecked(true);
  });
  connect(first_, &QLineEdit::textEdited, this, [this] { fieldEdited(first_, true); });
  connect(last_, &QLineEdit::textEdited, this, [this] { fieldEdited(last_, false); });
  connect(ok, &QPushButton::clicked, this, [this] {
    model_.ok();
    done(QDialog::Accepted);
  });
  connect(cancel, &QPushButton::clicked, this, [this] {
    model_.cancel();
    if (model_.finished()) done(QDialog::Rejected);
  });
}

void ScalingView::fieldEdited(QLineEdit* field, bool first) {
  const std::string text = field->text().toStdString();
  if (first) {
    model_.setFirstText(text);
  } else {
    model_.setLastText(text);
  }
  const QString shown = QString::fromStdString(first ? model_.firstText() : model_.lastText());
  if (field->text() != shown) {
    const int cursor = std::min(field->cursorPosition(), static_cast<int>(shown.size()));
    field->setText(shown);
    field->setCursorPosition(cursor);
  }
}

bool ScalingView::escapePressed() {
  model_.escape();
  return model_.finished();
}

bool ScalingView::closeBoxClicked() {
  model_.closeBox();
  return model_.finished();
}

}  // namespace tolvane
