// Each dialog view over its model: what it shows on opening, that clicks and
// typing reach the model, and which of OK, Esc and the close box end the
// dialog and with what.
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "app/application.hpp"
#include "app/file_name_view.hpp"
#include "app/files_exist_view.hpp"
#include "app/path_view.hpp"
#include "app/role_view.hpp"
#include "app/scaling_view.hpp"
#include "engine/analysis_state.hpp"
#include "modal_script.hpp"

using namespace tolvane;
using tolvane::test::items;
using tolvane::test::ModalScript;

namespace {

// A raw-data state with columns named as given; the last one is the response.
void setNames(AnalysisState& s, const QStringList& names) {
  s.NVAR = static_cast<int>(names.size());
  s.NOBS = 20;
  for (int c = 1; c <= s.NVAR; ++c)
    s.VNAME[c] = names[c - 1].toStdString();
  s.setDefaultsAfterRead();
}

void clickRow(QListWidget* list, int row) {
  const QRect r = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

void pressEscape(QWidget* w) {
  QTest::keyClick(w, Qt::Key_Escape);
}

// Leaves a dialog the way a data row names: "cancel" (its button), "esc" or
// "close" (the close box).
void leaveDialog(QWidget* w, const QString& how) {
  if (how == "cancel") {
    QTest::mouseClick(w->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
  } else if (how == "esc") {
    pressEscape(w);
  } else {
    w->close();
  }
}

// A click on a radio button's indicator (its middle may lie past the label).
void clickRadio(QWidget* dialog, const char* name) {
  auto* radio = dialog->findChild<QRadioButton*>(name);
  QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(6, radio->height() / 2));
}

}  // namespace

class TestDialogViews : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { prepareApplication(); }

  void fileNameOpensSelectedAndOkTakesTheField() {
    FileNameDialogModel model("SALES");
    FileNameView view(model, nullptr);
    ModalScript script;
    bool allSelected = false;
    QString title;
    script.then("fileNameDialog", [&](QWidget* w) {
      title = w->windowTitle();
      auto* field = w->findChild<QLineEdit*>("fileNameField");
      // Focus comes with activation, which the platform may deliver late.
      const bool active = QTest::qWaitForWindowActive(w);
      allSelected = active && field->selectedText() == "SALES" && field->hasFocus();
      QTest::keyClicks(field, "SALES2");  // replaces the selection
      w->findChild<QPushButton*>("okButton")->click();
    });
    view.runModal();
    QVERIFY(!script.expired());
    QCOMPARE(title, QString("FileName for Output Files"));
    QVERIFY(allSelected);
    QCOMPARE(model.exit(), FileNameDialogModel::Exit::kOk);
    QCOMPARE(QString::fromStdString(model.buffer()), QString("SALES2"));
  }

