// "Scroll Window": the report window that paints the line store.
//
// All scroll arithmetic lives in ScrollModel; this widget forwards scroll bar
// actions, keys and resizes to it, moves the pixels by what it answers and
// paints only the rows of the invalid area.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>

#include "report/scroll_model.hpp"

namespace tolvane {

class ReportWindow : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit ReportWindow(QWidget* parent = nullptr);

  const ScrollModel& scrollModel() const { return model_; }
  // Room for the text, its line numbers and 30 rows.
  QSize sizeHint() const override;
  const QFont& textFont() const { return font_; }

  // The painting font: Courier New Bold 10 pt where installed, otherwise the
  // system's fixed-pitch font in bold at 10 pt.
  static QFont reportFont();

 public slots:
  // REPORT_SHOW on the GUI thread: moves to the newest lines and repaints.
  void showNewest();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void verticalAction(int action);
  void horizontalAction(int action);
  void applyVertical(VScroll request, int thumb = 0);
  void applyHorizontal(HScroll request, int thumb = 0);
  // Puts the model's ranges and positions on the bars without moving pixels.
  void syncBars();

  ScrollModel model_;
  QFont font_;
  int ascent_ = 0;
  bool syncing_ = false;
};

}  // namespace tolvane
