// Takes the screenshots of the desktop program: drives it the way a user
// would, through its menus, its keys and its dialogs, and saves each window
// as a PNG.
//
//   tolvane-screenshot <example .ayq> <output folder>
//
// Meant for a real (virtual) X display; scripts/screenshot starts it under
// Xvfb. The example is copied into a scratch folder first, so the output
// files of the runs land there and not beside the example. Every command
// goes through the menu bar (a click on the menu, a click on the entry) or
// through the frame's keys, never through the frame's own functions, so that
// the pictures show what those paths do.
#include <QApplication>
#include <QChartView>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "app/application.hpp"
#include "app/batch_runner.hpp"
#include "app/main_frame.hpp"
#include "app/report_window.hpp"
#include "engine/analysis_state.hpp"
#include "graph/graph_commands.hpp"
#include "graph/graph_window.hpp"
#include "graph/trace_chart.hpp"
#include "modal_script.hpp"

using namespace tolvane;
using tolvane::test::acceptPath;
using tolvane::test::ModalScript;

namespace {

QString outDir;
int saved = 0;
int failures = 0;

void fail(const char* what, const QString& why) {
  std::fprintf(stderr, "%s: %s\n", what, qPrintable(why));
  ++failures;
}

// The window with a plain caption bar above it: the virtual display has no
// window manager to draw one, and the captions are the program's own words.
QImage captioned(QWidget* w) {
  const QPixmap body = w->grab();
  if (w->windowTitle().isEmpty() || !w->isWindow()) return body.toImage();
  const int bar = 26;
  QImage image(body.width() + 2, body.height() + bar + 1, QImage::Format_RGB32);
  image.fill(QColor(0x2f, 0x5d, 0x8a));
  QPainter p(&image);
  p.drawPixmap(1, bar, body);
  QFont font = w->font();
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(8, 0, image.width() - 16, bar), Qt::AlignVCenter | Qt::AlignLeft,
             w->windowTitle());
  return image;
}

void save(QWidget* w, const QString& name) {
  QTest::qWait(300);  // let it lay out and paint
  const QString path = QDir(outDir).filePath(name + ".png");
  if (captioned(w).save(path)) {
    ++saved;
    std::printf("saved %s\n", qPrintable(path));
  } else {
    fail("save", path);
  }
}

void clickButton(QWidget* w, const char* name) {
  auto* button = w->findChild<QPushButton*>(name);
  if (button == nullptr) {
    fail("button", QString::fromLatin1(name));
    return;
  }
  QTest::mouseClick(button, Qt::LeftButton);
}

void clickOk(QWidget* w) {
  clickButton(w, "okButton");
}

void clickRadio(QWidget* w, const char* name) {
  auto* radio = w->findChild<QRadioButton*>(name);
  QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(6, radio->height() / 2));
}

void clickRow(QListWidget* list, int row) {
  const QRect r = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

// Waits until the script has run all its steps.
bool finish(ModalScript& script, const char* what) {
  for (int i = 0; i < 600 && !script.done(); ++i)
    QTest::qWait(50);
  if (!script.done() || script.expired()) {
    fail(what, QStringLiteral("the dialog \"%1\" did not come").arg(script.expiredStep()));
    return false;
  }
  return true;
}

void waitForRun(MainFrame& frame) {
  for (int i = 0; i < 100 && !frame.runner().busy(); ++i)
    QTest::qWait(10);
  for (int i = 0; i < 1200 && frame.runner().busy(); ++i)
    QTest::qWait(50);
  QTest::qWait(300);
}

// A key of the frame's accelerator table, pressed over the frame.
void pressKey(MainFrame& frame, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  // Keys reach the active window only; a dialog that just closed may still
  // hold the activation.
  frame.activateWindow();
  if (!QTest::qWaitForWindowActive(&frame, 2000)) fail("keys", QStringLiteral("frame not active"));
  QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : &frame;
  QTest::keyClick(target, key, modifiers);
}

// Opens top-level menu `menuLabel` with a click on the menu bar, then clicks
// its entry `entryLabel` (labels without the key text after the tab). With
// `keepOpen` the menu stays open for a picture and is closed with Esc.
bool chooseFromMenu(MainFrame& frame, const QString& menuLabel, const QString& entryLabel,
                    const QString& picture = {}) {
  QMenuBar* bar = frame.menuBar();
  QAction* top = nullptr;
  for (QAction* a : bar->actions()) {
    if (a->text() == menuLabel && a->menu() != nullptr) top = a;
  }
  if (top == nullptr) {
    fail("menu", menuLabel + " is not on the menu bar");
    return false;
  }
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(top).center());
  QMenu* menu = top->menu();
  for (int i = 0; i < 100 && !menu->isVisible(); ++i)
    QTest::qWait(10);
  QTest::qWait(150);
  if (!picture.isEmpty()) save(menu, picture);
  for (QAction* a : menu->actions()) {
    if (a->text().section(QLatin1Char('\t'), 0, 0) != entryLabel) continue;
    if (!a->isEnabled()) {
      fail("menu", entryLabel + " is greyed");
      QTest::keyClick(menu, Qt::Key_Escape);
      return false;
    }
    // Queued: the entry may open a modal dialog, which must not run inside
    // this call while the script that answers it waits for the call to end.
    const QPoint at = menu->actionGeometry(a).center();
    QTimer::singleShot(0, menu, [menu, at] { QTest::mouseClick(menu, Qt::LeftButton, {}, at); });
    QTest::qWait(50);
    return true;
  }
  fail("menu", entryLabel + " is not in " + menuLabel);
  QTest::keyClick(menu, Qt::Key_Escape);
  return false;
}

