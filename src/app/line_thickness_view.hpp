// "Set Line Thickness...": three radio buttons over LineThicknessDialog.
#pragma once

#include <QButtonGroup>

#include "app/dialog_view.hpp"
#include "input/line_thickness_dialog.hpp"

namespace tolvane {

class LineThicknessView : public DialogView {
  Q_OBJECT

 public:
  LineThicknessView(LineThicknessDialog& model, QWidget* owner);

 protected:
  bool escapePressed() override;
  bool closeBoxClicked() override;

 private:
  LineThicknessDialog& model_;
  QButtonGroup* group_;
};

}  // namespace tolvane
