// A whole analysis driven through the real views: the open-file dialog, the
// worker's dialogs shown by the GUI thread, the menu bar that follows, and a
// second run over existing output files.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "app/application.hpp"
#include "app/batch_runner.hpp"
#include "app/main_frame.hpp"
#include "app/precision_setting.hpp"
#include "engine/analysis_state.hpp"
#include "graph/command_ids.hpp"
#include "isolated_settings.hpp"
#include "modal_script.hpp"
#include "model/bootstrap.hpp"
#include "report/report.hpp"

using namespace tolvane;
using tolvane::test::acceptPath;
using tolvane::test::items;
using tolvane::test::ModalScript;

namespace {

// Report rows, oldest first.
QStringList reportRows() {
  QStringList rows;
  const int n = reportCounters().linesShown;
  for (int r = 0; r < n; ++r)
    rows << QString::fromStdString(reportRow(r));
  return rows;
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void chooseFile(QWidget* w, const QString& path) {
  acceptPath(qobject_cast<QFileDialog*>(w), path, 100);
}

void clickOk(QWidget* w) {
  w->findChild<QPushButton*>("okButton")->click();
}

// A small data file, one line each.
bool writeLines(const QString& path, const QStringList& lines) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  for (const QString& line : lines)
    f.write(line.toUtf8() + "\n");
  return true;
}

}  // namespace

