#include "app/role_view.hpp"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvane {

namespace {
using List = RoleDialogModel::List;
constexpr int kListWidth = 200;

QListWidget* makeList(QWidget* parent, const char* name, int rows) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setFixedWidth(kListWidth);
  list->setFixedHeight(rows * list->fontMetrics().lineSpacing() + 2 * list->frameWidth() + 6);
  return list;
}
}  // namespace

RoleView::RoleView(RoleDialogModel& model, QWidget* owner)
    : DialogView(owner),
      model_(model),
      response_(makeList(this, "responseList", 1)),
      predictors_(makeList(this, "predictorList", 12)),
      leftOut_(makeList(this, "leftOutList", 12)) {
  using M = RoleDialogModel;
  setObjectName(QStringLiteral("roleDialog"));
  setWindowTitle(QString::fromLatin1(M::kTitle));

  auto* right = new QPushButton(QString::fromLatin1(M::kRightButton), this);
  right->setObjectName(QStringLiteral("rightButton"));
  right->setAutoDefault(false);
  auto* left = new QPushButton(QString::fromLatin1(M::kLeftButton), this);
  left->setObjectName(QStringLiteral("leftButton"));
  left->setAutoDefault(false);
  const auto [ok, cancel, buttonRow] = makeOkCancel(M::kOkButton, M::kCancelButton);

  auto label = [this](const char* text) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setWordWrap(true);
    l->setFixedWidth(kListWidth);
    return l;
  };
  auto* grid = new QGridLayout;
  grid->addWidget(label(M::kResponseLabel), 0, 0, Qt::AlignBottom);
  grid->addWidget(label(M::kPredictorsLabel), 0, 2, Qt::AlignBottom);
  grid->addWidget(label(M::kLeftOutLabel), 0, 4, Qt::AlignBottom);
  grid->addWidget(response_, 1, 0, Qt::AlignTop);
  grid->addWidget(predictors_, 1, 2);
  grid->addWidget(leftOut_, 1, 4);
  auto* arrows = new QVBoxLayout;
  arrows->addStretch();
  arrows->addWidget(right);
  arrows->addWidget(left);
  arrows->addStretch();
  grid->addLayout(arrows, 1, 3);
  grid->setColumnMinimumWidth(1, 8);

  auto* hint = new QLabel(QString::fromLatin1(M::kHint), this);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(hint);
  layout->addLayout(buttonRow);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  for (const ListWidget& l : listWidgets()) {
    const List which = l.list;
    // One notification per selection, by mouse or keys, like a list box's
    // selection change; a redraw's own changes are not forwarded.
    connect(l.widget, &QListWidget::currentRowChanged, this,
            [this, which](int row) { rowChosen(which, row); });
    // A click on the row that is already current changes no row, yet may
    // have painted a highlight the model does not hold.
    connect(l.widget, &QListWidget::itemPressed, this, [this] { redraw(); });
  }
  connect(right, &QPushButton::clicked, this, [this] {
    model_.moveRight();
    redraw();
  });
  connect(left, &QPushButton::clicked, this, [this] {
    model_.moveLeft();
    redraw();
  });
  connect(ok, &QPushButton::clicked, this, [this] {
    model_.ok();
    done(QDialog::Accepted);
  });
  connect(cancel, &QPushButton::clicked, this, [this] {
    model_.cancel();
    if (model_.exit() != RoleDialogModel::Exit::kOpen) done(QDialog::Rejected);
  });
  redraw();
  predictors_->setFocus();
}

std::array<RoleView::ListWidget, 3> RoleView::listWidgets() const {
  return {ListWidget{response_, List::kResponse}, ListWidget{predictors_, List::kPredictors},
          ListWidget{leftOut_, List::kLeftOut}};
}

void RoleView::rowChosen(List list, int row) {
  if (redrawing_ || row < 0) return;
  model_.select(list, row);
  redraw();
}

void RoleView::redraw() {
  redrawing_ = true;
  for (const ListWidget& l : listWidgets()) {
    QStringList names;
    if (l.list == List::kResponse) {
      names << QString::fromStdString(model_.response().name);
    } else {
      for (const RoleDialogModel::Entry& e : model_.entries(l.list)) {
        names << QString::fromStdString(e.name);
      }
    }
    QStringList shown;
    for (int i = 0; i < l.widget->count(); ++i)
      shown << l.widget->item(i)->text();
    if (shown != names) {
      l.widget->clear();
      l.widget->addItems(names);
    }
    // Exactly the model's selection is painted: a row the user clicked but
    // the model did not take must not stay highlighted.
    const int sel = model_.selection(l.list);
    if (sel >= 0) {
      l.widget->setCurrentRow(sel, QItemSelectionModel::ClearAndSelect);
    } else {
      l.widget->setCurrentRow(-1);
      l.widget->clearSelection();
    }
  }
  redrawing_ = false;
}

bool RoleView::escapePressed() {
  model_.escape();
  return model_.exit() != RoleDialogModel::Exit::kOpen;
}

bool RoleView::closeBoxClicked() {
  model_.closeBox();
  return model_.exit() != RoleDialogModel::Exit::kOpen;
}

}  // namespace tolvane
