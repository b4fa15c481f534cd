#include "input/output_files.hpp"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <vector>

#include "input/stop_report.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

constexpr const char* kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool pathPresent(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

BatchRunResult cancelled(const char* why) {
  return {BatchRunStatus::kCancelled, why};
}

BatchRunResult abandoned() {
  return stopRun(BatchRunStatus::kStopped,
                 "The output file dialogs were abandoned; batch input ended.");
}

BatchRunResult cannotOpen(const std::string& path, int error) {
  return stopRun(BatchRunStatus::kStopped,
                 "Cannot open output file " + path + ": " + std::strerror(error) + ".");
}

// Runs the name dialog on `name`. False when the run must end (cancelled or
// abandoned), with `result` saying how.
bool askName(AnalysisState& s, BatchDialogs& dialogs, std::string& name, BatchRunResult& result) {
  FileNameDialogModel dialog(name);
  if (!dialogs.fileName(dialog)) {
    result = abandoned();
    return false;
  }
  if (dialog.cancelled()) {
    s.NAMECANCEL = 1;
    result = cancelled("The output file name was cancelled; batch input ended.");
    return false;
  }
  name = dialog.buffer();
  return true;
}

void vwrite(std::FILE* file, const char* format, va_list args) {
  if (file != nullptr) std::vfprintf(file, format, args);
}

}  // namespace

std::string cutAtDotOrBlank(std::string_view name) {
  const std::size_t slash = name.find_last_of('/');
  const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t cut = name.find_first_of(". ", start);
  return std::string(name.substr(0, cut));
}

std::string fileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool fileExists(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

std::string formatStamp(const std::tm& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %d\n",
                kWeekdays[(t.tm_wday % 7 + 7) % 7], kMonths[(t.tm_mon % 12 + 12) % 12], t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
  return text;
}

BatchRunResult openOutputFiles(AnalysisState& s, BatchDialogs& dialogs, std::time_t now) {
  OutputFiles& f = s.files;
  // The previous run's files first, so that the existence test and a new
  // opening of the same names see everything that run wrote.
  f.closeBoth();
  f.SUMMNAME.clear();
  f.TRACENAME.clear();

  const std::string base = cutAtDotOrBlank(s.INNAME);
  std::string name = base;
  BatchRunResult result;
  if (!askName(s, dialogs, name, result)) return result;

  std::string summ, trace;
  for (;;) {
    summ = name + ".syq";
    trace = name + ".myq";
    s.FILECHOICE = FilesExistDialogModel::kOverwrite;
    // Both names are tested: emptying a trace matrix file nobody was asked
    // about would lose it.
    std::vector<std::string> existing;
    if (fileExists(f.pathOf(summ))) existing.push_back(summ);
    if (fileExists(f.pathOf(trace))) existing.push_back(trace);
    if (!existing.empty()) {
      FilesExistDialogModel dialog(std::move(existing));
      if (!dialogs.filesExist(dialog)) return abandoned();
      s.FILECHOICE = dialog.answer();
    }
    if (s.FILECHOICE == FilesExistDialogModel::kAbort) {
      return cancelled("The output files exist and batch input was aborted.");
    }
    if (s.FILECHOICE != FilesExistDialogModel::kChangeName) break;
    // A changed name is tested again, so that it cannot empty other files.
    name = cutAtDotOrBlank(summ);
    if (!askName(s, dialogs, name, result)) return result;
  }

  // Open both for appending first: that tests that both can be written
  // without emptying either; only then are they emptied for overwriting.
  const std::string summPath = f.pathOf(summ), tracePath = f.pathOf(trace);
  const bool summWasThere = pathPresent(summPath), traceWasThere = pathPresent(tracePath);
  std::FILE* sf = std::fopen(summPath.c_str(), "a");
  if (sf == nullptr) return cannotOpen(summPath, errno);
  std::FILE* tf = std::fopen(tracePath.c_str(), "a");
  if (tf == nullptr) {
    const int error = errno;
    std::fclose(sf);
    if (!summWasThere) std::remove(summPath.c_str());
    return cannotOpen(tracePath, error);
  }
  if (s.FILECHOICE != FilesExistDialogModel::kAppend) {
    sf = std::freopen(summPath.c_str(), "w", sf);
    if (sf == nullptr) {
      const int error = errno;
      std::fclose(tf);
      if (!traceWasThere) std::remove(tracePath.c_str());
      return cannotOpen(summPath, error);
    }
    tf = std::freopen(tracePath.c_str(), "w", tf);
    if (tf == nullptr) {
      const int error = errno;
      std::fclose(sf);
      return cannotOpen(tracePath, error);
    }
  }
  f.SUMMFILE = sf;
  f.TRACEFILE = tf;
  f.SUMMNAME = summ;
  f.TRACENAME = trace;

  std::tm local{};
  localtime_r(&now, &local);
  const std::string stamp = formatStamp(local);
  REPORT_LINE(BLANK_LINE);
  reportLinef("    Date/Time Stamp : %s", stamp.c_str());
  writeSummary(s, "Date/Time Stamp : %s", stamp.c_str());
  reportLinef("    The Tolvane Batch Input file is %s.AYQ", base.c_str());
  writeSummary(s, "The Tolvane Batch Input file is %s.AYQ\n", base.c_str());
  REPORT_SHOW();
  return {};
}

void writeSummary(AnalysisState& s, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vwrite(s.files.SUMMFILE, format, args);
  va_end(args);
}

void writeTrace(AnalysisState& s, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vwrite(s.files.TRACEFILE, format, args);
  va_end(args);
}

}  // namespace tolvane
