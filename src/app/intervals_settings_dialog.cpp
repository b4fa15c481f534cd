#include "app/intervals_settings_dialog.hpp"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

namespace tolvane {

bool askBootstrapSettings(QWidget* parent, BootstrapSettings* settings) {
  QSettings stored;
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("intervalsSettings"));
  dialog.setWindowTitle(QStringLiteral("Display Inference Intervals"));

  auto* resamples = new QSpinBox(&dialog);
  resamples->setObjectName(QStringLiteral("resamples"));
  resamples->setRange(kMinResamples, kMaxResamples);
  resamples->setValue(
      stored.value(QStringLiteral("intervals/resamples"), kDefaultResamples).toInt());
  auto* seed = new QSpinBox(&dialog);
  seed->setObjectName(QStringLiteral("seed"));
  seed->setRange(0, std::numeric_limits<int>::max());
  seed->setValue(
      stored.value(QStringLiteral("intervals/seed"), static_cast<int>(kDefaultSeed)).toInt());
  auto* level = new QDoubleSpinBox(&dialog);
  level->setObjectName(QStringLiteral("level"));
  level->setRange(kMinLevel * 100.0, kMaxLevel * 100.0);
  level->setDecimals(1);
  level->setSuffix(QStringLiteral(" %"));
  level->setValue(stored.value(QStringLiteral("intervals/level"), kDefaultLevel).toDouble() *
                  100.0);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Resamples of the observations:"), resamples);
  form->addRow(QStringLiteral("&Seed:"), seed);
  form->addRow(QStringLiteral("&Level of the intervals:"), level);
  auto* note = new QLabel(
      QStringLiteral("Each resample repeats the analysis on this path and chooses its own "
                     "extent, so the intervals account for that choice. The same seed gives "
                     "the same intervals."),
      &dialog);
  note->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(form);
  layout->addWidget(note);
  layout->addWidget(buttons);

  if (dialog.exec() != QDialog::Accepted) return false;
  settings->resamples = resamples->value();
  settings->seed = static_cast<std::uint64_t>(seed->value());
  settings->level = level->value() / 100.0;
  stored.setValue(QStringLiteral("intervals/resamples"), settings->resamples);
  stored.setValue(QStringLiteral("intervals/seed"), seed->value());
  stored.setValue(QStringLiteral("intervals/level"), settings->level);
  return true;
}

}  // namespace tolvane
