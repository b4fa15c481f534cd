#include "report/scroll_model.hpp"

#include <algorithm>

namespace tolvane {

KeyRequest keyRequest(ScrollKey key) {
  switch (key) {
    case ScrollKey::PageUp:
      return {true, VScroll::PageUp, {}};
    case ScrollKey::PageDown:
      return {true, VScroll::PageDown, {}};
    case ScrollKey::End:
      return {true, VScroll::Bottom, {}};
    case ScrollKey::Home:
      return {true, VScroll::Top, {}};
    case ScrollKey::Left:
      return {false, {}, HScroll::PageLeft};
    case ScrollKey::Right:
      return {false, {}, HScroll::PageRight};
    case ScrollKey::Up:
      return {true, VScroll::LineUp, {}};
    case ScrollKey::Down:
      return {true, VScroll::LineDown, {}};
  }
  return {};
}

void ScrollModel::setMetrics(int cxChar, int cyChar) {
  // A zero metric would divide by zero in every page computation.
  cxChar_ = std::max(1, cxChar);
  cyChar_ = std::max(1, cyChar);
  textWidth_ = kTextColumns * cxChar_;
}

int ScrollModel::vmaxFor(int linesShown) const {
  // No floor: a floor above zero scrolls a short report out of the top of
  // the window and leaves it white.
  return std::max(0, linesShown + 2 - cyClient_ / cyChar_);
}

void ScrollModel::resize(int cxClient, int cyClient, int linesShown) {
  cxClient_ = cxClient;
  cyClient_ = cyClient;
  vscrollMax_ = vmaxFor(linesShown);
  vscrollPos_ = std::min(vscrollPos_, vscrollMax_);
  hscrollMax_ = std::max(0, (textWidth_ - cxClient_) / cxChar_ + 2);
  hscrollPos_ = std::min(hscrollPos_, hscrollMax_);
}

int ScrollModel::show(int linesShown) {
  vscrollMax_ = vmaxFor(linesShown);
  const int d = vscrollMax_ - vscrollPos_;
  vscrollPos_ = vscrollMax_;
  return d;
}

int ScrollModel::vscroll(VScroll request, int thumb) {
  int inc = 0;
  switch (request) {
    case VScroll::LineUp:
      inc = -1;
      break;
    case VScroll::LineDown:
      inc = 1;
      break;
    case VScroll::PageUp:
      inc = std::min(-1, -pageRows());
      break;
    case VScroll::PageDown:
      inc = std::max(1, pageRows());
      break;
    case VScroll::ThumbTrack:
      inc = thumb - vscrollPos_;
      break;
    case VScroll::Top:
      inc = -vscrollPos_;
      break;
    case VScroll::Bottom:
      inc = vscrollMax_ - vscrollPos_;
      break;
    case VScroll::ThumbPosition:
      inc = 0;
      break;
  }
  inc = std::max(-vscrollPos_, std::min(inc, vscrollMax_ - vscrollPos_));
  vscrollPos_ += inc;
  return inc;
}

int ScrollModel::hscroll(HScroll request, int thumb) {
  int inc = 0;
  switch (request) {
    case HScroll::LineLeft:
      inc = -1;
      break;
    case HScroll::LineRight:
      inc = 1;
      break;
    case HScroll::PageLeft:
      inc = -kHPageColumns;
      break;
    case HScroll::PageRight:
      inc = kHPageColumns;
      break;
    case HScroll::ThumbPosition:
      inc = thumb - hscrollPos_;
      break;
    case HScroll::ThumbTrack:
      inc = 0;
      break;
  }
  inc = std::max(-hscrollPos_, std::min(inc, hscrollMax_ - hscrollPos_));
  hscrollPos_ += inc;
  return inc;
}

RowRange ScrollModel::rowsToPaint(int top, int bottom, int linesShown) const {
  RowRange r;
  r.first = std::max(0, vscrollPos_ + top / cyChar_ - 1);
  r.end = std::min(linesShown, vscrollPos_ + bottom / cyChar_);
  return r;
}

}  // namespace tolvane
