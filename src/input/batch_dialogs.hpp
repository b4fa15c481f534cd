// The dialogs a batch input run asks its front end to show.
//
// Each method is given the dialog's model, shows it modally and returns once
// the view has ended it through one of the model's exits (the view forwards
// clicks and keys to the model and redraws from it; it decides nothing). The
// GUI calls them on the worker thread of the run and must hop to its own
// thread to show the dialog; the batch tool answers them from its options;
// tests script them.
//
// Return false only when the front end cannot answer at all (the program is
// closing, or the batch tool's options name a column that does not exist);
// the run then stops without an analysis. A method that returns true without
// having used an exit counts as the close box (for the scaling dialog, which
// has no close box: as if nothing was changed).
#pragma once

#include "input/file_name_dialog_model.hpp"
#include "input/files_exist_dialog_model.hpp"
#include "input/role_dialog_model.hpp"
#include "input/scaling_dialog_model.hpp"

namespace tolvane {

class BatchDialogs {
 public:
  virtual ~BatchDialogs() = default;

  // "FileName for Output Files": shown once, and again after the answer
  // "Change (EDIT) FileName.".
  virtual bool fileName(FileNameDialogModel& dialog) = 0;
  // "Files Already Exist...": shown when an output file of that name exists.
  virtual bool filesExist(FilesExistDialogModel& dialog) = 0;
  // "Define Variable Roles...": raw-data form only.
  virtual bool roles(RoleDialogModel& dialog) = 0;
  // "Scaling and Observation Settings...": both forms.
  virtual bool scaling(ScalingDialogModel& dialog) = 0;
};

}  // namespace tolvane
