// Takes the screenshots of the desktop program: runs the Hald example
// through every dialog the way a user would and saves each window as a PNG.
//
//   tolvane-screenshot <example .ayq> <output folder>
//
// Meant for a real (virtual) X display; scripts/screenshot starts it under
// Xvfb. The example is copied into a scratch folder first, so the output
// files of the runs land there and not beside the example.
#include <QApplication>
#include <QChartView>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "app/application.hpp"
#include "app/batch_runner.hpp"
#include "app/command_ids.hpp"
#include "app/main_frame.hpp"
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
    ++failures;
    std::fprintf(stderr, "could not save %s\n", qPrintable(path));
  }
}

void clickOk(QWidget* w) {
  w->findChild<QPushButton*>("okButton")->click();
}

void clickRadio(QWidget* w, const char* name) {
  auto* radio = w->findChild<QRadioButton*>(name);
  QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(6, radio->height() / 2));
}

// Waits until the script has run all its steps.
bool finish(ModalScript& script, const char* what) {
  for (int i = 0; i < 600 && !script.done(); ++i)
    QTest::qWait(50);
  if (!script.done() || script.expired()) {
    std::fprintf(stderr, "%s: the dialog \"%s\" did not come\n", what,
                 qPrintable(script.expiredStep()));
    ++failures;
    return false;
  }
  return true;
}

void waitForRun(MainFrame& frame) {
  for (int i = 0; i < 600 && !frame.runner().busy(); ++i)
    QTest::qWait(10);
  for (int i = 0; i < 1200 && frame.runner().busy(); ++i)
    QTest::qWait(50);
}

void scenario(MainFrame& frame, const QString& example) {
  save(&frame, "frame-start");

  // First run: every dialog of a batch input.
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
      .then("roleDialog",
            [](QWidget* w) {
              save(w, "dialog-roles");
              clickOk(w);
            })
      .then("scalingDialog", [](QWidget* w) {
        save(w, "dialog-scaling");
        clickOk(w);
      });
  frame.command(cmd::kReadBatchInput);
  if (!finish(run, "batch input")) return;
  waitForRun(frame);
  QTest::qWait(300);
  save(&frame, "frame-report");

  // The path.
  ModalScript path;
  path.then("pathDialog", [](QWidget* w) {
    save(w, "dialog-path");
    clickOk(w);
  });
  frame.command(cmd::kSelectShape);
  if (!finish(path, "select shape")) return;
  QTest::qWait(300);

  // Line thickness, then two traces side by side with the report.
  ModalScript thickness;
  thickness.then("lineThicknessDialog", [](QWidget* w) {
    clickRadio(w, "doubleWidthButton");
    save(w, "dialog-line-thickness");
    clickOk(w);
  });
  frame.command(cmd::kLineThickness);
  finish(thickness, "line thickness");
  frame.command(cmd::kCoefficientTrace);
  frame.command(cmd::kShrinkageFactorTrace);
  frame.command(cmd::kTile);
  QTest::qWait(800);
  save(&frame, "frame-graphs");

  // The Visualize menu of the graph bar.
  for (QAction* a : frame.menuBar()->actions()) {
    if (a->text() == "&Visualize" && a->menu() != nullptr) {
      QMenu* menu = a->menu();
      menu->popup(frame.mapToGlobal(
          QPoint(frame.menuBar()->actionGeometry(a).left(), frame.menuBar()->height())));
      save(menu, "menu-visualize");
      menu->hide();
    }
  }

  // Each trace in a window of its own, then a click read-out in the report.
  struct Trace {
    int command;
    const char* name;
  };
  const Trace traces[] = {{cmd::kCoefficientTrace, "graph-coefficients"},
                          {cmd::kRelativeRiskTrace, "graph-relative-risks"},
                          {cmd::kExcessEigenvalueTrace, "graph-excess-eigenvalues"},
                          {cmd::kInferiorDirectionTrace, "graph-inferior-direction"},
                          {cmd::kShrinkageFactorTrace, "graph-shrinkage-factors"},
                          {cmd::kVisualReRegression, "graph-visual-re-regression"}};
  for (const Trace& t : traces) {
    frame.command(t.command);
    QMdiSubWindow* sub = frame.mdiArea()->activeSubWindow();
    if (sub == nullptr || !isGraphWindow(sub)) {
      std::fprintf(stderr, "%s: no graph window opened\n", t.name);
      ++failures;
      continue;
    }
    sub->showNormal();
    sub->setGeometry(0, 0, 760, 520);
    save(sub, t.name);
    if (t.command == cmd::kCoefficientTrace) {
      // Click the third predictor's least squares coefficient, as a user
      // would, and show the read-out beside the chart.
      QTest::qWait(200);
      auto* chartWindow = graphWindowOf(sub);
      const QPointF at = chartWindow->chart().viewPosOf(0, 2);
      QTest::mouseClick(chartWindow->chart().view()->viewport(), Qt::LeftButton, {}, at.toPoint());
      frame.command(cmd::kTile);
      QTest::qWait(500);
      save(&frame, "frame-click-readout");
    }
    frame.command(cmd::kClose);
  }

  // A second run finds the output files.
  ModalScript second;
  second
      .then("openBatchDialog",
            [&](QWidget* w) { acceptPath(qobject_cast<QFileDialog*>(w), example, 100); })
      .then("fileNameDialog", clickOk)
      .then("filesExistDialog",
            [](QWidget* w) {
              save(w, "dialog-files-exist");
              clickOk(w);
            })
      .then("roleDialog", clickOk)
      .then("scalingDialog", clickOk);
  frame.command(cmd::kReadBatchInput);
  finish(second, "second batch input");
  waitForRun(frame);

  ModalScript about;
  about.then("aboutDialog", [](QWidget* w) {
    save(w, "dialog-about");
    clickOk(w);
  });
  frame.command(cmd::kAbout);
  finish(about, "about");

  ModalScript help;
  help.then("helpMessage", [](QWidget* w) {
    save(w, "dialog-help");
    qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
  });
  frame.command(cmd::kHelp);
  finish(help, "help");
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
  QDir::setCurrent(scratch.path());  // where the open-file dialog starts

  AnalysisState state;
  MainFrame frame(state);
  frame.resize(1100, 760);
  frame.move(0, 0);
  frame.show();
  QTimer::singleShot(500, &frame, [&] {
    scenario(frame, example);
    app.quit();
  });
  app.exec();
  std::printf("%d screenshots, %d failures\n", saved, failures);
  return failures == 0 ? 0 : 1;
}
