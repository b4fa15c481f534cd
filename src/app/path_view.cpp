#include "app/path_view.hpp"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tolvane {

namespace {
struct Button {
  int id;
  const char* label;
  const char* name;
};

QGroupBox* radioGroup(QWidget* parent, const char* title, QButtonGroup* group,
                      std::initializer_list<Button> buttons) {
  auto* box = new QGroupBox(QString::fromLatin1(title), parent);
  auto* layout = new QVBoxLayout(box);
  for (const Button& b : buttons) {
    auto* radio = new QRadioButton(QString::fromLatin1(b.label), box);
    radio->setObjectName(QString::fromLatin1(b.name));
    group->addButton(radio, b.id);
    layout->addWidget(radio);
  }
  return box;
}
}  // namespace

PathView::PathView(PathDialogModel& model, QWidget* owner)
    : DialogView(owner),
      model_(model),
      shapes_(new QButtonGroup(this)),
      steps_(new QButtonGroup(this)),
      q_(new QLineEdit(this)) {
  setObjectName(QStringLiteral("pathDialog"));
  setWindowTitle(QStringLiteral("Shrinkage Path Settings..."));

  QGroupBox* shapeBox = radioGroup(this, "Select Shape Family...", shapes_,
                                   {{kShapeQ, "Q-shape", "qShapeButton"},
                                    {kShapeGarrote, "Garotte", "garotteButton"},
                                    {kShapeLasso, "Lasso", "lassoButton"},
                                    {kShapeCrosr, "CROSR", "crosrButton"}});
  QGroupBox* stepsBox = radioGroup(this, "Steps per Unit Chance in MCAL", steps_,
                                   {{kStepsOne, "One", "oneStepButton"},
                                    {kStepsFour, "Four", "fourStepsButton"},
                                    {kStepsEight, "Eight", "eightStepsButton"}});
  q_->setObjectName(QStringLiteral("qField"));
  q_->setMaximumWidth(70);
  q_->setText(QString::fromStdString(model_.qText()));
  auto* qLabel = new QLabel(QStringLiteral("Q-shape Setting (-5 to +5.)"), this);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);

  auto* qRow = new QHBoxLayout;
  qRow->addWidget(q_);
  qRow->addWidget(qLabel);
  qRow->addStretch();
  auto* left = new QVBoxLayout;
  left->addWidget(shapeBox);
  left->addLayout(qRow);
  auto* right = new QVBoxLayout;
  right->addWidget(stepsBox);
  right->addStretch();
  right->addWidget(ok, 0, Qt::AlignHCenter);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left);
  layout->addLayout(right);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  shapes_->button(model_.shapeId())->setChecked(true);
  steps_->button(model_.stepsId())->setChecked(true);
  connect(shapes_, &QButtonGroup::idClicked, this, [this](int id) {
    model_.clickShape(id);
    shapes_->button(model_.shapeId())->setChecked(true);
  });
  connect(steps_, &QButtonGroup::idClicked, this, [this](int id) {
    model_.clickSteps(id);
    steps_->button(model_.stepsId())->setChecked(true);
  });
  connect(q_, &QLineEdit::textEdited, this, [this](const QString& text) {
    model_.editQText(text.toStdString());
    const QString kept = QString::fromStdString(model_.qText());
    if (q_->text() != kept) q_->setText(kept);
  });
  connect(ok, &QPushButton::clicked, this, [this] {
    model_.ok();
    done(QDialog::Accepted);
  });
  shapes_->button(model_.shapeId())->setFocus();
}

void GuiPathDialog::run(PathDialogModel& model) {
  PathView view(model, owner_);
  view.runModal();
}

}  // namespace tolvane
