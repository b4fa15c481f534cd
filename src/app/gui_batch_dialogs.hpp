// The batch input run's dialogs, shown by the GUI thread.
//
// The run calls these on its worker thread; each one asks the GUI thread to
// show the view modally over its owner (the report window while it exists)
// and waits for the answer.
#pragma once

#include <functional>

#include "input/batch_dialogs.hpp"

class QWidget;

namespace tolvane {

class GuiBatchDialogs : public BatchDialogs {
 public:
  // owner is called on the GUI thread each time a dialog opens.
  explicit GuiBatchDialogs(std::function<QWidget*()> owner) : owner_(std::move(owner)) {}

  bool fileName(FileNameDialogModel& dialog) override;
  bool filesExist(FilesExistDialogModel& dialog) override;
  bool roles(RoleDialogModel& dialog) override;
  bool scaling(ScalingDialogModel& dialog) override;

 private:
  template <class View, class Model>
  bool show(Model& model);

  std::function<QWidget*()> owner_;
};

}  // namespace tolvane