// A key that may open a modal dialog, pressed once the event loop runs.
void pressKeyLater(MainFrame& frame, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QTimer::singleShot(0, &frame, [&frame, key, modifiers] { pressKey(frame, key, modifiers); });
  QTest::qWait(50);
}

QMdiSubWindow* reportSubWindow(MainFrame& frame) {
  ReportWindow* report = frame.reportWindow();
  return report != nullptr ? qobject_cast<QMdiSubWindow*>(report->parentWidget()) : nullptr;
}

// --- The steps, in the order a new user meets them ------------------------

// The program as it starts, at its own size on the screen.
void showStart(MainFrame& frame) {
  save(&frame, "frame-start");
}

// Ctrl+O on a file that is not a batch input: the report says why.
void readBadFile(MainFrame& frame, const QString& badFile) {
  ModalScript run;
  run.then("openBatchDialog",
           [&](QWidget* w) { acceptPath(qobject_cast<QFileDialog*>(w), badFile, 100); })
      .then("fileNameDialog", clickOk);
  pressKeyLater(frame, Qt::Key_O, Qt::ControlModifier);
  if (!finish(run, "bad file")) return;
  waitForRun(frame);
  save(&frame, "frame-bad-file");
}

// The role dialog after a click in the list that is not current: exactly the
// clicked entry is highlighted.
void rolesAfterAClickInTheOtherList(QWidget* w) {
  auto* predictors = w->findChild<QListWidget*>("predictorList");
  auto* leftOut = w->findChild<QListWidget*>("leftOutList");
  clickRow(predictors, 0);
  clickButton(w, "rightButton");
  clickRow(predictors, 0);
  clickButton(w, "rightButton");  // two left out
  clickRow(leftOut, 1);           // the second of them, in the other list
  save(w, "dialog-roles-other-list");
  // Both back, so that the analysis is the usual one.
  clickButton(w, "leftButton");
  clickRow(leftOut, 0);
  clickButton(w, "leftButton");
  save(w, "dialog-roles");
  clickOk(w);
}

// File > Read Batch Input through every dialog.
void readExample(MainFrame& frame, const QString& example) {
  ModalScript run;
  run.then("openBatchDialog",
           [&](QWidget* w) {
             QTest::qWait(500);  // the dialog lists the folder in the background
             save(w, "dialog-open-file");
             acceptPath(qobject_cast<QFileDialog*>(w), example, 100);
           })
      .then("fileNameDialog",
            [](QWidget* w) {
              save(w, "dialog-file-name");
              clickOk(w);
            })
      .then("roleDialog", rolesAfterAClickInTheOtherList)
      .then("scalingDialog", [](QWidget* w) {
        save(w, "dialog-scaling");
        clickOk(w);
      });
  if (!chooseFromMenu(frame, "&File", "&Read Batch Input", "menu-file")) return;
  if (!finish(run, "batch input")) return;
  waitForRun(frame);
  save(&frame, "frame-report");
}

// Path > Select Shape at its defaults, then Visualize > Line Thickness.
void choosePath(MainFrame& frame) {
  ModalScript path;
  path.then("pathDialog", [](QWidget* w) {
    save(w, "dialog-path");
    clickOk(w);
  });
  if (!chooseFromMenu(frame, "&Path", "&Select Shape")) return;
  if (!finish(path, "select shape")) return;
  QTest::qWait(300);

  ModalScript thickness;
  thickness.then("lineThicknessDialog", [](QWidget* w) {
    clickRadio(w, "doubleWidthButton");
    save(w, "dialog-line-thickness");
    clickOk(w);
  });
  if (!chooseFromMenu(frame, "&Visualize", "Line &Thickness", "menu-visualize")) return;
  finish(thickness, "line thickness");
}

