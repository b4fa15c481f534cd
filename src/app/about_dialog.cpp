#include "app/about_dialog.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_icons.hpp"

namespace tolvane {

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(QStringLiteral("About Tolvane..."));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("aboutIcon"));
  icon->setPixmap(largeIcon().pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);

  auto* first =
      new QLabel(QStringLiteral("Tolvane 1.0: maximum likelihood shrinkage regression."), this);
  first->setObjectName(QStringLiteral("aboutLine1"));
  auto* second = new QLabel(
      QStringLiteral("Ridge traces along a path chosen by likelihood, for batch input files."),
      this);
  second->setObjectName(QStringLiteral("aboutLine2"));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* text = new QVBoxLayout;
  text->addWidget(first);
  text->addWidget(second);
  text->addSpacing(8);
  text->addWidget(ok, 0, Qt::AlignHCenter);
  auto* row = new QHBoxLayout(this);
  row->addWidget(icon);
  row->addSpacing(8);
  row->addLayout(text);
  row->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tolvane