  void fileNameCancelAndEscCancelTheCloseBoxGoesOn_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("exit");
    QTest::newRow("Cancel") << "cancel" << int(FileNameDialogModel::Exit::kCancelled);
    QTest::newRow("Esc") << "esc" << int(FileNameDialogModel::Exit::kCancelled);
    QTest::newRow("close box") << "close" << int(FileNameDialogModel::Exit::kClosed);
  }

  void fileNameCancelAndEscCancelTheCloseBoxGoesOn() {
    QFETCH(QString, how);
    QFETCH(int, exit);
    FileNameDialogModel model("SALES");
    FileNameView view(model, nullptr);
    ModalScript script;
    script.then("fileNameDialog", [&](QWidget* w) {
      QTest::keyClicks(w->findChild<QLineEdit*>("fileNameField"), "OTHER");
      leaveDialog(w, how);
    });
    view.runModal();
    QVERIFY(!script.expired());
    QCOMPARE(int(model.exit()), exit);
    QCOMPARE(QString::fromStdString(model.buffer()), QString("SALES"));
  }

  void filesExistNamesTheFilesAndOpensOnChangeName() {
    FilesExistDialogModel model({"SALES.syq", "SALES.myq"});
    FilesExistView view(model, nullptr);
    ModalScript script;
    QStringList labels;
    QString names;
    bool overwriteMarked = true, changeMarked = false;
    script.then("filesExistDialog", [&](QWidget* w) {
      for (auto* r : w->findChildren<QRadioButton*>())
        labels << r->text();
      names = w->findChild<QLabel*>("existingFilesLabel")->text();
      overwriteMarked = w->findChild<QRadioButton*>("overwriteButton")->isChecked();
      changeMarked = w->findChild<QRadioButton*>("changeNameButton")->isChecked();
      clickRadio(w, "overwriteButton");
      clickRadio(w, "appendButton");
      w->findChild<QPushButton*>("okButton")->click();
    });
    view.runModal();
    QVERIFY(!script.expired());
    QCOMPARE(names, QString("SALES.syq and SALES.myq already exist."));
    QVERIFY(!overwriteMarked);
    QVERIFY(changeMarked);
    QCOMPARE(labels, (QStringList{"Overwrite existing *.SYQ and *.MYQ files",
                                  "Append output to existing files", "Change (EDIT) FileName.",
                                  "Abort batch data entry"}));
    QCOMPARE(model.answer(), int(FilesExistDialogModel::kAppend));
  }

  // The close box once kept Overwrite and emptied the files; Esc did nothing.
  void filesExistEscAndTheCloseBoxAbort_data() {
    QTest::addColumn<bool>("escape");
    QTest::newRow("Esc") << true;
    QTest::newRow("close box") << false;
  }

  void filesExistEscAndTheCloseBoxAbort() {
    QFETCH(bool, escape);
    FilesExistDialogModel model({"SALES.syq"});
    FilesExistView view(model, nullptr);
    ModalScript script;
    script.then("filesExistDialog", [&](QWidget* w) {
      clickRadio(w, "overwriteButton");
      escape ? pressEscape(w) : void(w->close());
    });
    view.runModal();
    QVERIFY(!script.expired());
    QVERIFY(!view.isVisible());
    QVERIFY(model.finished());
    QCOMPARE(model.answer(), int(FilesExistDialogModel::kAbort));
  }

  // Enter confirms the marked answer: at opening that must empty nothing.
  void filesExistEnterAtOnceDoesNotOverwrite() {
    FilesExistDialogModel model({"SALES.syq"});
    FilesExistView view(model, nullptr);
    ModalScript script;
    script.then("filesExistDialog", [&](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); });
    view.runModal();
    QVERIFY(!script.expired());
    QCOMPARE(model.answer(), int(FilesExistDialogModel::kChangeName));
  }

  void scalingOpensOnTheMemoriesAndOkStores() {
    DialogMemory memory;
    memory.SCALEBTN = kReExpress;
    memory.N1TEXT = "3";
    memory.N2TEXT = "30";
    ScalingDialogModel model(memory);
    ScalingView view(model, nullptr);
    ModalScript script;
    bool reExpressMarked = false;
    QString first, last, group, shownAfterLongEdit, shownAfterLetters;
    script.then("scalingDialog", [&](QWidget* w) {
      auto* reExpress = w->findChild<QRadioButton*>("reExpressButton");
      reExpressMarked = reExpress->isChecked() && reExpress->hasFocus();
      group = w->findChild<QGroupBox*>()->title();
      auto* f1 = w->findChild<QLineEdit*>("firstObservationField");
      auto* f2 = w->findChild<QLineEdit*>("lastObservationField");
      first = f1->text();
      last = f2->text();
      clickRadio(w, "centerOnlyButton");
      f1->clear();
      QTest::keyClicks(f1, "123456");  // the copy keeps four characters
      shownAfterLongEdit = f1->text();
      f2->selectAll();
      QTest::keyClicks(f2, "9x");  // digits only
      shownAfterLetters = f2->text();
      w->findChild<QPushButton*>("okButton")->click();
    });
    view.runModal();
    QVERIFY(!script.expired());
    QVERIFY(reExpressMarked);
    QCOMPARE(group, QString(" Standardization of Variables "));
    QCOMPARE(first, QString("3"));
    QCOMPARE(last, QString("30"));
    QCOMPARE(shownAfterLongEdit, QString("1234"));
    QCOMPARE(shownAfterLetters, QString("9"));
    QVERIFY(model.finished());
    QVERIFY(!model.cancelled());
    model.storeInto(memory);
    QCOMPARE(memory.SCALEBTN, int(kCenterOnly));
    QCOMPARE(memory.N1TEXT, std::string("1234"));
    QCOMPARE(memory.N2TEXT, std::string("9"));
  }

  // The dialog once ignored Esc and its close box: no way out but OK.
  void scalingCancelEscAndTheCloseBoxCancel_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("Esc") << "esc";
    QTest::newRow("close box") << "close";
  }

  void scalingCancelEscAndTheCloseBoxCancel() {
    QFETCH(QString, how);
    ScalingDialogModel model(DialogMemory{});
    ScalingView view(model, nullptr);
    ModalScript script;
    script.then("scalingDialog", [&](QWidget* w) {
      clickRadio(w, "centerOnlyButton");
      leaveDialog(w, how);
    });
    view.runModal();
    QVERIFY(!script.expired());
    QVERIFY(!view.isVisible());
    QVERIFY(model.cancelled());
  }

  void pathDialogKeepsFourCharactersAndLeavesOnlyByOk() {
    DialogMemory memory;
    PathDialogModel model(memory);
    PathView view(model, nullptr);
    ModalScript script;
    bool qShapeFocused = false, fourChecked = false, openAfterEscAndClose = false;
    QString qAtOpen, qShown;
    QStringList shapeLabels, stepLabels;
    script.then("pathDialog", [&](QWidget* w) {
      auto* q = w->findChild<QRadioButton*>("qShapeButton");
      qShapeFocused = q->isChecked() && q->hasFocus();
      fourChecked = w->findChild<QRadioButton*>("fourStepsButton")->isChecked();
      for (const char* n : {"qShapeButton", "garotteButton", "lassoButton", "crosrButton"}) {
        shapeLabels << w->findChild<QRadioButton*>(n)->text();
      }
      for (const char* n : {"oneStepButton", "fourStepsButton", "eightStepsButton"}) {
        stepLabels << w->findChild<QRadioButton*>(n)->text();
      }
      auto* field = w->findChild<QLineEdit*>("qField");
      qAtOpen = field->text();
      field->selectAll();
      QTest::keyClicks(field, "-4.75");
      qShown = field->text();
      clickRadio(w, "lassoButton");
      clickRadio(w, "eightStepsButton");
      pressEscape(w);
      w->close();
      openAfterEscAndClose = w->isVisible();
      w->findChild<QPushButton*>("okButton")->click();
    });
    view.runModal();
    QVERIFY(!script.expired());
    QVERIFY(qShapeFocused);
    QVERIFY(fourChecked);
    QCOMPARE(qAtOpen, QString("0.0"));
    QCOMPARE(qShown, QString("-4.7"));
    QCOMPARE(shapeLabels, (QStringList{"Q-shape", "Garotte", "Lasso", "CROSR"}));
    QCOMPARE(stepLabels, (QStringList{"One", "Four", "Eight"}));
    QVERIFY(openAfterEscAndClose);
    QCOMPARE(memory.SHAPEBTN, PathShape::kLasso);
    QCOMPARE(memory.STEPSBTN, int(kStepsEight));
    QCOMPARE(memory.QTEXT, std::string("-4.7"));
  }

  void rolesShowTheListsAndForwardTheArrows() {
    AnalysisState s;
    setNames(s, {"D", "C", "B", "A"});
    RoleDialogModel model(s);
    RoleView view(model, nullptr);
    ModalScript script;
    QStringList responseAtOpen, predictorsAtOpen, afterRight, leftOutAfterRight, afterSwap;
    QString responseAfterSwap;
    int leftOutSelAfterClick = -2;
    script.then("roleDialog", [&](QWidget* w) {
      auto* response = w->findChild<QListWidget*>("responseList");
      auto* predictors = w->findChild<QListWidget*>("predictorList");
      auto* leftOut = w->findChild<QListWidget*>("leftOutList");
      responseAtOpen = items(response);
      predictorsAtOpen = items(predictors);
      // Select C (row 1) and move it to the left-out list.
      clickRow(predictors, 1);
      w->findChild<QPushButton*>("rightButton")->click();
      afterRight = items(predictors);
      leftOutAfterRight = items(leftOut);
      // With 2 predictors left, RIGHT => does nothing.
      w->findChild<QPushButton*>("rightButton")->click();
      // Back through the left-out list.
      clickRow(leftOut, 0);
      leftOutSelAfterClick = leftOut->currentRow();
      w->findChild<QPushButton*>("leftButton")->click();
      // Make the predictor list current again on B and swap it with the
      // response.
      clickRow(predictors, 0);
      w->findChild<QPushButton*>("leftButton")->click();
      afterSwap = items(predictors);
      responseAfterSwap = response->item(0)->text();
      w->findChild<QPushButton*>("okButton")->click();
    });
    view.runModal();
    QVERIFY(!script.expired());
    QCOMPARE(responseAtOpen, QStringList{"A"});
    QCOMPARE(predictorsAtOpen, (QStringList{"B", "C", "D"}));
    QCOMPARE(afterRight, (QStringList{"B", "D"}));
    QCOMPARE(leftOutAfterRight, QStringList{"C"});
    QCOMPARE(leftOutSelAfterClick, 0);
    QCOMPARE(responseAfterSwap, QString("B"));
    QCOMPARE(afterSwap, (QStringList{"A", "C", "D"}));
    QCOMPARE(model.exit(), RoleDialogModel::Exit::kApplied);
    model.applyTo(s);
    QCOMPARE(QString::fromStdString(s.YNAME), QString("B"));
    QCOMPARE(s.P, 3);
  }

  // What is painted as selected must be what the arrows move: a click in
  // the other list once highlighted the clicked row while the model took the
  // first, so that "<= LEFT" swapped the wrong predictor into the response.
  void theListsPaintExactlyTheModelsSelection() {
    AnalysisState s;
    setNames(s, {"E", "D", "C", "B", "A"});
    RoleDialogModel model(s);
    RoleView view(model, nullptr);
    ModalScript script;
    QStringList leftOutPainted, predictorsPainted, responsePainted, afterClickBack;
    QString responseAfterLeft;
    script.then("roleDialog", [&](QWidget* w) {
      auto* response = w->findChild<QListWidget*>("responseList");
      auto* predictors = w->findChild<QListWidget*>("predictorList");
      auto* leftOut = w->findChild<QListWidget*>("leftOutList");
      auto* right = w->findChild<QPushButton*>("rightButton");
      clickRow(predictors, 3);
      right->click();  // E out
      clickRow(predictors, 0);
      right->click();        // B out: left out B, E; predictors C, D
      clickRow(leftOut, 1);  // E, in the list that is not current
      for (auto* item : leftOut->selectedItems())
        leftOutPainted << item->text();
      for (auto* item : predictors->selectedItems())
        predictorsPainted << item->text();
      clickRow(response, 0);  // the response list takes no highlight
      for (auto* item : response->selectedItems())
        responsePainted << item->text();
      clickRow(predictors, 1);  // D
      for (auto* item : predictors->selectedItems())
        afterClickBack << item->text();
      w->findChild<QPushButton*>("leftButton")->click();
      responseAfterLeft = response->item(0)->text();
      w->findChild<QPushButton*>("okButton")->click();
    });
    view.runModal();
    QVERIFY(!script.expired());
    QCOMPARE(leftOutPainted, QStringList{"E"});
    QVERIFY(predictorsPainted.isEmpty());
    QVERIFY(responsePainted.isEmpty());
    QCOMPARE(afterClickBack, QStringList{"D"});
    QCOMPARE(responseAfterLeft, QString("D"));
  }

  // Esc once applied the lists; now Cancel, Esc and the close box all cancel
  // the run, and the hint speaks of the buttons that do the moving.
  void rolesCancelEscAndTheCloseBoxCancel_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("Esc") << "esc";
    QTest::newRow("close box") << "close";
  }

  void rolesCancelEscAndTheCloseBoxCancel() {
    QFETCH(QString, how);
    AnalysisState s;
    setNames(s, {"D", "C", "B", "A"});
    RoleDialogModel model(s);
    RoleView view(model, nullptr);
    ModalScript script;
    QStringList texts;
    script.then("roleDialog", [&](QWidget* w) {
      for (auto* l : w->findChildren<QLabel*>())
        texts << l->text();
      leaveDialog(w, how);
    });
    view.runModal();
    QVERIFY(!script.expired());
    QVERIFY(!view.isVisible());
    QCOMPARE(model.exit(), RoleDialogModel::Exit::kCancelled);
    QVERIFY(texts.contains("Highlight a variable name, and press an arrow button."));
  }
};

QTEST_MAIN(TestDialogViews)
#include "tst_dialog_views.moc"