struct Trace {
  const char* entry;
  const char* picture;
};
const Trace kTraces[] = {{"&Coefficient TRACE", "graph-coefficients"},
                         {"&Relative Risk TRACE", "graph-relative-risks"},
                         {"&Excess Eigenvalue TRACE", "graph-excess-eigenvalues"},
                         {"&Inferior Direction TRACE", "graph-inferior-direction"},
                         {"&Shrinkage Factor TRACE", "graph-shrinkage-factors"},
                         {"&Visual Re-Regression", "graph-visual-re-regression"}};

// Each trace from the Visualize menu, in a window of its own, closed with
// Ctrl+W.
void eachTrace(MainFrame& frame) {
  for (const Trace& t : kTraces) {
    if (!chooseFromMenu(frame, "&Visualize", QString::fromLatin1(t.entry))) continue;
    QTest::qWait(200);
    QMdiSubWindow* sub = frame.mdiArea()->activeSubWindow();
    if (sub == nullptr || !isGraphWindow(sub)) {
      fail(t.picture, QStringLiteral("no graph window opened"));
      continue;
    }
    sub->showNormal();
    sub->setGeometry(0, 0, 760, 540);
    save(sub, QString::fromLatin1(t.picture));
    pressKey(frame, Qt::Key_W, Qt::ControlModifier);
  }
}

// The coefficient trace maximised, and a click on the third predictor's
// least-squares coefficient: the ring and the read-out line.
void clickReadoutOnAMaximisedChart(MainFrame& frame) {
  if (!chooseFromMenu(frame, "&Visualize", "&Coefficient TRACE")) return;
  QTest::qWait(200);
  QMdiSubWindow* sub = frame.mdiArea()->activeSubWindow();
  GraphWindow* window = graphWindowOf(sub);
  if (window == nullptr) {
    fail("click read-out", QStringLiteral("no graph window opened"));
    return;
  }
  sub->showMaximized();
  QTest::qWait(400);
  const QPointF at = window->chart().viewPosOf(0, 2);
  QTest::mouseClick(window->chart().view()->viewport(), Qt::LeftButton, {}, at.toPoint());
  save(&frame, "frame-click-readout");
  sub->showNormal();
  pressKey(frame, Qt::Key_W, Qt::ControlModifier);
}

// The five traces, the re-regression and the report: seven windows tiled
// with Shift+F4 in the frame at its default size.
void sevenTiledWindows(MainFrame& frame) {
  for (const Trace& t : kTraces)
    chooseFromMenu(frame, "&Visualize", QString::fromLatin1(t.entry));
  QTest::qWait(200);
  pressKey(frame, Qt::Key_F4, Qt::ShiftModifier);
  QTest::qWait(800);
  save(&frame, "frame-tiled");
  if (frame.mdiArea()->subWindowList().size() != 7) {
    fail("tiled", QStringLiteral("%1 windows").arg(frame.mdiArea()->subWindowList().size()));
  }
}

// A second run finds the output files; Overwrite, then Cancel in the role
// dialog: the previous analysis, its files and menus stay.
void cancelledSecondRun(MainFrame& frame, const QString& example) {
  ModalScript second;
  second
      .then("openBatchDialog",
            [&](QWidget* w) { acceptPath(qobject_cast<QFileDialog*>(w), example, 100); })
      .then("fileNameDialog", clickOk)
      .then("filesExistDialog",
            [](QWidget* w) {
              save(w, "dialog-files-exist");
              clickRadio(w, "overwriteButton");
              clickOk(w);
            })
      .then("roleDialog", [](QWidget* w) { clickButton(w, "cancelButton"); });
  pressKeyLater(frame, Qt::Key_O, Qt::ControlModifier);
  if (!finish(second, "cancelled run")) return;
  waitForRun(frame);
  if (QMdiSubWindow* report = reportSubWindow(frame)) frame.mdiArea()->setActiveSubWindow(report);
  QTest::qWait(300);
  save(&frame, "frame-cancelled-run");
}

// Ctrl+W on the report window, then Window > Report Window brings it back.
void reopenTheReport(MainFrame& frame) {
  // Only the report: the graph windows close first.
  for (QMdiSubWindow* sub : frame.mdiArea()->subWindowList()) {
    if (isGraphWindow(sub)) sub->close();
  }
  QTest::qWait(200);
  QMdiSubWindow* report = reportSubWindow(frame);
  if (report == nullptr) {
    fail("report", QStringLiteral("no report window"));
    return;
  }
  frame.mdiArea()->setActiveSubWindow(report);
  pressKey(frame, Qt::Key_W, Qt::ControlModifier);
  QTest::qWait(300);
  save(&frame, "frame-report-closed");
  chooseFromMenu(frame, "&Window", "&Report Window", "menu-window");
  QTest::qWait(300);
  save(&frame, "frame-report-reopened");
}

