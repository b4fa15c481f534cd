// One chart of lines against a common abscissa, drawn with Qt Charts.
//
// The operations follow the life of a plot: create the chart (inside a
// window, or alone for a file), hand it the data block and the abscissae,
// the titles, the series names and the line widths, ask for click
// notification, then finishSetup() builds what is shown. The chart copies
// everything it is given; callers may release their buffers afterwards.
// Printing and file output render the chart's scene, so they stay vector
// graphics in PDF and SVG.
#pragma once

#include <QFont>
#include <QMargins>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QAreaSeries;
class QChart;
class QImage;
class QChartView;
class QGraphicsEllipseItem;
class QGraphicsLineItem;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QPainter;
class QValueAxis;
class QWidget;

namespace tolvane {

enum class ChartFileFormat { Png, Svg, Pdf };

class TraceChart : public QObject {
  Q_OBJECT

 public:
  // Receives a click on a plotted point: point index and series index, both
  // from 0.
  using ClickHandler = std::function<void(int point, int series)>;

  struct Hit {
    int point = 0;   // from 0
    int series = 0;  // from 0
  };

  // A chart whose view fills `window` (the window gets a layout holding the
  // view). The window owns the view; the chart object is a child of window.
  static TraceChart* createInWindow(QWidget* window);

  // A chart without a window, for rendering to files. Needs a QApplication.
  TraceChart();
  ~TraceChart() override;

  // rows x cols values, stored row by row: value (i, j) at block[i * cols + j].
  // Column j becomes series j.
  void setDataBlock(int rows, int cols, const double* block);
  // One abscissa per row.
  void setAbscissae(int rows, const double* x);
  void setTitle(const QString& title);
  void setAxisTitles(const QString& xTitle, const QString& yTitle);
  void setSeriesNames(const QStringList& names);
  // One pen width in pixels per series; missing entries are 1.
  void setLineWidths(int cols, const int* widths);
  // An interval around each series: rows x cols lower and upper values laid
  // out as setDataBlock's, drawn as a translucent band of the series' colour.
  void setBands(int rows, int cols, const double* lower, const double* upper);
  // A vertical line at abscissa x, named in the legend.
  void setMark(double x, const QString& name);
  // Text shown in the plot area when there are no rows.
  void setEmptyText(const QString& text);
  // Labelled vertical lines at abscissae: the chosen extent (strong, solid,
  // labelled at the foot) and the criteria minima (dotted, labelled at the
  // top). They are neither series nor legend entries and take no clicks.
  struct VerticalMark {
    QString label;
    double x = 0.0;
    bool strong = false;
  };
  void setVerticalMarks(std::vector<VerticalMark> marks);
  // The mark lines as drawn, for tests.
  int verticalMarkCount() const { return static_cast<int>(markSeries_.size()); }
  QString verticalMarkLabel(int i) const;
  // Where mark i shows its label, in the chart's values.
  QPointF verticalMarkLabelPoint(int i) const;
  void notifyClicks(ClickHandler handler);
  // Builds the series and axes from everything set so far.
  void finishSetup();

  int rows() const { return rows_; }
  int cols() const { return cols_; }
  double value(int row, int col) const { return block_[row * cols_ + col]; }
  double abscissa(int row) const { return x_[row]; }
  QString seriesName(int col) const;
  QString title() const { return title_; }
  int seriesCount() const;  // series shown on the chart

  // The chart's current size in pixels (the window's, for a chart in one).
  QSizeF chartSize() const;
  // Draws the chart scaled into target (its proportions are the caller's).
  void printInto(QPainter& painter, const QRectF& target) const;
  // The chart as it is drawn now, as an image.
  QImage toImage() const;
  // Lays the chart out at size and writes it as PNG, SVG or PDF. A PNG at
  // scale s is laid out at size / s and drawn s times as large, so that its
  // text and lines keep their proportion to a screen chart; documentTitle
  // (when not empty) is the file's own title instead of the chart's.
  bool renderToFile(const QString& path, ChartFileFormat format, QSize size, QString* error,
                    double scale = 1.0, const QString& documentTitle = {}) const;

