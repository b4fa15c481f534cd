// The behaviour of the "Files Already Exist..." dialog, without widgets: four
// exclusive answers and OK. Nothing that empties a file happens unless the
// user picks it: the dialog opens on "Change (EDIT) FileName.", and the close
// box and Esc abort the batch input.
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

  // Opens with "Change (EDIT) FileName." marked, whatever FILECHOICE held:
  // OK pressed at once must not empty a file. `existing` names the output
  // files that exist, in the order the view lists them.
  explicit FilesExistDialogModel(std::vector<std::string> existing)
      : existing_(std::move(existing)) {}

  int marked() const { return marked_; }
  const std::vector<std::string>& existingFiles() const { return existing_; }
  // The sentence that names the files above the answers.
  std::string existingSentence() const;

  // A click on answer 1 to 4 makes it the working answer.
  void click(int answer) {
    if (!finished_ && answer >= kOverwrite && answer <= kAbort) marked_ = answer;
  }
  // OK stores the working answer.
  void ok() {
    if (finished_) return;
    answer_ = marked_;
    finished_ = true;
  }
  // The close box and Esc end the dialog with the answer "Abort".
  void closeBox() {
    if (finished_) return;
    answer_ = kAbort;
    finished_ = true;
  }
  void escape() { closeBox(); }
  bool finished() const { return finished_; }

  // FILECHOICE after the dialog; "Abort" while it is still open.
  int answer() const { return answer_; }

 private:
  int answer_ = kAbort;
  int marked_ = kChangeName;
  std::vector<std::string> existing_;
  bool finished_ = false;
};

// "run.syq already exists." or "run.syq and run.myq already exist.".
inline std::string existingFilesSentence(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (k > 0) text += k + 1 == names.size() ? " and " : ", ";
    text += names[k];
  }
  return text + (names.size() == 1 ? " already exists." : " already exist.");
}

inline std::string FilesExistDialogModel::existingSentence() const {
  return existingFilesSentence(existing_);
}

}  // namespace tolvane
