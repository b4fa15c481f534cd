// The scripted front end of the tests and benchmarks: batch input dialogs
// answered by scripts (OK when a dialog has none), a path choice, a scratch
// folder, and a batch input run of a bundled example.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include "engine/analysis_state.hpp"
#include "engine/path_dialog.hpp"
#include "input/batch_dialogs.hpp"
#include "input/batch_input_run.hpp"

namespace tolvane::test {

// Dialogs answered by scripts; without a script each dialog ends with OK
// (existing files: Overwrite, then OK),
// the scaling dialog after a click on `scaleButton` when one is set.
struct ScriptedDialogs : BatchDialogs {
  std::function<bool(FileNameDialogModel&)> onFileName;
  std::function<bool(FilesExistDialogModel&)> onFilesExist;
  std::function<bool(RoleDialogModel&)> onRoles;
  std::function<bool(ScalingDialogModel&)> onScaling;
  std::optional<int> scaleButton;
  int fileNameCalls = 0, filesExistCalls = 0, rolesCalls = 0, scalingCalls = 0;

  ScriptedDialogs() = default;
  explicit ScriptedDialogs(int button) : scaleButton(button) {}

  bool fileName(FileNameDialogModel& d) override {
    ++fileNameCalls;
    if (onFileName) return onFileName(d);
    d.ok();
    return true;
  }
  bool filesExist(FilesExistDialogModel& d) override {
    ++filesExistCalls;
    if (onFilesExist) return onFilesExist(d);
    d.click(FilesExistDialogModel::kOverwrite);  // it opens on Change
    d.ok();
    return true;
  }
  bool roles(RoleDialogModel& d) override {
    ++rolesCalls;
    if (onRoles) return onRoles(d);
    d.ok();
    return true;
  }
  bool scaling(ScalingDialogModel& d) override {
    ++scalingCalls;
    if (onScaling) return onScaling(d);
    if (scaleButton) d.clickButton(*scaleButton);
    d.ok();
    return true;
  }
};

// The Select Shape dialog answered with a family, a step count and Q.
struct PathPick : PathDialog {
  PathShape shape = PathShape::kQShape;
  int steps = kStepsFour;
  std::string q = "0.0";

  PathPick() = default;
  PathPick(PathShape family, int stepsId, std::string qText)
      : shape(family), steps(stepsId), q(std::move(qText)) {}
  void run(PathDialogModel& m) override { SettingsPath({shape, q, steps}).run(m); }
};

// A fresh folder, removed with its contents afterwards.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  bool has(const std::string& name) const { return std::filesystem::exists(file(name)); }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(file(name), std::ios::binary) << text;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::string path_;
};

// A file of the source tree, such as "examples/hald.ayq".
inline std::string sourceFile(const std::string& relative) {
  return std::string(TOLVANE_SOURCE_DIR) + "/" + relative;
}

inline std::string examplePath(const std::string& name) {
  return sourceFile("examples/" + name);
}

// A whole batch input run of the data file at `path` (an example, or a file
// a test wrote) from settings: the default roles, `scaleButton`, existing
// files replaced, the state's precision; the output files go to `dir`. The
// date stamp is fixed.
inline bool runDataFile(AnalysisState& s, const std::string& path, const std::string& dir,
                        int scaleButton = kCenterRescale) {
  std::FILE* in = std::fopen(path.c_str(), "r");
  if (in == nullptr) return false;
  ModelSettings settings;
  settings.ifExists = IfExists::kOverwrite;
  settings.scale = scaleButton;
  settings.precision = s.precision;
  return runBatchInput(s, {in, path, dir, std::time_t{1'000'000'000}}, settings).completed();
}

}  // namespace tolvane::test
