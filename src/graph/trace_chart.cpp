#include "graph/trace_chart.hpp"

#include <QAreaSeries>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGraphicsEllipseItem>
#include <QGraphicsLayout>
#include <QGraphicsLineItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "graph/chart_axes.hpp"
#include "report/output_file.hpp"

namespace tolvane {

namespace {

// Ten colours that stay apart on screen and on paper; past ten the dash
// pattern changes so that series 1 and 11 differ.
const QColor kPalette[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                           QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e),
                           QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                           QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f),
                           QColor(0xbc, 0xbd, 0x22), QColor(0x17, 0xbe, 0xcf)};
const Qt::PenStyle kDashes[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                Qt::DashDotDotLine};
constexpr int kPaletteSize = sizeof(kPalette) / sizeof(kPalette[0]);
constexpr int kDashCount = sizeof(kDashes) / sizeof(kDashes[0]);

// A press counts as on a line when it is this close to it, in pixels, plus
// half the line's width.
constexpr double kHitTolerance = 6.0;

double distanceToSegment(QPointF p, QPointF a, QPointF b) {
  return tolvane::distanceToSegment(p.x(), p.y(), a.x(), a.y(), b.x(), b.y());
}

double distance(QPointF p, QPointF q) {
  return std::hypot(p.x() - q.x(), p.y() - q.y());
}

void setMarks(QValueAxis* axis, const AxisScale& scale) {
  axis->setRange(scale.lo, scale.hi);
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0.0);
  axis->setTickInterval(scale.step);
  axis->setLabelFormat(QString::fromStdString(scale.format));
}

}  // namespace

TraceChart* TraceChart::createInWindow(QWidget* window) {
  auto* c = new TraceChart(InWindow{});
  c->setParent(window);
  c->view_ = new QChartView(c->chart_, window);
  c->view_->setRenderHint(QPainter::Antialiasing);
  c->view_->viewport()->installEventFilter(c);
  c->ownsView_ = false;  // the window's layout owns it
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(c->view_);
  return c;
}

TraceChart::TraceChart() : TraceChart(InWindow{}) {
  // Without a window the chart lives in a scene of its own.
  auto* scene = new QGraphicsScene(this);
  scene->addItem(chart_);
}

TraceChart::TraceChart(InWindow) {
  chart_ = new QChart();
  chart_->setAnimationOptions(QChart::NoAnimation);
  QFont f = chart_->titleFont();
  f.setBold(true);
  f.setPointSizeF(f.pointSizeF() * 1.2);
  chart_->setTitleFont(f);
  emptyItem_ = new QGraphicsSimpleTextItem(chart_);
  emptyItem_->setVisible(false);
  marker_ = new QGraphicsEllipseItem(chart_);
  marker_->setPen(QPen(Qt::black, 2.0));
  marker_->setBrush(Qt::NoBrush);
  marker_->setZValue(10);  // above the lines
  marker_->setVisible(false);
  connect(chart_, &QChart::plotAreaChanged, this, [this] {
    placeEmptyText();
    placeMarker();
  });
  // The chart's own frame around the plot is room a small window needs.
  chart_->layout()->setContentsMargins(0, 0, 0, 0);
  chart_->setBackgroundRoundness(0);
  baseMargins_ = chart_->margins();
  fullMargins_ = baseMargins_;
  fullTitleFont_ = chart_->titleFont();
  fullLabelFont_ = chart_->legend()->font();
  connect(chart_, &QGraphicsWidget::geometryChanged, this, [this] {
    fitToSize();
    layOutColumnLegend();
  });
}

TraceChart::~TraceChart() {
  // A view in a window deletes its chart with itself; a chart without a view
  // is ours.
  if (view_ == nullptr) delete chart_;
}

void TraceChart::setDataBlock(int rows, int cols, const double* block) {
  rows_ = std::max(rows, 0);
  cols_ = std::max(cols, 0);
  if (rows_ == 0 || cols_ == 0 || block == nullptr) {
    rows_ = 0;
    block_.clear();
    return;
  }
  block_.assign(block, block + static_cast<std::size_t>(rows_) * cols_);
}

