// "About Tolvane...": the program icon and two lines about the program.
#pragma once

#include <QDialog>

namespace tolvane {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* owner);
};

}  // namespace tolvane
