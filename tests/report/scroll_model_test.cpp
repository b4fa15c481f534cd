#include "report/scroll_model.hpp"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

// A 10 x 20 pixel character cell keeps the pixel arithmetic readable.
constexpr int kCx = 10;
constexpr int kCy = 20;

ScrollModel window(int rowsHigh, int linesShown, int cxClient = 1000) {
  ScrollModel m;
  m.setMetrics(kCx, kCy);
  m.resize(cxClient, rowsHigh * kCy, linesShown);
  return m;
}

TEST(ScrollModelShow, FewLinesAreShownFromTheTop) {
  // A floor of 25 once scrolled a short report (an error after three lines)
  // out of view and left the window white.
  for (int lines : {1, 3, 30, 38}) {
    ScrollModel m = window(40, lines);
    EXPECT_EQ(m.show(lines), 0) << lines;
    EXPECT_EQ(m.vscrollPos(), 0) << lines;
    EXPECT_EQ(m.vscrollMax(), 0) << lines;
    const RowRange painted = m.rowsToPaint(0, 40 * kCy, lines);
    EXPECT_EQ(painted.first, 0) << lines;
    EXPECT_EQ(painted.end, lines) << lines;
  }
  // One line more than fits scrolls by one.
  ScrollModel m = window(40, 39);
  EXPECT_EQ(m.show(39), 1);
}

TEST(ScrollModelShow, ManyLinesPutTheNewestInTheSecondToLastRow) {
  ScrollModel m = window(20, 300);
  m.show(300);
  EXPECT_EQ(m.vscrollPos(), 282);
  // Display row 299 (the newest) is drawn in row 18 of 20: one empty row below.
  EXPECT_EQ(m.rowY(299), 18 * kCy);
}

TEST(ScrollModelShow, ReturnsHowFarTheContentsMove) {
  ScrollModel m = window(20, 300);
  EXPECT_EQ(m.show(300), 282);
  EXPECT_EQ(m.show(305), 5);
  m.vscroll(VScroll::Top);
  EXPECT_EQ(m.show(305), 287);
}

TEST(ScrollModelVertical, PageDownMovesTheWholeRowsOfTheWindow) {
  ScrollModel m;
  m.setMetrics(kCx, kCy);
  m.resize(800, 17 * kCy + kCy / 2, 300);  // 17.5 rows high
  EXPECT_EQ(m.vscroll(VScroll::PageDown), 17);
  EXPECT_EQ(m.vscrollPos(), 17);
  EXPECT_EQ(m.vscroll(VScroll::PageUp), -17);
  EXPECT_EQ(m.vscrollPos(), 0);
}

TEST(ScrollModelVertical, AWindowLowerThanOneRowPagesByOne) {
  ScrollModel m;
  m.setMetrics(kCx, kCy);
  m.resize(800, kCy - 1, 300);
  EXPECT_EQ(m.vscroll(VScroll::PageDown), 1);
  EXPECT_EQ(m.vscroll(VScroll::PageUp), -1);
}

TEST(ScrollModelVertical, IncrementsAreClampedToTheRange) {
  ScrollModel m = window(20, 100);  // max = 100 + 2 - 20 = 82
  ASSERT_EQ(m.vscrollMax(), 82);
  EXPECT_EQ(m.vscroll(VScroll::LineUp), 0);
  EXPECT_EQ(m.vscroll(VScroll::Bottom), 82);
  EXPECT_EQ(m.vscroll(VScroll::LineDown), 0);
  EXPECT_EQ(m.vscroll(VScroll::PageDown), 0);
  EXPECT_EQ(m.vscroll(VScroll::ThumbTrack, 500), 0);
  EXPECT_EQ(m.vscroll(VScroll::ThumbTrack, 40), -42);
  EXPECT_EQ(m.vscroll(VScroll::ThumbPosition, 10), 0);  // the drag already moved it
  EXPECT_EQ(m.vscrollPos(), 40);
  EXPECT_EQ(m.vscroll(VScroll::Top), -40);
  EXPECT_EQ(m.vscroll(VScroll::ThumbTrack, -3), 0);
}