// File > Precision..., looked at and left as it was.
void precisionDialog(MainFrame& frame) {
  ModalScript precision;
  precision.then("precisionDialog", [](QWidget* w) {
    save(w, "dialog-precision");
    qobject_cast<QDialog*>(w)->reject();
  });
  if (chooseFromMenu(frame, "&File", "&Precision...", "menu-file")) finish(precision, "precision");
}

// Visualize > Display Inference Intervals: its settings, then the band chart.
void inferenceIntervals(MainFrame& frame) {
  ModalScript settings;
  settings.then("intervalsSettings", [](QWidget* w) {
    w->findChild<QSpinBox*>(QStringLiteral("resamples"))->setValue(200);
    save(w, "dialog-intervals");
    clickOk(w);
  });
  if (!chooseFromMenu(frame, "&Visualize", "&Display Inference Intervals")) return;
  if (!finish(settings, "inference intervals")) return;
  waitForRun(frame);
  frame.mdiArea()->tileSubWindows();
  QTest::qWait(300);
  save(&frame, "frame-intervals");
}

// About from the Help menu, and the help page with F1.
void aboutAndHelp(MainFrame& frame) {
  ModalScript about;
  about.then("aboutDialog", [](QWidget* w) {
    save(w, "dialog-about");
    clickOk(w);
  });
  if (chooseFromMenu(frame, "&Help", "&About Tolvane...")) finish(about, "about");

  pressKey(frame, Qt::Key_F1);
  QTest::qWait(500);
  QWidget* help = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == QLatin1String("helpWindow") && w->isVisible()) help = w;
  }
  if (help == nullptr) {
    fail("help", QStringLiteral("F1 opened no help window"));
    return;
  }
  save(help, "window-help");
  help->close();
}

// A CSV whose second column holds labels: the frame asks to leave it out,
// then reads the file again without it.
void csvWithATextColumn(MainFrame& frame, const QString& csv) {
  ModalScript run;
  run.then("fileNameDialog", clickOk)
      .then("leaveOutColumnQuestion",
            [](QWidget* w) {
              save(w, "dialog-leave-out-column");
              clickButton(w, "leaveOutButton");
            })
      .then("fileNameDialog", clickOk)
      .then("roleDialog", clickOk)
      .then("scalingDialog", clickOk);
  if (!frame.openChosenFile(csv)) {
    fail("csv", QStringLiteral("the CSV did not open"));
    return;
  }
  if (!finish(run, "csv with a text column")) return;
  waitForRun(frame);
  save(&frame, "frame-csv-without-text-column");
}

void scenario(MainFrame& frame, const QString& example, const QString& badFile,
              const QString& csv) {
  showStart(frame);
  readBadFile(frame, badFile);
  readExample(frame, example);
  choosePath(frame);
  eachTrace(frame);
  clickReadoutOnAMaximisedChart(frame);
  sevenTiledWindows(frame);
  precisionDialog(frame);
  inferenceIntervals(frame);
  cancelledSecondRun(frame, example);
  reopenTheReport(frame);
  aboutAndHelp(frame);
  csvWithATextColumn(frame, csv);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  prepareApplication();
  if (argc != 3) {
    std::fprintf(stderr, "usage: tolvane-screenshot <example .ayq> <output folder>\n");
    return 2;
  }
  outDir = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(outDir);
  QTemporaryDir scratch;
  const QString example = scratch.filePath(QFileInfo(QString::fromLocal8Bit(argv[1])).fileName());
  if (!scratch.isValid() || !QFile::copy(QString::fromLocal8Bit(argv[1]), example)) {
    std::fprintf(stderr, "cannot copy %s\n", argv[1]);
    return 2;
  }
  // Names on line 3 where five are promised: the reader stops there.
  const QString badFile = scratch.filePath(QStringLiteral("short.ayq"));
  QFile bad(badFile);
  if (!bad.open(QIODevice::WriteOnly) || bad.write("5\n13\nx1 x2\n") < 0) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(badFile));
    return 2;
  }
  bad.close();
  const QString csv = scratch.filePath(QStringLiteral("plants.csv"));
  QFile text(csv);
  if (!text.open(QIODevice::WriteOnly) ||
      text.write("height,site,light,yield\n1.2,north,3,4.1\n1.9,north,4,5.8\n2.2,south,2,5.1\n"
                 "2.8,south,6,8.9\n3.1,east,5,9.2\n3.5,east,7,10.9\n4.0,west,3,8.1\n"
                 "4.4,west,8,12.8\n") < 0) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(csv));
    return 2;
  }
  text.close();
  QDir::setCurrent(scratch.path());  // where the open-file dialog starts

  AnalysisState state;
  MainFrame frame(state);  // at its own default size
  frame.show();
  QTimer::singleShot(500, &frame, [&] {
    scenario(frame, example, badFile, csv);
    app.quit();
  });
  app.exec();
  std::printf("%d screenshots, %d failures\n", saved, failures);
  return failures == 0 ? 0 : 1;
}
