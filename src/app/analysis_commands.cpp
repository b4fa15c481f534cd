#include "app/analysis_commands.hpp"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

#include "app/inference_intervals.hpp"
#include "app/intervals_settings_dialog.hpp"
#include "app/path_view.hpp"
#include "app/precision_setting.hpp"
#include "engine/analysis_state.hpp"
#include "engine/select_shape.hpp"
#include "graph/click_readout.hpp"
#include "graph/plot_trace.hpp"
#include "model/desktop_analysis.hpp"
#include "model/extent_choice_dialog.hpp"
#include "model/model_file.hpp"
#include "model/precision_dialog.hpp"
#include "report/report.hpp"

namespace tolvane {

void AnalysisCommands::selectShape() {
  GuiPathDialog dialog(dialogOwner_());
  if (SELECT_SHAPE(state_, dialog)) analysis_.pathTraced(state_);
}

void AnalysisCommands::chooseExtent() {
  const ModelResults& model = analysis_.model();
  if (!model.valid) return;
  // A click on a trace offers its MCAL.
  const int point = clickPoint();
  const bool clicked = point >= 0 && point < static_cast<int>(mcalAxis().size());
  const ExtentChoiceDialog choice(state_.RANK, clicked ? mcalAxis()[point] : -1.0,
                                  model.fitted ? model.fit.extent.mcal : -1.0);
  QStringList items;
  for (const std::string& item : choice.items())
    items << QString::fromStdString(item);
  bool ok = false;
  const QString picked =
      QInputDialog::getItem(dialogOwner_(), QStringLiteral("Choose Extent"),
                            QStringLiteral("Extent of shrinkage:"), items, 0, false, &ok);
  if (!ok) return;
  const int index = static_cast<int>(items.indexOf(picked));
  std::optional<ExtentRequest> request = choice.pick(index);
  if (!request) {
    if (!choice.asksForNumber(index)) return;
    const double mcal =
        QInputDialog::getDouble(dialogOwner_(), QStringLiteral("Choose Extent"),
                                QStringLiteral("MCAL (0 to %1):").arg(state_.RANK),
                                choice.numberStart(), 0.0, choice.numberMaximum(), 3, &ok);
    if (!ok) return;
    request = choice.number(mcal);
  }
  if (const Status status = analysis_.chooseExtent(state_, *request); !status.ok()) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Choose Extent"),
                    QString::fromStdString(status.message + "."), QMessageBox::Ok, dialogOwner_());
    box.setObjectName(QStringLiteral("extentRefusedMessage"));
    box.exec();
  }
}

void AnalysisCommands::displayInferenceIntervals() {
  // Cross-product data cannot be resampled: say so before asking anything.
  if (const Status can = resamplingStatus(state_); !can.ok()) {
    reportLinef("    %s", can.message.c_str());
    REPORT_SHOW();
    return;
  }
  BootstrapSettings settings;
  // Each resample chooses its extent the way the analyst chose this one.
  settings.extent = analysis_.extentRequest();
  if (!askBootstrapSettings(dialogOwner_(), &settings)) return;
  intervals_.start(settings);
}

void AnalysisCommands::choosePrecision() {
  PrecisionDialog model(precisionSetting());
  QStringList items;
  for (const std::string& item : PrecisionDialog::items())
    items << QString::fromStdString(item);
  QInputDialog dialog(dialogOwner_());
  dialog.setObjectName(QStringLiteral("precisionDialog"));
  dialog.setWindowTitle(QStringLiteral("Precision"));
  dialog.setLabelText(QStringLiteral("Arithmetic for the next data file read:"));
  dialog.setComboBoxItems(items);
  dialog.setComboBoxEditable(false);
  dialog.setTextValue(items.at(model.chosenEntry()));
  if (dialog.exec() != QDialog::Accepted) return;
  model.pick(dialog.textValue().toStdString());
  savePrecisionSetting(model.chosen());
  reportLinef("%s", model.okLine().c_str());
  REPORT_SHOW();
}

void AnalysisCommands::saveModelFile(const QString& directory) {
  const ModelResults& model = analysis_.model();
  if (!model.fitted) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Save Model"),
                    QStringLiteral("No extent has been chosen on this path: there is no model "
                                   "to save."),
                    QMessageBox::Ok, dialogOwner_());
    box.exec();
    return;
  }
  const QString path =
      QFileDialog::getSaveFileName(dialogOwner_(), QStringLiteral("Save Model"), directory,
                                   QStringLiteral("Model files (*.json);;All files (*)"));
  if (path.isEmpty()) return;
  if (const Status saved =
          saveModel(state_, model, analysis_.inputPath(), QFile::encodeName(path).toStdString());
      !saved.ok()) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Save Model"),
                    QString::fromStdString(saved.message), QMessageBox::Ok, dialogOwner_());
    box.exec();
    return;
  }
  reportLinef("    Model at MCAL = %.3f saved in %s", model.fit.extent.mcal,
              QFile::encodeName(QFileInfo(path).fileName()).constData());
  REPORT_SHOW();
}

}  // namespace tolvane
