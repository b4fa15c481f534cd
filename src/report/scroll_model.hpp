// Scroll arithmetic of the report window, free of any toolkit.
//
// The window keeps a vertical position and maximum in display rows and a
// horizontal position and maximum in character widths. Every request (a
// scroll bar action, a key, REPORT_SHOW, a resize) goes through this class;
// the widget only moves pixels by what it returns and paints the rows it is
// told to.
#pragma once

#include <optional>

namespace tolvane {

enum class VScroll { LineUp, LineDown, PageUp, PageDown, ThumbTrack, Top, Bottom, ThumbPosition };
enum class HScroll { LineLeft, LineRight, PageLeft, PageRight, ThumbPosition, ThumbTrack };

// Keys the window answers; every other key is ignored.
enum class ScrollKey { PageUp, PageDown, End, Home, Left, Right, Up, Down };

// A key turned into the scroll request it sends to the window itself.
struct KeyRequest {
  bool vertical = true;
  VScroll v = VScroll::LineDown;
  HScroll h = HScroll::LineRight;
};

KeyRequest keyRequest(ScrollKey key);

// Rows [first, end) to paint for an invalid band of the client area.
struct RowRange {
  int first = 0;
  int end = 0;
};

// Width of the text in character widths; the line number ends here.
inline constexpr int kTextColumns = 90;
inline constexpr int kHPageColumns = 8;

class ScrollModel {
 public:
  // Metrics of the painting font: average character width and line height.
  void setMetrics(int cxChar, int cyChar);

  // Client size changed. Recomputes both maxima and clamps the positions.
  void resize(int cxClient, int cyClient, int linesShown);

  // REPORT_SHOW: the vertical maximum is recomputed and the position moves
  // to it, so that the newest line is in view: lines that fit are shown from
  // the top, more lines end one row above the bottom. Returns the rows the
  // contents move up (may be negative).
  int show(int linesShown);

  // A vertical request; `thumb` is the bar's position for ThumbTrack. Returns
  // the increment applied after clamping (0: nothing to do).
  int vscroll(VScroll request, int thumb = 0);
  // A horizontal request; `thumb` is the bar's position for ThumbPosition.
  int hscroll(HScroll request, int thumb = 0);

  // Rows touched by an invalid band from pixel `top` to pixel `bottom`.
  RowRange rowsToPaint(int top, int bottom, int linesShown) const;
  // Left edge of the text and top of display row r, in client pixels.
  int textX() const { return cxChar_ * (1 - hscrollPos_); }
  int rowY(int row) const { return cyChar_ * (row - vscrollPos_ + 1); }
  // Where the right-aligned line number ends.
  int numberRight() const { return textX() + kTextColumns * cxChar_; }

  int cxChar() const { return cxChar_; }
  int cyChar() const { return cyChar_; }
  int cxClient() const { return cxClient_; }
  int cyClient() const { return cyClient_; }
  int vscrollPos() const { return vscrollPos_; }
  int vscrollMax() const { return vscrollMax_; }
  int hscrollPos() const { return hscrollPos_; }
  int hscrollMax() const { return hscrollMax_; }
  // Whole rows in the client area: the page of page up and page down.
  int pageRows() const { return cyClient_ / cyChar_; }

 private:
  int vmaxFor(int linesShown) const;

  int cxChar_ = 8;
  int cyChar_ = 16;
  int textWidth_ = kTextColumns * 8;
  int cxClient_ = 0;
  int cyClient_ = 0;
  int vscrollPos_ = 0;
  int vscrollMax_ = 0;
  int hscrollPos_ = 0;
  int hscrollMax_ = 0;
};

}  // namespace tolvane
