#include "app/report_window.hpp"

#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStringList>
#include <cstdio>

#include "report/report.hpp"

namespace tolvane {

QFont ReportWindow::reportFont() {
  QFont font(QStringLiteral("Courier New"), 10, QFont::Bold);
  if (QFontInfo(font).family() == QLatin1String("Courier New")) return font;
  // The report's columns line up only in a font of one width: the system's
  // fixed font, or else the first common monospace family that is one (the
  // "monospace" alias can name a font of two widths, such as Noto Sans Mono).
  QStringList families{QFontDatabase::systemFont(QFontDatabase::FixedFont).family()};
  families << QStringLiteral("DejaVu Sans Mono") << QStringLiteral("Liberation Mono")
           << QStringLiteral("Nimbus Mono PS") << QStringLiteral("Noto Mono");
  for (const QString& family : families) {
    QFont candidate(family, 10, QFont::Bold);
    candidate.setStyleHint(QFont::TypeWriter);
    candidate.setFixedPitch(true);
    if (QFontInfo(candidate).fixedPitch()) return candidate;
  }
  font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(10);
  font.setBold(true);
  font.setFixedPitch(true);
  return font;
}

ReportWindow::ReportWindow(QWidget* parent) : QAbstractScrollArea(parent), font_(reportFont()) {
  setObjectName(QStringLiteral("reportWindow"));
  setWindowTitle(QStringLiteral("Scroll Window"));
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  QPalette pal = viewport()->palette();
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::Window, Qt::white);
  pal.setColor(QPalette::Text, Qt::black);
  viewport()->setPalette(pal);
  viewport()->setAutoFillBackground(true);

  // The metrics of the painting font, so that the line number lands exactly
  // ninety character widths right of the text's start.
  const QFontMetrics fm(font_);
  model_.setMetrics(fm.horizontalAdvance(QLatin1Char('0')), fm.lineSpacing());
  ascent_ = fm.ascent();

  // The horizontal bar moves the text only when a drag ends.
  horizontalScrollBar()->setTracking(false);
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &ReportWindow::verticalAction);
  connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
          &ReportWindow::horizontalAction);
  syncBars();
}

QSize ReportWindow::sizeHint() const {
  const int frame = 2 * frameWidth();
  return QSize(
      (kTextColumns + 2) * model_.cxChar() + verticalScrollBar()->sizeHint().width() + frame,
      30 * model_.cyChar() + horizontalScrollBar()->sizeHint().height() + frame);
}

void ReportWindow::syncBars() {
  syncing_ = true;
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, model_.vscrollMax());
  v->setPageStep(std::max(1, model_.pageRows()));
  v->setValue(model_.vscrollPos());
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, model_.hscrollMax());
  h->setPageStep(kHPageColumns);
  h->setValue(model_.hscrollPos());
  syncing_ = false;
}

void ReportWindow::showNewest() {
  const int d = model_.show(reportCounters().linesShown);
  syncBars();
  if (d != 0) viewport()->scroll(0, -d * model_.cyChar());
  viewport()->update();
}

void ReportWindow::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  const QSize client = viewport()->size();
  model_.resize(client.width(), client.height(), reportCounters().linesShown);
  syncBars();
}

void ReportWindow::scrollContentsBy(int dx, int dy) {
  if (syncing_) return;
  viewport()->scroll(dx * model_.cxChar(), dy * model_.cyChar());
}

void ReportWindow::verticalAction(int action) {
  QScrollBar* bar = verticalScrollBar();
  const int thumb = bar->sliderPosition();
  VScroll request = VScroll::ThumbPosition;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      request = VScroll::LineUp;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      request = VScroll::LineDown;
      break;
    case QAbstractSlider::SliderPageStepSub:
      request = VScroll::PageUp;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      request = VScroll::PageDown;
      break;
    case QAbstractSlider::SliderToMinimum:
      request = VScroll::Top;
      break;
    case QAbstractSlider::SliderToMaximum:
      request = VScroll::Bottom;
      break;
    case QAbstractSlider::SliderMove:
      request = VScroll::ThumbTrack;
      break;
    default:
      break;
  }
  model_.vscroll(request, thumb);
  // The bar applies this position itself once the action returns, and the
  // contents then move through scrollContentsBy.
  bar->setSliderPosition(model_.vscrollPos());
}

void ReportWindow::horizontalAction(int action) {
  QScrollBar* bar = horizontalScrollBar();
  const int thumb = bar->sliderPosition();
  HScroll request = HScroll::ThumbTrack;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      request = HScroll::LineLeft;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      request = HScroll::LineRight;
      break;
    case QAbstractSlider::SliderPageStepSub:
      request = HScroll::PageLeft;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      request = HScroll::PageRight;
      break;
    case QAbstractSlider::SliderMove:
      request = bar->isSliderDown() ? HScroll::ThumbTrack : HScroll::ThumbPosition;
      break;
    default:
      break;
  }
  model_.hscroll(request, thumb);
  bar->setSliderPosition(model_.hscrollPos());
}

void ReportWindow::applyVertical(VScroll request, int thumb) {
  const int inc = model_.vscroll(request, thumb);
  if (inc == 0) return;
  syncBars();
  viewport()->scroll(0, -inc * model_.cyChar());
}

void ReportWindow::applyHorizontal(HScroll request, int thumb) {
  const int inc = model_.hscroll(request, thumb);
  if (inc == 0) return;
  syncBars();
  viewport()->scroll(-inc * model_.cxChar(), 0);
}

void ReportWindow::keyPressEvent(QKeyEvent* event) {
  ScrollKey key;
  switch (event->key()) {
    case Qt::Key_PageUp:
      key = ScrollKey::PageUp;
      break;
    case Qt::Key_PageDown:
      key = ScrollKey::PageDown;
      break;
    case Qt::Key_End:
      key = ScrollKey::End;
      break;
    case Qt::Key_Home:
      key = ScrollKey::Home;
      break;
    case Qt::Key_Left:
      key = ScrollKey::Left;
      break;
    case Qt::Key_Right:
      key = ScrollKey::Right;
      break;
    case Qt::Key_Up:
      key = ScrollKey::Up;
      break;
    case Qt::Key_Down:
      key = ScrollKey::Down;
      break;
    default:
      // Other keys are neither answered nor passed on.
      event->accept();
      return;
  }
  const KeyRequest request = keyRequest(key);
  if (request.vertical) {
    applyVertical(request.v);
  } else {
    applyHorizontal(request.h);
  }
  event->accept();
}

void ReportWindow::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.setFont(font_);
  painter.setPen(Qt::black);
  const ReportCounters counters = reportCounters();
  const QRect area = event->rect();
  const RowRange rows = model_.rowsToPaint(area.top(), area.bottom() + 1, counters.linesShown);
  const QFontMetrics fm(font_);
  char number[16];
  for (int r = rows.first; r < rows.end; ++r) {
    const int y = model_.rowY(r) + ascent_;
    // Names from data files are UTF-8.
    painter.drawText(model_.textX(), y, QString::fromUtf8(reportRow(r)));
    std::snprintf(number, sizeof number, "%5d", r + counters.firstLineNo);
    const QString label = QString::fromLatin1(number);
    painter.drawText(model_.numberRight() - fm.horizontalAdvance(label), y, label);
  }
}

}  // namespace tolvane