class TestBatchRun : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString hald_;

 private slots:
  void initTestCase() {
    prepareApplication();
    test::isolateSettings();
    QVERIFY(dir_.isValid());
    hald_ = dir_.filePath("hald.ayq");
    QVERIFY(QFile::copy(QStringLiteral(TOLVANE_SOURCE_DIR "/examples/hald.ayq"), hald_));
  }

  void init() { resetReportStore(); }

  void haldThroughEveryDialog() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    QSignalSpy finished(&frame, &MainFrame::batchInputFinished);

    QStringList filters;
    QString selectedFilter, fileName, response;
    QStringList predictors;
    QString first, last;
    bool rescaleMarked = false;
    ModalScript script(20000);
    script
        .then("openBatchDialog",
              [&](QWidget* w) {
                auto* dialog = qobject_cast<QFileDialog*>(w);
                filters = dialog->nameFilters();
                selectedFilter = dialog->selectedNameFilter();
                chooseFile(w, hald_);
              })
        .then("fileNameDialog",
              [&](QWidget* w) {
                fileName = w->findChild<QLineEdit*>("fileNameField")->text();
                clickOk(w);
              })
        .then("roleDialog",
              [&](QWidget* w) {
                response = items(w->findChild<QListWidget*>("responseList")).join(",");
                predictors = items(w->findChild<QListWidget*>("predictorList"));
                clickOk(w);
              })
        .then("scalingDialog", [&](QWidget* w) {
          rescaleMarked = w->findChild<QRadioButton*>("centerRescaleButton")->isChecked();
          first = w->findChild<QLineEdit*>("firstObservationField")->text();
          last = w->findChild<QLineEdit*>("lastObservationField")->text();
          clickOk(w);
        });
    frame.command(cmd::kReadBatchInput);
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 1, 20000);
    QVERIFY2(script.done(), qPrintable(script.strangers().join(",")));
    QVERIFY(!script.expired());

    // "All Files" lists files without an extension too ("*.*" hid them).
    QCOMPARE(filters, (QStringList{"Batch Input Files(*.AYQ)", "All Files (*)"}));
    QCOMPARE(selectedFilter, QString("Batch Input Files(*.AYQ)"));
    QCOMPARE(fileName, QString("hald"));
    QCOMPARE(response, QString("y"));
    QCOMPARE(predictors, (QStringList{"x1", "x2", "x3", "x4"}));
    QVERIFY(rescaleMarked);
    QCOMPARE(first, QString("1"));
    QCOMPARE(last, QString("13"));

    // The analysis is done and the path bar is up.
    QCOMPARE(state.LSPEND, 0);
    QCOMPARE(state.P, 4);
    QCOMPARE(state.RANK, 4);
    QTRY_COMPARE(frame.stage(), MenuStage::Path);
    const QStringList rows = reportRows();
    QVERIFY(rows.contains("    Number of Variables =   5."));
    QVERIFY(rows.contains("    Number of Observations =  13."));
    QVERIFY(rows.contains("    The Tolvane Batch Input file is hald.AYQ"));
    // The output files sit beside the input file.
    QVERIFY(QFile::exists(dir_.filePath("hald.syq")));
    QVERIFY(QFile::exists(dir_.filePath("hald.myq")));
    const QString summary = QString::fromLatin1(readAll(dir_.filePath("hald.syq")));
    QVERIFY(summary.contains("The Tolvane Batch Input file is hald.AYQ"));
    // Numbers carry a decimal point (the "C" numeric locale).
    QVERIFY(summary.contains(QRegularExpression("Response  Var. 5 Mean = +95\\.42")));
    // The report window followed the run to its last lines.
    QVERIFY(frame.reportWindow() != nullptr);

    // Select Shape on the GUI thread: Q = 1, one step per unit of MCAL.
    ModalScript path;
    path.then("pathDialog", [](QWidget* w) {
      auto* q = w->findChild<QLineEdit*>("qField");
      q->selectAll();
      QTest::keyClicks(q, "1");
      QTest::mouseClick(w->findChild<QRadioButton*>("oneStepButton"), Qt::LeftButton, {},
                        QPoint(6, 6));
      clickOk(w);
    });
    frame.command(cmd::kSelectShape);
    QVERIFY(path.done());
    QCOMPARE(state.SHAPECODE, PathShape::kQShape);
    QCOMPARE(state.QSHAPE, 1.0f);
    QCOMPARE(state.MSTEPS, 1);
    QCOMPARE(state.NSTEPS, state.RANK + 1);
    QCOMPARE(state.CYQ.rows, state.NSTEPS);
    QTRY_COMPARE(frame.stage(), MenuStage::Graph);
    QVERIFY(reportRows().contains("    Number of Steps Per Unit Increase in MCAL = 1"));
    // A trace window over the new coefficients.
    const int children = frame.mdiArea()->subWindowList().size();
    frame.command(cmd::kCoefficientTrace);
    QCOMPARE(frame.mdiArea()->subWindowList().size(), children + 1);
    QCOMPARE(frame.mdiArea()->activeSubWindow()->windowTitle(),
             QString("Shrinkage Coefficients - Q-shape Q=1.0, 1 step/MCAL"));

    // A second run finds the files: append, then both hold two stamps.
    QSignalSpy again(&frame, &MainFrame::batchInputFinished);
    ModalScript second(20000);
    second.then("openBatchDialog", [&](QWidget* w) { chooseFile(w, hald_); })
        .then("fileNameDialog", clickOk)
        .then("filesExistDialog",
              [&](QWidget* w) {
                QTest::mouseClick(w->findChild<QRadioButton*>("appendButton"), Qt::LeftButton, {},
                                  QPoint(6, 6));
                clickOk(w);
              })
        .then("roleDialog", clickOk)
        .then("scalingDialog", clickOk);
    frame.command(cmd::kReadBatchInput);
    QTRY_VERIFY_WITH_TIMEOUT(again.count() == 1, 20000);
    QVERIFY2(second.done(), qPrintable(second.strangers().join(",")));
    QCOMPARE(readAll(dir_.filePath("hald.syq")).count("Date/Time Stamp"), 2);
    QCOMPARE(state.LSPEND, 0);
  }

  // Once past the file name there was no way out: the scaling dialog
  // ignored Esc and its close box, and Esc in the role dialog applied.
  // Cancelling now leaves the previous analysis, its menus and windows.
  void cancellingARoleOrScalingDialogKeepsThePreviousAnalysis_data() {
    QTest::addColumn<QString>("dialog");
    QTest::newRow("role dialog") << "roleDialog";
    QTest::newRow("scaling dialog") << "scalingDialog";
  }

  void cancellingARoleOrScalingDialogKeepsThePreviousAnalysis() {
    QFETCH(QString, dialog);
    QTemporaryDir dir;
    const QString input = dir.filePath("keep.ayq");
    QVERIFY(QFile::copy(hald_, input));
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    QSignalSpy finished(&frame, &MainFrame::batchInputFinished);
    ModalScript first(20000);
    first.then("openBatchDialog", [&](QWidget* w) { chooseFile(w, input); })
        .then("fileNameDialog", clickOk)
        .then("roleDialog", clickOk)
        .then("scalingDialog", clickOk);
    frame.command(cmd::kReadBatchInput);
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 1, 20000);
    QTRY_COMPARE(frame.stage(), MenuStage::Path);
    const auto rsq = state.RSQ;
    const int children = frame.mdiArea()->subWindowList().size();
    // A precision chosen for the next file does not reach the kept analysis.
    QVERIFY(state.precision == precisionSetting());
    const Precision before = state.precision;
    savePrecisionSetting(before == Precision::kDouble ? Precision::kSingle : Precision::kDouble);

    ModalScript second(20000);
    second.then("openBatchDialog", [&](QWidget* w) { chooseFile(w, input); })
        .then("fileNameDialog",
              [](QWidget* w) {
                auto* field = w->findChild<QLineEdit*>("fileNameField");
                field->selectAll();
                QTest::keyClicks(field, "other");
                clickOk(w);
              })
        .then("roleDialog", [&](QWidget* w) {
          if (dialog == "roleDialog") {
            QTest::keyClick(w, Qt::Key_Escape);
          } else {
            clickOk(w);
          }
        });
    if (dialog == "scalingDialog") {
      second.then("scalingDialog", [](QWidget* w) { w->close(); });  // the close box
    }
    frame.command(cmd::kReadBatchInput);
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 2, 20000);
    QVERIFY2(second.done(), qPrintable(second.strangers().join(",")));
    QCOMPARE(state.LSPEND, 0);
    QCOMPARE(state.RSQ, rsq);
    QCOMPARE(QString::fromStdString(state.INNAME), QString("keep.ayq"));
    QVERIFY(state.precision == before);
    savePrecisionSetting(before);
    QCOMPARE(frame.stage(), MenuStage::Path);
    QCOMPARE(frame.mdiArea()->subWindowList().size(), children);
    QVERIFY(reportRows().contains("    Batch input cancelled; the previous analysis is kept."));
  }

  // A CSV column of text stopped the reading with advice about the batch
  // tool's --ignore, which the desktop program does not have. Now the frame
  // offers to leave the column out and read the file again; Cancel stops.
  void aTextColumnIsLeftOutOnRequest() {
    QTemporaryDir dir;
    const QString input = dir.filePath("labels.csv");
    QVERIFY(writeLines(
        input, {"x1,label,x2,y", "1,a,2,3.1", "2,b,1,2.9", "3,c,5,8.2", "4,d,3,6.8", "5,e,8,13.1",
                "6,f,2,7.9", "7,g,6,13.2", "8,h,1,8.8", "9,i,4,13.1", "10,j,7,17.2"}));
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    QSignalSpy finished(&frame, &MainFrame::batchInputFinished);
    QString question;
    QStringList predictors;
    ModalScript script(20000);
    script.then("fileNameDialog", clickOk)
        .then("leaveOutColumnQuestion",
              [&](QWidget* w) {
                question = qobject_cast<QMessageBox*>(w)->text();
                w->findChild<QPushButton*>("leaveOutButton")->click();
              })
        .then("fileNameDialog", clickOk)
        .then("roleDialog",
              [&](QWidget* w) {
                predictors = items(w->findChild<QListWidget*>("predictorList"));
                clickOk(w);
              })
        .then("scalingDialog", clickOk);
    QVERIFY(frame.openChosenFile(input));
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 2, 20000);
    QVERIFY2(script.done(), qPrintable(script.strangers().join(",") + reportRows().join("\n")));
    QCOMPARE(question, QString("Column \"label\" of labels.csv holds text, not numbers."));
    QVERIFY(
        reportRows().contains("    labels.csv line 2, column 2 (label): \"a\" is not a number."));
    QCOMPARE(predictors.size(), 2);
    QCOMPARE(state.P, 2);
    QCOMPARE(state.LSPEND, 0);
    QVERIFY(QFile::exists(dir.filePath("labels.syq")));

    // Cancel: the run stays stopped, nothing more is asked.
    QFile::remove(dir.filePath("labels.syq"));
    QFile::remove(dir.filePath("labels.myq"));
    ModalScript cancel(20000);
    cancel.then("fileNameDialog", clickOk).then("leaveOutColumnQuestion", [](QWidget* w) {
      qobject_cast<QMessageBox*>(w)->button(QMessageBox::Cancel)->click();
    });
    QVERIFY(frame.openChosenFile(input));
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 3, 20000);
    QTRY_VERIFY(cancel.done());
    QTest::qWait(200);
    QCOMPARE(finished.count(), 3);
    QVERIFY(!QFile::exists(dir.filePath("labels.syq")));
  }

  // A CSV of more rows than a batch file holds raw stays raw data in the
  // desktop program too: the observation range and resampling stay open.
  void aLongCsvStaysRawData() {
    QTemporaryDir dir;
    const QString input = dir.filePath("long.csv");
    QStringList lines{"x1,x2,y"};
    for (int i = 0; i < 442; ++i) {
      const double a = std::sin(i), b = std::cos(3.0 * i);
      lines << QString("%1,%2,%3")
                   .arg(a, 0, 'g', 17)
                   .arg(b, 0, 'g', 17)
                   .arg(2 * a - b + 0.1 * std::sin(7.0 * i), 0, 'g', 17);
    }
    QVERIFY(writeLines(input, lines));
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    QSignalSpy finished(&frame, &MainFrame::batchInputFinished);
    ModalScript script(20000);
    script.then("fileNameDialog", clickOk)
        .then("roleDialog", clickOk)
        .then("scalingDialog", clickOk);
    QVERIFY(frame.openChosenFile(input));
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 1, 20000);
    QVERIFY2(script.done(), qPrintable(script.strangers().join(",") + reportRows().join("\n")));
    QCOMPARE(state.XPXFORM, 0);
    QCOMPARE(state.N, 442);
    QCOMPARE(state.LSPEND, 0);
    QVERIFY(!reportRows().join("\n").contains("cross-products"));
    QVERIFY(!QString::fromStdString(resamplingStatus(state).message).contains("cross-products"));
  }

  // A person reads each question before answering it (a second or more, not
  // the script's milliseconds): no progress window may come up over a
  // dialog that waits, and the run then reads the file and completes.
  void aPersonAnswersAtTheirOwnPaceWithNoProgressOverTheQuestions() {
    QTemporaryDir dir;
    const QString input = dir.filePath("paced.csv");
    QVERIFY(writeLines(input, {"x1,x2,y", "1,2,3.1", "2,1,2.9", "3,5,8.2", "4,3,6.8", "5,8,13.1",
                               "6,2,7.9", "7,6,13.2", "8,1,8.8", "9,4,13.1", "10,7,17.2"}));
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    QSignalSpy finished(&frame, &MainFrame::batchInputFinished);
    QStringList covered;
    const auto afterReading = [&](const char* name) {
      return [&covered, &frame, name](QWidget* w) {
        QTest::qWait(1500);
        const auto* progress = frame.findChild<QProgressDialog*>("readProgressDialog");
        if (progress != nullptr && progress->isVisible()) covered << name;
        if (QApplication::activeModalWidget() != w) covered << QString(name) + " (not active)";
        clickOk(w);
      };
    };
    ModalScript script(20000);
    script.then("fileNameDialog", afterReading("fileNameDialog"))
        .then("roleDialog", afterReading("roleDialog"))
        .then("scalingDialog", afterReading("scalingDialog"));
    QVERIFY(frame.openChosenFile(input));
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 1, 30000);
    QVERIFY2(script.done(), qPrintable(script.strangers().join(",")));
    QVERIFY2(covered.isEmpty(), qPrintable(covered.join(", ")));
    QCOMPARE(state.LSPEND, 0);
    QCOMPARE(state.P, 2);
  }

  void cancellingTheNameEndsTheRunWithNothingWritten() {
    QTemporaryDir dir;
    const QString input = dir.filePath("cancel.ayq");
    QVERIFY(QFile::copy(hald_, input));
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    QSignalSpy finished(&frame, &MainFrame::batchInputFinished);
    ModalScript script(20000);
    script.then("openBatchDialog", [&](QWidget* w) { chooseFile(w, input); })
        .then("fileNameDialog",
              [](QWidget* w) { w->findChild<QPushButton*>("cancelButton")->click(); });
    frame.command(cmd::kReadBatchInput);
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 1, 20000);
    QVERIFY(script.done());
    QVERIFY(!QFile::exists(dir.filePath("cancel.syq")));
    QCOMPARE(frame.stage(), MenuStage::Scroll);
    QCOMPARE(state.LSPEND, 1);
  }

  void theReportWindowMayCloseBetweenTheRunsDialogs() {
    QTemporaryDir dir;
    const QString input = dir.filePath("closing.ayq");
    QVERIFY(QFile::copy(hald_, input));
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    QSignalSpy finished(&frame, &MainFrame::batchInputFinished);
    QWidget* roleOwner = nullptr;
    QWidget* scalingOwner = nullptr;
    ModalScript script(20000);
    script.then("openBatchDialog", [&](QWidget* w) { chooseFile(w, input); })
        .then("fileNameDialog", clickOk)
        .then("roleDialog",
              [&](QWidget* w) {
                roleOwner = w->parentWidget();
                clickOk(w);
                frame.command(cmd::kClose);  // the report window is the active child
              })
        .then("scalingDialog", [&](QWidget* w) {
          scalingOwner = w->parentWidget();
          clickOk(w);
        });
    frame.command(cmd::kReadBatchInput);
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 1, 20000);
    QVERIFY(script.done());
    QVERIFY(roleOwner != nullptr);
    QVERIFY(roleOwner != &frame);  // the report window owned it
    QCOMPARE(scalingOwner, static_cast<QWidget*>(&frame));
    QTRY_VERIFY(frame.reportWindow() == nullptr);
    // The run went on to its analysis; its lines are in the store.
    QCOMPARE(state.LSPEND, 0);
    QTRY_COMPARE(frame.stage(), MenuStage::Path);
    QVERIFY(reportRows().contains("    Number of Variables =   5."));
    QVERIFY(QFile::exists(dir.filePath("closing.myq")));
  }

  void aCancelledOpenDialogStartsNothing() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    ModalScript script;
    script.then("openBatchDialog", [](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    frame.command(cmd::kReadBatchInput);
    QVERIFY(script.done());
    QVERIFY(!frame.runner().busy());
  }
};

QTEST_MAIN(TestBatchRun)
#include "tst_batch_run.moc"