TEST(ScrollModelHorizontal, PagesByEightColumnsAndMovesOnlyWhenTheDragEnds) {
  // Text 90 columns = 900 px in a 400 px window: max = 500 / 10 + 2 = 52.
  ScrollModel m = window(20, 100, 400);
  ASSERT_EQ(m.hscrollMax(), 52);
  EXPECT_EQ(m.hscroll(HScroll::PageRight), 8);
  EXPECT_EQ(m.hscroll(HScroll::LineRight), 1);
  EXPECT_EQ(m.hscroll(HScroll::ThumbTrack, 30), 0);
  EXPECT_EQ(m.hscroll(HScroll::ThumbPosition, 30), 21);
  EXPECT_EQ(m.hscroll(HScroll::ThumbPosition, 99), 22);
  EXPECT_EQ(m.hscroll(HScroll::PageLeft), -8);
  EXPECT_EQ(m.hscroll(HScroll::LineLeft), -1);
  EXPECT_EQ(m.hscrollPos(), 43);
}

TEST(ScrollModelHorizontal, AWideWindowStillHasTwoColumnsOfPlay) {
  ScrollModel m = window(20, 100, 2000);
  EXPECT_EQ(m.hscrollMax(), 0);
  m = window(20, 100, 900);
  EXPECT_EQ(m.hscrollMax(), 2);
}

TEST(ScrollModelResize, ClampsBothPositionsToTheNewMaxima) {
  ScrollModel m = window(10, 300, 400);
  m.vscroll(VScroll::Bottom);
  m.hscroll(HScroll::ThumbPosition, 52);
  ASSERT_EQ(m.vscrollPos(), 292);
  m.resize(1000, 50 * kCy, 300);
  EXPECT_EQ(m.vscrollMax(), 252);
  EXPECT_EQ(m.vscrollPos(), 252);
  EXPECT_EQ(m.hscrollMax(), 0);
  EXPECT_EQ(m.hscrollPos(), 0);
}

TEST(ScrollModelPaint, PaintsOnlyTheRowsOfTheInvalidBand) {
  ScrollModel m = window(20, 300);
  m.show(300);  // position 282: row 282 is drawn at y = cyChar
  EXPECT_EQ(m.rowY(282), kCy);
  EXPECT_EQ(m.rowY(281), 0);
  RowRange all = m.rowsToPaint(0, 20 * kCy, 300);
  EXPECT_EQ(all.first, 281);
  EXPECT_EQ(all.end, 300);
  RowRange band = m.rowsToPaint(5 * kCy, 7 * kCy, 300);
  EXPECT_EQ(band.first, 286);
  EXPECT_EQ(band.end, 289);
  // Every row drawn inside the band, none far outside it.
  EXPECT_LE(m.rowY(band.first), 5 * kCy);
  EXPECT_GE(m.rowY(band.end - 1), 6 * kCy);
  RowRange top = window(20, 5).rowsToPaint(0, 20 * kCy, 5);
  EXPECT_EQ(top.first, 0);
  EXPECT_EQ(top.end, 5);
}

TEST(ScrollModelPaint, LineNumberEndsNinetyColumnsRightOfTheText) {
  ScrollModel m = window(20, 300, 400);
  for (int pos : {0, 7, 52}) {
    m.hscroll(HScroll::ThumbPosition, pos);
    EXPECT_EQ(m.numberRight() - m.textX(), 90 * kCx);
    EXPECT_EQ(m.textX(), kCx * (1 - pos));
  }
}

TEST(ScrollModelKeys, MapToTheirScrollRequests) {
  struct Row {
    ScrollKey key;
    bool vertical;
    VScroll v;
    HScroll h;
  };
  const Row rows[] = {
      {ScrollKey::PageUp, true, VScroll::PageUp, {}},
      {ScrollKey::PageDown, true, VScroll::PageDown, {}},
      {ScrollKey::End, true, VScroll::Bottom, {}},
      {ScrollKey::Home, true, VScroll::Top, {}},
      {ScrollKey::Left, false, {}, HScroll::PageLeft},
      {ScrollKey::Right, false, {}, HScroll::PageRight},
      {ScrollKey::Up, true, VScroll::LineUp, {}},
      {ScrollKey::Down, true, VScroll::LineDown, {}},
  };
  for (const Row& r : rows) {
    KeyRequest k = keyRequest(r.key);
    EXPECT_EQ(k.vertical, r.vertical);
    if (r.vertical) {
      EXPECT_EQ(k.v, r.v);
    } else {
      EXPECT_EQ(k.h, r.h);
    }
  }
}

TEST(ScrollModelMetrics, ZeroMetricsCannotDivideByZero) {
  ScrollModel m;
  m.setMetrics(0, 0);
  m.resize(0, 0, 10);
  EXPECT_EQ(m.vscroll(VScroll::PageDown), 1);
  EXPECT_EQ(m.vscrollMax(), 12);
}

}  // namespace
}  // namespace tolvane
