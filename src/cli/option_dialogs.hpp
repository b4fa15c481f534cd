// The batch tool's answers to the dialogs of a batch input run, taken from
// its options. Each dialog is driven through its model exactly as a user
// would click it; an option the data cannot satisfy (a name that is no
// column, fewer than 2 predictors) abandons the run and says why.
#pragma once

#include <string>
#include <vector>

#include "cli/batch_options.hpp"
#include "input/batch_dialogs.hpp"

namespace tolvane {

class OptionDialogs : public BatchDialogs {
 public:
  explicit OptionDialogs(const BatchOptions& options) : options_(options) {}

  bool fileName(FileNameDialogModel& dialog) override;
  bool filesExist(FilesExistDialogModel& dialog) override;
  bool roles(RoleDialogModel& dialog) override;
  bool scaling(ScalingDialogModel& dialog) override;

  // Why an option could not be applied; empty when all could.
  const std::string& problem() const { return problem_; }
  // The output files found existing, as the existing-files dialog named them.
  const std::vector<std::string>& existingFiles() const { return existing_; }

 private:
  bool fail(std::string why);
  bool setResponse(RoleDialogModel& dialog);
  bool keepOnly(RoleDialogModel& dialog);
  bool leaveOut(RoleDialogModel& dialog);

  const BatchOptions& options_;
  std::string problem_;
  std::vector<std::string> existing_;
  int fileNameCalls_ = 0;
  bool rolesAsked_ = false;
};

}  // namespace tolvane
