// The behaviour of the "Files Already Exist..." dialog, without widgets: four
// exclusive answers and OK. The close box keeps the answer the dialog opened
// with (overwrite); Esc does nothing.
#pragma once

#include <string>
#include <vector>

namespace tolvane {

class FilesExistDialogModel {
 public:
  static constexpr const char* kTitle = "Files Already Exist...";
  static constexpr const char* kOverwriteButton = "Overwrite existing *.SYQ and *.MYQ files";
  static constexpr const char* kAppendButton = "Append output to existing files";
  static constexpr const char* kChangeButton = "Change (EDIT) FileName.";
  static constexpr const char* kAbortButton = "Abort batch data entry";
  static constexpr const char* kOkButton = "OK";

  // The answers, as FILECHOICE holds them.
  enum Answer { kOverwrite = 1, kAppend = 2, kChangeName = 3, kAbort = 4 };

  // Opens with `fileChoice` marked. `existing` names the output files that
  // exist, for a front end that wants to show them.
  FilesExistDialogModel(int fileChoice, std::vector<std::string> existing)
      : fileChoice_(fileChoice), marked_(fileChoice), existing_(std::move(existing)) {}

  int marked() const { return marked_; }
  const std::vector<std::string>& existingFiles() const { return existing_; }

  // A click on answer 1 to 4 makes it the working answer.
  void click(int answer) {
    if (!finished_ && answer >= kOverwrite && answer <= kAbort) marked_ = answer;
  }
  // OK stores the working answer.
  void ok() {
    if (finished_) return;
    fileChoice_ = marked_;
    finished_ = true;
  }
  // The close box ends the dialog with the answer unchanged.
  void closeBox() { finished_ = true; }
  void escape() {}
  bool finished() const { return finished_; }

  // FILECHOICE after the dialog.
  int answer() const { return fileChoice_; }

 private:
  int fileChoice_;
  int marked_;
  std::vector<std::string> existing_;
  bool finished_ = false;
};

}  // namespace tolvane