  // Which plotted point a press at viewPos (view viewport coordinates) hits:
  // the series whose line passes nearest, within a few pixels, and on it the
  // nearest plotted point.
  std::optional<Hit> pointAt(QPointF viewPos) const;
  // Where point (point, series) is drawn, in viewport coordinates; (-1, -1)
  // when it is not drawn.
  QPointF viewPosOf(int point, int series) const;
  // Rings plotted point (point, series), both from 0, so that a click shows
  // where it was read; the ring follows the plot when the chart is resized.
  // A point that is not plotted, or point -1, takes the ring away.
  void markPoint(int point, int series);
  // The ringed point, when one is shown.
  std::optional<Hit> markedPoint() const;

  QChart* chart() const { return chart_; }
  QChartView* view() const { return view_; }
  // The labels of the legend in columns that replaces the chart's own
  // one-column legend past kOwnLegendMost series; empty below that.
  std::vector<QGraphicsSimpleTextItem*> columnLegendLabels() const;

  static constexpr int kOwnLegendMost = 8;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct InWindow {};
  explicit TraceChart(InWindow);
  void layOutAt(QSize size) const;
  QImage imageOfSize(QSize pixels) const;
  // The file's bytes for renderToFile, the chart already laid out; false
  // when the format's writer fails.
  bool encode(ChartFileFormat format, QSize size, double scale, const QString& fileTitle,
              QByteArray* bytes) const;
  void placeEmptyText();
  void placeMarker();
  // Small charts (tiled windows) get smaller type, thinner margins and no
  // axis title on the side, so that the plot keeps most of the room and its
  // marks stay readable instead of turning into "...".
  void fitToSize();
  void applyLook(bool compact);
  void addVerticalMarks(QValueAxis* xAxis, QValueAxis* yAxis, double xLo, double xHi, double yLo,
                        double yHi);
  void buildColumnLegend();
  void layOutColumnLegend();

  QChart* chart_ = nullptr;
  QChartView* view_ = nullptr;
  bool ownsView_ = false;
  QGraphicsSimpleTextItem* emptyItem_ = nullptr;
  QGraphicsEllipseItem* marker_ = nullptr;
  std::optional<Hit> marked_;
  QMargins baseMargins_;
  QMargins fullMargins_;
  QFont fullTitleFont_;
  QFont fullLabelFont_;
  int compact_ = -1;  // -1 before the first layout
  struct LegendEntry {
    QGraphicsLineItem* swatch;
    QGraphicsSimpleTextItem* label;
    QString name;
  };
  std::vector<LegendEntry> legend_;

  int rows_ = 0;
  int cols_ = 0;
  std::vector<double> block_;
  std::vector<double> x_;
  QString title_;
  QString xTitle_;
  QString yTitle_;
  QString emptyText_;
  QStringList names_;
  std::vector<int> widths_;
  ClickHandler onClick_;

  // Per shown series: the row index of each plotted point (points with a
  // value that is not finite are left out of the line).
  std::vector<QLineSeries*> series_;
  std::vector<std::vector<int>> plottedRows_;
  std::vector<double> lower_, upper_;  // bands, laid out as block_
  std::vector<QAreaSeries*> bands_;
  std::optional<double> markX_;
  QString markName_;

  // finishSetup's parts: the old series and axes gone; a series per column
  // (and the bands), widening [*yLo, *yHi] to their values; the dashed line
  // at the extent.
  void clearChart();
  void addTraces(int rows, double* yLo, double* yHi);
  void addExtentMark(QValueAxis* xAxis, QValueAxis* yAxis);
  void addBands(int rows, double* yLo, double* yHi);
  std::vector<VerticalMark> marks_;
  std::vector<QLineSeries*> markSeries_;
};

}  // namespace tolvane
