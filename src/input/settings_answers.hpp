// The dialogs of a batch input run answered from settings. Each dialog is
// driven through its model as a user would click it, so the dialogs' rules
// (the role moves, at least 2 predictors, the 4-character fields) hold for
// settings as for clicks; a setting the data cannot satisfy abandons the run
// and problem() says which and why.
#pragma once

#include <string>
#include <vector>

#include "input/batch_dialogs.hpp"
#include "input/model_settings.hpp"

namespace tolvane {

class SettingsAnswers : public BatchDialogs {
 public:
  explicit SettingsAnswers(const ModelSettings& settings) : settings_(settings) {}

  bool fileName(FileNameDialogModel& dialog) override;
  bool filesExist(FilesExistDialogModel& dialog) override;
  bool roles(RoleDialogModel& dialog) override;
  bool scaling(ScalingDialogModel& dialog) override;

  const SettingProblem& problem() const { return problem_; }
  // The output files found existing, as the existing-files dialog named them.
  const std::vector<std::string>& existingFiles() const { return existing_; }

 private:
  bool fail(SettingAtFault setting, std::string detail);
  bool setResponse(RoleDialogModel& dialog);
  bool keepOnly(RoleDialogModel& dialog);
  bool leaveOut(RoleDialogModel& dialog);

  const ModelSettings& settings_;
  SettingProblem problem_;
  std::vector<std::string> existing_;
  int fileNameCalls_ = 0;
  bool rolesAsked_ = false;
};

}  // namespace tolvane
