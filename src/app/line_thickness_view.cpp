#include "app/line_thickness_view.hpp"

#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tolvane {

LineThicknessView::LineThicknessView(LineThicknessDialog& model, QWidget* owner)
    : DialogView(owner), model_(model), group_(new QButtonGroup(this)) {
  setObjectName(QStringLiteral("lineThicknessDialog"));
  setWindowTitle(QStringLiteral("Set Line Thickness..."));
  auto* layout = new QVBoxLayout(this);
  const struct {
    int id;
    const char* label;
    const char* name;
  } buttons[] = {
      {kSinglePixel, "Single Pixel Width", "singleWidthButton"},
      {kDoublePixel, "Double Pixel Width", "doubleWidthButton"},
      {kTriplePixel, "Tripple Pixel Width", "tripleWidthButton"},
  };
  for (const auto& b : buttons) {
    auto* radio = new QRadioButton(QString::fromLatin1(b.label), this);
    radio->setObjectName(QString::fromLatin1(b.name));
    group_->addButton(radio, b.id);
    layout->addWidget(radio);
  }
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  QAbstractButton* checked = group_->button(model_.checked());
  checked->setChecked(true);
  checked->setFocus();
  connect(group_, &QButtonGroup::idClicked, this, [this](int id) { model_.click(id); });
  connect(ok, &QPushButton::clicked, this, [this] {
    model_.ok();
    done(QDialog::Accepted);
  });
}

// Esc ends the dialog the way the close box does: nothing more is stored.
bool LineThicknessView::escapePressed() {
  return closeBoxClicked();
}

bool LineThicknessView::closeBoxClicked() {
  model_.close();
  return true;
}

}  // namespace tolvane
