#include "app/path_view.hpp"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <vector>

namespace tolvane {

namespace {
struct Button {
  int id;
  const char* label;
  const char* name;
};

QGroupBox* radioGroup(QWidget* parent, const char* title, QButtonGroup* group,
                      const std::vector<Button>& buttons) {
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

// A shape button's id in its group is the shape's code.
int buttonId(PathShape shape) {
  return static_cast<int>(shape);
}

std::vector<Button> shapeButtons() {
  std::vector<Button> buttons;
  for (const PathShapeNames& n : kPathShapes)
    buttons.push_back({buttonId(n.shape), n.label, n.button});
  return buttons;
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

  QGroupBox* shapeBox = radioGroup(this, "Select Shape Family...", shapes_, shapeButtons());
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

  shapes_->button(buttonId(model_.shape()))->setChecked(true);
  steps_->button(model_.stepsId())->setChecked(true);
  connect(shapes_, &QButtonGroup::idClicked, this, [this](int id) {
    model_.clickShape(static_cast<PathShape>(id));
    shapes_->button(buttonId(model_.shape()))->setChecked(true);
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
  shapes_->button(buttonId(model_.shape()))->setFocus();
}

void GuiPathDialog::run(PathDialogModel& model) {
  PathView view(model, owner_);
  view.runModal();
}

}  // namespace tolvane