void TraceChart::setAbscissae(int rows, const double* x) {
  x_.assign(static_cast<std::size_t>(std::max(rows, 0)), 0.0);
  if (x != nullptr) std::copy(x, x + x_.size(), x_.begin());
}

void TraceChart::setTitle(const QString& title) {
  title_ = title;
}

void TraceChart::setAxisTitles(const QString& xTitle, const QString& yTitle) {
  xTitle_ = xTitle;
  yTitle_ = yTitle;
}

void TraceChart::setSeriesNames(const QStringList& names) {
  names_ = names;
}

void TraceChart::setLineWidths(int cols, const int* widths) {
  widths_.assign(static_cast<std::size_t>(std::max(cols, 0)), 1);
  if (widths != nullptr) std::copy(widths, widths + widths_.size(), widths_.begin());
}

void TraceChart::setEmptyText(const QString& text) {
  emptyText_ = text;
}

void TraceChart::notifyClicks(ClickHandler handler) {
  onClick_ = std::move(handler);
}

QString TraceChart::seriesName(int col) const {
  if (col >= 0 && col < names_.size()) return names_[col];
  return QString::number(col + 1);
}

int TraceChart::seriesCount() const {
  return static_cast<int>(series_.size());
}

void TraceChart::setBands(int rows, int cols, const double* lower, const double* upper) {
  const std::size_t n = static_cast<std::size_t>(std::max(rows, 0)) * std::max(cols, 0);
  lower_.assign(lower, lower + n);
  upper_.assign(upper, upper + n);
}

void TraceChart::setMark(double x, const QString& name) {
  markX_ = x;
  markName_ = name;
}

// Bands go under the lines and stay out of the legend and the hit test.
void TraceChart::addBands(int rows, double* yLo, double* yHi) {
  if (lower_.size() != block_.size() || upper_.size() != block_.size()) return;
  for (int j = 0; j < cols_; ++j) {
    auto* lo = new QLineSeries();
    auto* hi = new QLineSeries();
    for (int i = 0; i < rows; ++i) {
      const double a = lower_[i * cols_ + j], b = upper_[i * cols_ + j];
      if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(x_[i])) continue;
      lo->append(x_[i], a);
      hi->append(x_[i], b);
      *yLo = std::min(*yLo, a);
      *yHi = std::max(*yHi, b);
    }
    auto* band = new QAreaSeries(hi, lo);
    QColor fill = kPalette[j % kPaletteSize];
    fill.setAlpha(50);
    band->setBrush(fill);
    band->setPen(Qt::NoPen);
    chart_->addSeries(band);
    for (QLegendMarker* m : chart_->legend()->markers(band))
      m->setVisible(false);
    bands_.push_back(band);
  }
}

void TraceChart::clearChart() {
  chart_->removeAllSeries();
  for (QAbstractAxis* axis : chart_->axes()) {
    chart_->removeAxis(axis);
    delete axis;
  }
  series_.clear();
  plottedRows_.clear();
  bands_.clear();
  marked_.reset();  // a ring on the old data would point at nothing
  marker_->setVisible(false);
  markSeries_.clear();
}

void TraceChart::addTraces(int rows, double* yLo, double* yHi) {
  for (int j = 0; j < cols_ && rows > 0; ++j) {
    auto* s = new QLineSeries();
    s->setName(seriesName(j));
    QList<QPointF> points;
    std::vector<int> plotted;
    for (int i = 0; i < rows; ++i) {
      const double y = value(i, j);
      if (!std::isfinite(y) || !std::isfinite(x_[i])) continue;
      points.append(QPointF(x_[i], y));
      plotted.push_back(i);
      *yLo = std::min(*yLo, y);
      *yHi = std::max(*yHi, y);
    }
    s->replace(points);
    QPen pen(kPalette[j % kPaletteSize]);
    pen.setStyle(kDashes[(j / kPaletteSize) % kDashCount]);
    const int w = j < static_cast<int>(widths_.size()) ? widths_[j] : 1;
    pen.setWidthF(std::max(w, 1));
    s->setPen(pen);
    chart_->addSeries(s);
    series_.push_back(s);
    plottedRows_.push_back(std::move(plotted));
  }
  if (rows > 0) addBands(rows, yLo, yHi);
}

