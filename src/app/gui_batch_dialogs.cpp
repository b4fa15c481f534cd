#include "app/gui_batch_dialogs.hpp"

#include <QPointer>

#include "app/batch_runner.hpp"
#include "app/file_name_view.hpp"
#include "app/files_exist_view.hpp"
#include "app/gui_thread_call.hpp"
#include "app/role_view.hpp"
#include "app/scaling_view.hpp"

namespace tolvane {

template <class View, class Model>
bool GuiBatchDialogs::show(Model& model) {
  bool shown = false;
  callOnGuiThread([&] {
    // While the program is being torn down no dialog may open: the run is
    // told that no answer comes and stops.
    if (BatchRunner::dialogsWithdrawn()) return;
    // On the heap: should the owner go while the dialog is open, it takes
    // the dialog with it and the guard notices.
    QPointer<View> view = new View(model, owner_());
    view->runModal();
    delete view.data();
    shown = true;
  });
  return shown;
}

bool GuiBatchDialogs::fileName(FileNameDialogModel& dialog) {
  return show<FileNameView>(dialog);
}

bool GuiBatchDialogs::filesExist(FilesExistDialogModel& dialog) {
  return show<FilesExistView>(dialog);
}

bool GuiBatchDialogs::roles(RoleDialogModel& dialog) {
  return show<RoleView>(dialog);
}

bool GuiBatchDialogs::scaling(ScalingDialogModel& dialog) {
  return show<ScalingView>(dialog);
}

}  // namespace tolvane
