// The report window over the line store: REPORT_SHOW positions, pages, keys
// and scroll bar actions in a real widget, lines from a worker thread, and
// what the painting puts where.
#include <QImage>
#include <QScrollBar>
#include <QtTest>
#include <thread>

#include "app/application.hpp"
#include "app/report_window.hpp"
#include "report/report.hpp"

using namespace tolvane;

namespace {

void appendLines(int count) {
  for (int i = 0; i < count; ++i)
    reportLinef("    line %d", i);
}

// Sizes the window so that its text area is rows x cyChar (+ extra) high.
void setRowsHigh(ReportWindow& w, int rows, int extra = 0) {
  const int cy = w.scrollModel().cyChar();
  const int chrome = w.height() - w.viewport()->height();
  w.resize(w.width(), rows * cy + extra + chrome);
  QCOMPARE(w.viewport()->height(), rows * cy + extra);
}

}  // namespace

class TestReportWindow : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { prepareApplication(); }
  void init() {
    resetReportStore();
    setReportObserver({});
  }
  void cleanup() { setReportObserver({}); }

  void usesABoldFixedPitchTenPointFont() {
    const QFont f = ReportWindow::reportFont();
    QVERIFY(f.bold());
    QCOMPARE(f.pointSize(), 10);
    QVERIFY(QFontInfo(f).fixedPitch());
  }

  void showPutsTheNewestLinesInView_data() {
    QTest::addColumn<int>("appended");
    QTest::addColumn<int>("rowsHigh");
    QTest::addColumn<int>("position");
    QTest::newRow("30 rows in 40: from the top") << 20 << 40 << 0;
    QTest::newRow("300 rows in 20") << 290 << 20 << 282;
    QTest::newRow("full ring in 20") << 900 << 20 << 482;
  }

  void showPutsTheNewestLinesInView() {
    QFETCH(int, appended);
    QFETCH(int, rowsHigh);
    QFETCH(int, position);
    ReportWindow w;
    w.resize(900, 400);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    setRowsHigh(w, rowsHigh);
    appendLines(appended);
    w.showNewest();
    QCOMPARE(w.scrollModel().vscrollPos(), position);
    QCOMPARE(w.verticalScrollBar()->value(), position);
    QCOMPARE(w.verticalScrollBar()->maximum(), position);
  }

  // An error after three lines once left the window white: the lines were
  // scrolled out of its top until the user pressed Home.
  void aShortReportIsVisibleAfterShow() {
    ReportWindow w;
    w.resize(900, 400);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    reportLinef("    line 3: expected 2 variable names, found 1.");
    w.showNewest();
    QCoreApplication::processEvents();
    const QImage shot = w.viewport()->grab().toImage();
    int ink = 0;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) {
        if (qGray(shot.pixel(x, y)) < 128) ++ink;
      }
    }
    QVERIFY2(ink > 100, "the report window is blank");
  }

  void pagesByTheWholeRowsOfTheWindow() {
    ReportWindow w;
    w.resize(900, 400);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    appendLines(290);
    setRowsHigh(w, 17, w.scrollModel().cyChar() / 2);  // 17.5 rows
    QTest::keyClick(&w, Qt::Key_PageDown);
    QCOMPARE(w.scrollModel().vscrollPos(), 17);
    QCOMPARE(w.verticalScrollBar()->value(), 17);
    w.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(w.scrollModel().vscrollPos(), 34);
    QTest::keyClick(&w, Qt::Key_PageUp);
    QCOMPARE(w.scrollModel().vscrollPos(), 17);
    // Lower than one row: a page is one row.
    w.setMinimumHeight(0);
    const int chrome = w.height() - w.viewport()->height();
    w.resize(w.width(), chrome + w.scrollModel().cyChar() - 2);
    if (w.viewport()->height() < w.scrollModel().cyChar()) {
      QTest::keyClick(&w, Qt::Key_PageDown);
      QCOMPARE(w.scrollModel().vscrollPos(), 18);
    }
  }

  void keysScrollAndOtherKeysDoNothing() {
    ReportWindow w;
    w.resize(400, 300);  // narrower than the text: room to scroll sideways
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    appendLines(100);
    w.showNewest();
    const int max = w.scrollModel().vscrollMax();
    QTest::keyClick(&w, Qt::Key_Home);
    QCOMPARE(w.scrollModel().vscrollPos(), 0);
    QTest::keyClick(&w, Qt::Key_Down);
    QTest::keyClick(&w, Qt::Key_Down);
    QCOMPARE(w.scrollModel().vscrollPos(), 2);
    QTest::keyClick(&w, Qt::Key_Up);
    QCOMPARE(w.scrollModel().vscrollPos(), 1);
    QTest::keyClick(&w, Qt::Key_End);
    QCOMPARE(w.scrollModel().vscrollPos(), max);
    QTest::keyClick(&w, Qt::Key_Right);
    QCOMPARE(w.scrollModel().hscrollPos(), 8);
    QCOMPARE(w.horizontalScrollBar()->value(), 8);
    QTest::keyClick(&w, Qt::Key_Left);
    QCOMPARE(w.scrollModel().hscrollPos(), 0);
    QTest::keyClick(&w, Qt::Key_A);
    QTest::keyClick(&w, Qt::Key_Space);
    QCOMPARE(w.scrollModel().vscrollPos(), max);
    QCOMPARE(w.scrollModel().hscrollPos(), 0);
  }

  void horizontalBarMovesTheTextWhenTheDragEnds() {
    ReportWindow w;
    w.resize(400, 300);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QScrollBar* h = w.horizontalScrollBar();
    QVERIFY(h->maximum() > 10);
    QCOMPARE(h->maximum(), w.scrollModel().hscrollMax());
    h->setSliderDown(true);
    h->setSliderPosition(10);  // dragging
    QCOMPARE(w.scrollModel().hscrollPos(), 0);
    h->setSliderDown(false);  // released
    QCOMPARE(w.scrollModel().hscrollPos(), 10);
    QCOMPARE(h->value(), 10);
  }

  void workerLinesReachTheWindowThroughTheObserver() {
    ReportWindow w;
    w.resize(900, 400);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    setRowsHigh(w, 20);
    QPointer<ReportWindow> target = &w;
    setReportObserver([target] {
      QMetaObject::invokeMethod(
          target, [target] { target->showNewest(); }, Qt::QueuedConnection);
    });
    std::thread worker([] {
      appendLines(290);
      REPORT_SHOW();
    });
    worker.join();
    QTRY_COMPARE(w.scrollModel().vscrollPos(), 282);
  }

  void paintsTextAndNumbersWhereTheyBelong() {
    ReportWindow w;
    w.resize(900, 400);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    reportLinef("MMMMMMMMMM");  // display row 10
    setRowsHigh(w, 20);
    const ScrollModel& m = w.scrollModel();
    QImage shot = w.viewport()->grab().toImage();
    auto inkIn = [&](QRect r) {
      int ink = 0;
      for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
          if (qGray(shot.pixel(x, y)) < 128) ++ink;
        }
      }
      return ink;
    };
    const int cx = m.cxChar(), cy = m.cyChar();
    // Row 10 sits one row lower than its index: row 0 is drawn at y = cyChar.
    QVERIFY(inkIn(QRect(m.textX(), m.rowY(10), 10 * cx, cy)) > 50);
    QCOMPARE(inkIn(QRect(m.textX() + 11 * cx, m.rowY(10), 70 * cx, cy)), 0);
    QCOMPARE(inkIn(QRect(0, 0, w.viewport()->width(), cy)), 0);  // the empty top row
    // "   10" ends 90 character widths right of the text's start.
    QVERIFY(inkIn(QRect(m.numberRight() - 2 * cx, m.rowY(10), 2 * cx, cy)) > 10);
    QCOMPARE(inkIn(QRect(m.numberRight() + 1, m.rowY(10), 3 * cx, cy)), 0);
    QCOMPARE(inkIn(QRect(m.numberRight() - 5 * cx, m.rowY(10), 3 * cx, cy)), 0);
  }
};

QTEST_MAIN(TestReportWindow)
#include "tst_report_window.moc"