void TraceChart::addExtentMark(QValueAxis* xAxis, QValueAxis* yAxis) {
  auto* mark = new QLineSeries();
  mark->setName(markName_);
  mark->append(*markX_, yAxis->min());
  mark->append(*markX_, yAxis->max());
  QPen pen(Qt::black);
  pen.setStyle(Qt::DashLine);
  pen.setWidthF(1.5);
  mark->setPen(pen);
  chart_->addSeries(mark);
  mark->attachAxis(xAxis);
  mark->attachAxis(yAxis);
}

void TraceChart::finishSetup() {
  clearChart();
  chart_->setTitle(title_);

  const int rows = std::min<int>(rows_, static_cast<int>(x_.size()));
  double xLo = 0.0, xHi = 1.0;
  double yLo = std::numeric_limits<double>::infinity();
  double yHi = -yLo;
  if (rows > 0) {
    xLo = *std::min_element(x_.begin(), x_.begin() + rows);
    xHi = *std::max_element(x_.begin(), x_.begin() + rows);
  }
  addTraces(rows, &yLo, &yHi);

  const AxisScale xScale = mcalScale(xLo, xHi);
  const AxisScale yScale = valueScale(yLo, yHi);
  auto* xAxis = new QValueAxis();
  xAxis->setTitleText(xTitle_);
  setMarks(xAxis, xScale);
  auto* yAxis = new QValueAxis();
  yAxis->setTitleText(yTitle_);
  setMarks(yAxis, yScale);
  chart_->addAxis(xAxis, Qt::AlignBottom);
  chart_->addAxis(yAxis, Qt::AlignLeft);
  for (QLineSeries* s : series_) {
    s->attachAxis(xAxis);
    s->attachAxis(yAxis);
  }
  for (QAreaSeries* b : bands_) {
    b->attachAxis(xAxis);
    b->attachAxis(yAxis);
  }
  if (markX_ && rows > 0) addExtentMark(xAxis, yAxis);
  if (!series_.empty()) addVerticalMarks(xAxis, yAxis, xScale.lo, xScale.hi, yScale.lo, yScale.hi);

  chart_->legend()->setAlignment(Qt::AlignBottom);
  chart_->legend()->setVisible(!series_.empty() && seriesCount() <= kOwnLegendMost);
  buildColumnLegend();

  compact_ = -1;  // the new axes take the look of the present size
  fitToSize();

  emptyItem_->setText(emptyText_);
  emptyItem_->setVisible(series_.empty() && !emptyText_.isEmpty());
  emptyItem_->setZValue(100);
  placeEmptyText();
}

void TraceChart::fitToSize() {
  const QSizeF size = chart_->size();
  if (size.isEmpty()) return;
  const int compact = size.height() < 360.0 || size.width() < 460.0 ? 1 : 0;
  if (compact == compact_) return;
  compact_ = compact;
  applyLook(compact == 1);
}

void TraceChart::applyLook(bool compact) {
  QFont title = fullTitleFont_;
  QFont labels = fullLabelFont_;
  if (compact) {
    title.setPointSizeF(std::max(8.0, fullTitleFont_.pointSizeF() / 1.2));
    labels.setPointSizeF(std::max(7.0, fullLabelFont_.pointSizeF() * 0.85));
    baseMargins_ = QMargins(4, 2, 6, 2);
  } else {
    baseMargins_ = fullMargins_;
  }
  chart_->setTitleFont(title);
  chart_->legend()->setFont(labels);
  for (QAbstractAxis* axis : chart_->axes()) {
    axis->setLabelsFont(labels);
    QFont axisTitle = labels;
    axisTitle.setBold(true);
    axis->setTitleFont(axisTitle);
    // The vertical title only repeats the window's; the plot needs the room.
    if (axis->orientation() == Qt::Vertical) axis->setTitleVisible(!compact);
  }
  for (const LegendEntry& e : legend_)
    e.label->setFont(labels);
  chart_->setMargins(baseMargins_);
}

