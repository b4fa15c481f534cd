// Helpers shared by the batch input tests: captured report lines, files in a
// scratch directory, input files in memory, and scripted dialogs.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "input/batch_dialogs.hpp"
#include "report/report.hpp"

namespace tolvane::test {

// Every report line appended while it lives, in order.
class ReportCapture {
 public:
  ReportCapture() {
    setReportLineObserver([this](int, const std::string& text) { lines.push_back(text); });
  }
  ~ReportCapture() { setReportLineObserver({}); }
  ReportCapture(const ReportCapture&) = delete;
  ReportCapture& operator=(const ReportCapture&) = delete;

  bool contains(const std::string& part) const {
    for (const std::string& l : lines) {
      if (l.find(part) != std::string::npos) return true;
    }
    return false;
  }
  std::string all() const {
    std::string text;
    for (const std::string& l : lines)
      text += l + "\n";
    return text;
  }

  std::vector<std::string> lines;
};

// A fresh directory, removed with its contents afterwards.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

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

// An input file holding `text`, with a flag that turns true when it is
// closed, so tests can check that every path of a run closes INFILE.
struct TrackedFile {
  std::FILE* file = nullptr;
  std::shared_ptr<bool> closed = std::make_shared<bool>(false);
};

inline TrackedFile trackedFile(const std::string& text) {
  struct Cookie {
    std::string text;
    std::size_t pos = 0;
    std::shared_ptr<bool> closed;
  };
  TrackedFile t;
  auto* cookie = new Cookie{text, 0, t.closed};
  cookie_io_functions_t io{};
  io.read = [](void* c, char* buf, std::size_t size) -> ssize_t {
    auto* k = static_cast<Cookie*>(c);
    const std::size_t n = std::min(size, k->text.size() - k->pos);
    k->text.copy(buf, n, k->pos);
    k->pos += n;
    return static_cast<ssize_t>(n);
  };
  io.close = [](void* c) -> int {
    auto* k = static_cast<Cookie*>(c);
    *k->closed = true;
    delete k;
    return 0;
  };
  t.file = fopencookie(cookie, "r", io);
  return t;
}

// Dialogs answered by scripts; without a script each dialog ends with OK.
struct ScriptedDialogs : BatchDialogs {
  std::function<bool(FileNameDialogModel&)> onFileName;
  std::function<bool(FilesExistDialogModel&)> onFilesExist;
  std::function<bool(RoleDialogModel&)> onRoles;
  std::function<bool(ScalingDialogModel&)> onScaling;
  int fileNameCalls = 0, filesExistCalls = 0, rolesCalls = 0, scalingCalls = 0;

  bool fileName(FileNameDialogModel& d) override {
    ++fileNameCalls;
    if (onFileName) return onFileName(d);
    d.ok();
    return true;
  }
  bool filesExist(FilesExistDialogModel& d) override {
    ++filesExistCalls;
    if (onFilesExist) return onFilesExist(d);
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
    d.ok();
    return true;
  }
};

inline std::string sourceFile(const std::string& relative) {
  return std::string(TOLVANE_SOURCE_DIR) + "/" + relative;
}

}  // namespace tolvane::test