void TraceChart::setVerticalMarks(std::vector<VerticalMark> marks) {
  marks_ = std::move(marks);
}

QString TraceChart::verticalMarkLabel(int i) const {
  return i >= 0 && i < verticalMarkCount() ? markSeries_[i]->name() : QString();
}

QPointF TraceChart::verticalMarkLabelPoint(int i) const {
  if (i < 0 || i >= verticalMarkCount()) return {};
  const QLineSeries* line = markSeries_[i];
  // The strong mark labels its foot, a minimum its middle point.
  return line->count() == 2 ? line->at(0) : line->at(1);
}

void TraceChart::addVerticalMarks(QValueAxis* xAxis, QValueAxis* yAxis, double xLo, double xHi,
                                  double yLo, double yHi) {
  // The minima's labels sit at the top; two minima close together would
  // print one label over the other, so a label that would meet its left
  // neighbour's drops a row (up to four rows, then they start again).
  constexpr int kRows = 4;
  const double nearX = 0.12 * (xHi - xLo);
  const double rowHeight = 0.06 * (yHi - yLo);
  std::vector<int> order(marks_.size());
  for (std::size_t i = 0; i < order.size(); ++i)
    order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(),
                   [this](int a, int b) { return marks_[a].x < marks_[b].x; });
  std::vector<int> row(marks_.size(), 0);
  std::vector<double> rowEnd(kRows, -std::numeric_limits<double>::infinity());
  int placed = 0;
  for (int i : order) {
    if (marks_[i].strong) continue;
    int r = 0;
    while (r < kRows && marks_[i].x - rowEnd[r] < nearX)
      ++r;
    if (r == kRows) r = placed % kRows;
    row[i] = r;
    rowEnd[r] = marks_[i].x;
    ++placed;
  }
  for (std::size_t i = 0; i < marks_.size(); ++i) {
    const VerticalMark& m = marks_[i];
    if (!(m.x >= xLo && m.x <= xHi)) continue;
    auto* line = new QLineSeries();
    line->setName(m.label);
    line->append(m.x, yLo);
    // A minimum's label shows at the middle point, in its row.
    if (!m.strong) line->append(m.x, yHi - row[i] * rowHeight);
    line->append(m.x, yHi);
    QPen pen(m.strong ? QColor(Qt::black) : QColor(110, 110, 110));
    pen.setStyle(m.strong ? Qt::SolidLine : Qt::DotLine);
    pen.setWidthF(m.strong ? 2.0 : 1.0);
    line->setPen(pen);
    line->setPointLabelsFormat(m.label);
    line->setPointLabelsClipping(false);
    line->setPointLabelsVisible(true);
    // One label a line: the chosen extent at its foot, the minima in their row.
    const QHash<QXYSeries::PointConfiguration, QVariant> hidden{
        {QXYSeries::PointConfiguration::LabelVisibility, false}};
    if (m.strong) {
      line->setPointConfiguration(1, hidden);
    } else {
      line->setPointConfiguration(0, hidden);
      line->setPointConfiguration(2, hidden);
    }
    chart_->addSeries(line);
    line->attachAxis(xAxis);
    line->attachAxis(yAxis);
    for (QLegendMarker* marker : chart_->legend()->markers(line))
      marker->setVisible(false);
    markSeries_.push_back(line);
  }
}

void TraceChart::placeEmptyText() {
  if (emptyItem_ == nullptr || !emptyItem_->isVisible()) return;
  const QRectF area = chart_->plotArea();
  // The text stays inside its plot: a smaller type, then cut short.
  QFont font = fullLabelFont_;
  emptyItem_->setFont(font);
  emptyItem_->setText(emptyText_);
  while (emptyItem_->boundingRect().width() > area.width() - 8.0 && font.pointSizeF() > 6.5) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
    emptyItem_->setFont(font);
  }
  if (emptyItem_->boundingRect().width() > area.width() - 8.0) {
    emptyItem_->setText(QFontMetricsF(font).elidedText(emptyText_, Qt::ElideRight,
                                                       std::max(0.0, area.width() - 8.0)));
  }
  const QRectF box = emptyItem_->boundingRect();
  emptyItem_->setPos(area.center().x() - box.width() / 2, area.center().y() - box.height() / 2);
}

std::vector<QGraphicsSimpleTextItem*> TraceChart::columnLegendLabels() const {
  std::vector<QGraphicsSimpleTextItem*> labels;
  for (const LegendEntry& e : legend_)
    labels.push_back(e.label);
  return labels;
}

// The chart's own legend has one row or one column: with the 49 predictors
// a data set may have, most of it falls outside the window. This one takes
// as many columns as the height needs, at the right of the plot.
void TraceChart::buildColumnLegend() {
  for (const LegendEntry& e : legend_) {
    delete e.swatch;
    delete e.label;
  }
  legend_.clear();
  if (seriesCount() > kOwnLegendMost) {
    const QFont font = chart_->legend()->font();
    for (int k = 0; k < seriesCount(); ++k) {
      QPen pen = series_[k]->pen();
      pen.setWidthF(std::min(pen.widthF(), 3.0));
      auto* swatch = new QGraphicsLineItem(chart_);
      swatch->setPen(pen);
      auto* label = new QGraphicsSimpleTextItem(chart_);
      label->setFont(font);
      label->setBrush(chart_->legend()->labelColor());
      const QString name = series_[k]->name();
      label->setToolTip(name);
      legend_.push_back(LegendEntry{swatch, label, name});
    }
  }
  layOutColumnLegend();
}

void TraceChart::layOutColumnLegend() {
  QMargins margins = baseMargins_;
  const QSizeF size = chart_->size();
  if (!legend_.empty() && size.width() > 0 && size.height() > 0) {
    const QFontMetricsF fm(legend_.front().label->font());
    const double rowHeight = fm.height() + 4.0;
    const double swatchWidth = 18.0, gap = 5.0, columnGap = 12.0;
    const double top = baseMargins_.top() + QFontMetricsF(chart_->titleFont()).height() + 12.0;
    const double height = std::max(rowHeight, size.height() - top - baseMargins_.bottom());
    const int count = static_cast<int>(legend_.size());
    const int fitting = std::max(1, static_cast<int>(height / rowHeight));
    const int columns = (count + fitting - 1) / fitting;
    const int perColumn = (count + columns - 1) / columns;
    double textWidth = 0.0;
    for (const LegendEntry& e : legend_)
      textWidth = std::max(textWidth, fm.horizontalAdvance(e.name));
    // The legend takes at most two fifths of the width; longer names are
    // cut short with an ellipsis and shown whole in a tool tip.
    const double most = size.width() * 0.4 / columns - swatchWidth - gap - columnGap;
    textWidth = std::max(std::min(textWidth, most), fm.horizontalAdvance(QStringLiteral("x...")));
    const double columnWidth = swatchWidth + gap + textWidth + columnGap;
    // A window too small for every name shows none: a click on a line
    // still names it.
    const bool fits = columns * columnWidth <= size.width() / 2.0;
    for (const LegendEntry& e : legend_) {
      e.swatch->setVisible(fits);
      e.label->setVisible(fits);
    }
    if (!fits) {
      if (chart_->margins() != margins) chart_->setMargins(margins);
      return;
    }
    const double left = size.width() - baseMargins_.right() - columns * columnWidth;
    const double y0 = top + std::max(0.0, (height - perColumn * rowHeight) / 2.0);
    for (int k = 0; k < count; ++k) {
      const LegendEntry& e = legend_[k];
      const double x = left + (k / perColumn) * columnWidth + columnGap;
      const double y = y0 + (k % perColumn) * rowHeight;
      const double mid = y + rowHeight / 2.0;
      e.swatch->setLine(x, mid, x + swatchWidth, mid);
      e.label->setText(fm.elidedText(e.name, Qt::ElideRight, textWidth));
      e.label->setPos(x + swatchWidth + gap, mid - fm.height() / 2.0);
    }
    margins.setRight(baseMargins_.right() + static_cast<int>(std::ceil(columns * columnWidth)));
  }
  if (chart_->margins() != margins) chart_->setMargins(margins);
}

QSizeF TraceChart::chartSize() const {
  return chart_->size();
}

void TraceChart::printInto(QPainter& painter, const QRectF& target) const {
  QGraphicsScene* scene = chart_->scene();
  if (scene == nullptr) return;
  scene->render(&painter, target, chart_->sceneBoundingRect(), Qt::IgnoreAspectRatio);
}

QImage TraceChart::toImage() const {
  return imageOfSize(chartSize().toSize());
}

QImage TraceChart::imageOfSize(QSize size) const {
  QImage image(size.isEmpty() ? QSize(1, 1) : size, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  printInto(painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
  return image;
}

void TraceChart::layOutAt(QSize size) const {
  if (view_ != nullptr) return;  // a window decides its chart's size
  chart_->setGeometry(QRectF(QPointF(0, 0), QSizeF(size)));
  // Qt Charts finishes a layout on posted events.
  QCoreApplication::sendPostedEvents();
}

bool TraceChart::renderToFile(const QString& path, ChartFileFormat format, QSize size,
                              QString* error, double scale, const QString& documentTitle) const {
  if (format != ChartFileFormat::Png && format != ChartFileFormat::Svg &&
      format != ChartFileFormat::Pdf) {
    if (error != nullptr) *error = QStringLiteral("unknown file format");
    return false;
  }
  if (!(scale > 0.0) || format != ChartFileFormat::Png) scale = 1.0;
  const QString fileTitle = documentTitle.isEmpty() ? title_ : documentTitle;
  layOutAt(QSize(static_cast<int>(size.width() / scale), static_cast<int>(size.height() / scale)));
  // Drawn in memory first, so that the file goes in whole through the one
  // checked writer and a failed write leaves an older chart as it was.
  QByteArray bytes;
  if (!encode(format, size, scale, fileTitle, &bytes)) {
    if (error != nullptr) *error = QStringLiteral("cannot write ") + path;
    return false;
  }
  if (const Status written = writeFileAtomically(
          QFile::encodeName(path).toStdString(),
          std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
      !written.ok()) {
    if (error != nullptr) *error = QString::fromStdString(written.message);
    return false;
  }
  return true;
}

bool TraceChart::encode(ChartFileFormat format, QSize size, double scale, const QString& fileTitle,
                        QByteArray* bytes) const {
  const QSizeF s = chartSize();
  const QRectF target(QPointF(0, 0), s);
  QBuffer buffer(bytes);
  if (!buffer.open(QIODevice::WriteOnly)) return false;
  switch (format) {
    case ChartFileFormat::Png: {
      QImage image = view_ != nullptr ? toImage() : imageOfSize(size);
      const int dotsPerMeter = static_cast<int>(std::lround(scale * 96.0 / 0.0254));
      image.setDotsPerMeterX(dotsPerMeter);
      image.setDotsPerMeterY(dotsPerMeter);
      image.setText(QStringLiteral("Title"), fileTitle);
      return image.save(&buffer, "PNG");
    }
    case ChartFileFormat::Svg: {
      QSvgGenerator svg;
      svg.setOutputDevice(&buffer);
      svg.setSize(s.toSize());
      svg.setViewBox(target);
      svg.setTitle(fileTitle);
      QPainter painter;
      if (!painter.begin(&svg)) return false;
      printInto(painter, target);
      return painter.end();
    }
    case ChartFileFormat::Pdf: {
      QPdfWriter pdf(&buffer);
      pdf.setTitle(fileTitle);
      pdf.setResolution(72);
      pdf.setPageLayout(QPageLayout(QPageSize(s, QPageSize::Point), QPageLayout::Portrait,
                                    QMarginsF(0, 0, 0, 0)));
      QPainter painter;
      if (!painter.begin(&pdf)) return false;
      printInto(painter, QRectF(0, 0, pdf.width(), pdf.height()));
      return painter.end();
    }
  }
  return false;
}

std::optional<TraceChart::Hit> TraceChart::pointAt(QPointF viewPos) const {
  if (view_ == nullptr) return std::nullopt;
  const QPointF at = chart_->mapFromScene(view_->mapToScene(viewPos.toPoint()));
  int bestSeries = -1;
  double bestDistance = std::numeric_limits<double>::infinity();
  std::vector<QPointF> drawn;
  for (int k = 0; k < seriesCount(); ++k) {
    const std::vector<int>& plotted = plottedRows_[k];
    if (plotted.empty()) continue;
    const double tolerance = kHitTolerance + series_[k]->pen().widthF() / 2.0;
    QPointF prev = chart_->mapToPosition(QPointF(x_[plotted[0]], value(plotted[0], k)), series_[k]);
    double d = distance(at, prev);
    for (std::size_t n = 1; n < plotted.size(); ++n) {
      const QPointF next =
          chart_->mapToPosition(QPointF(x_[plotted[n]], value(plotted[n], k)), series_[k]);
      d = std::min(d, distanceToSegment(at, prev, next));
      prev = next;
    }
    if (d <= tolerance && d < bestDistance) {
      bestDistance = d;
      bestSeries = k;
    }
  }
  if (bestSeries < 0) return std::nullopt;
  const std::vector<int>& plotted = plottedRows_[bestSeries];
  int bestRow = plotted[0];
  double nearest = std::numeric_limits<double>::infinity();
  for (int row : plotted) {
    const QPointF p =
        chart_->mapToPosition(QPointF(x_[row], value(row, bestSeries)), series_[bestSeries]);
    const double d = distance(at, p);
    if (d < nearest) {
      nearest = d;
      bestRow = row;
    }
  }
  return Hit{bestRow, bestSeries};
}

QPointF TraceChart::viewPosOf(int point, int series) const {
  if (view_ == nullptr || series < 0 || series >= seriesCount() || point < 0 || point >= rows_)
    return QPointF(-1, -1);
  if (!std::isfinite(value(point, series)) || !std::isfinite(x_[point])) return QPointF(-1, -1);
  const QPointF inChart =
      chart_->mapToPosition(QPointF(x_[point], value(point, series)), series_[series]);
  return QPointF(view_->mapFromScene(chart_->mapToScene(inChart)));
}

void TraceChart::markPoint(int point, int series) {
  marked_.reset();
  if (point >= 0 && series >= 0 && series < seriesCount() && point < rows_ &&
      std::isfinite(value(point, series)) && std::isfinite(x_[point])) {
    marked_ = Hit{point, series};
  }
  placeMarker();
}

std::optional<TraceChart::Hit> TraceChart::markedPoint() const {
  return marked_;
}

void TraceChart::placeMarker() {
  if (marker_ == nullptr) return;
  if (!marked_) {
    marker_->setVisible(false);
    return;
  }
  const int row = marked_->point, k = marked_->series;
  const QPointF at = chart_->mapToPosition(QPointF(x_[row], value(row, k)), series_[k]);
  constexpr double kRadius = 6.0;
  marker_->setRect(QRectF(at.x() - kRadius, at.y() - kRadius, 2 * kRadius, 2 * kRadius));
  marker_->setVisible(true);
}

bool TraceChart::eventFilter(QObject* watched, QEvent* event) {
  if (view_ != nullptr && watched == view_->viewport() &&
      event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && onClick_) {
      if (const std::optional<Hit> hit = pointAt(mouse->position())) {
        onClick_(hit->point, hit->series);
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tolvane
