#include "input/output_files.hpp"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/front_end_hooks.hpp"
#include "input/stop_report.hpp"
#include "report/report.hpp"
#include "report/report_and_summary.hpp"

namespace tolvane {

namespace {

constexpr const char* kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

BatchRunResult cancelled(const char* why) {
  return BatchRunResult::ended(StatusCode::kCancelled, why);
}

BatchRunResult abandoned() {
  return stopRun(StatusCode::kStopped,
                 "The output file dialogs were abandoned; batch input ended.");
}

std::string capitalized(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 32);
  return text;
}

// Runs the name dialog on `name`. False when the run must end (cancelled or
// abandoned), with `result` saying how.
bool askName(BatchDialogs& dialogs, std::string& name, BatchRunResult& result) {
  FileNameDialogModel dialog(name);
  if (!dialogs.fileName(dialog)) {
    result = abandoned();
    return false;
  }
  if (dialog.cancelled()) {
    result = cancelled("The output file name was cancelled; batch input ended.");
    return false;
  }
  // A refused OK left open, or a close box over an empty default name.
  if (dialog.exit() == FileNameDialogModel::Exit::kOpen ||
      !FileNameDialogModel::usableName(dialog.buffer())) {
    result = stopRun(StatusCode::kStopped,
                     std::string(FileNameDialogModel::kEmptyName) + " Batch input stopped.");
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

BatchRunResult openOutputFiles(AnalysisState& s, BatchDialogs& dialogs, std::time_t now,
                               bool delimited) {
  OutputFiles& f = s.files;
  // The previous run's files first, so that the existence test and a new
  // opening of the same names see everything that run wrote.
  f.closeBoth();
  f.SUMMNAME.clear();
  f.TRACENAME.clear();

  const std::string base = cutAtDotOrBlank(s.INNAME);
  std::string name = base;
  BatchRunResult result;
  if (!askName(dialogs, name, result)) return result;

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
    if (!askName(dialogs, name, result)) return result;
  }

  // Both are written beside the files of those names, which stay exactly as
  // they are until the run has read its data (commitOutputFiles).
  if (const Status opened = f.openBoth(f.pathOf(summ), f.pathOf(trace),
                                       s.FILECHOICE == FilesExistDialogModel::kAppend);
      !opened.ok()) {
    return stopRun(StatusCode::kStopped, capitalized(opened.message) + ".");
  }
  f.SUMMNAME = summ;
  f.TRACENAME = trace;

  std::tm local{};
  localtime_r(&now, &local);
  const std::string stamp = formatStamp(local);
  REPORT_LINE(BLANK_LINE);
  const std::string day = stamp.substr(0, stamp.find('\n'));  // the stamp ends its line
  reportAndSummaryf(f.SUMMFILE, "Date/Time Stamp : %s", day.c_str());
  // A batch input file is named in the classic way; delimited text by its
  // own name (its name with .AYQ would be a file that does not exist).
  const std::string shown = delimited ? s.INNAME : base + ".AYQ";
  reportAndSummaryf(f.SUMMFILE, "The Tolvane Batch Input file is %s", shown.c_str());
  REPORT_SHOW();
  return {};
}

BatchRunResult commitOutputFiles(AnalysisState& s) {
  const Status committed = s.files.commitBoth();
  if (!committed.ok()) return stopRun(StatusCode::kStopped, capitalized(committed.message) + ".");
  return {};
}

BatchRunResult checkOutputFiles(AnalysisState& s) {
  const Status flushed = s.files.flushBoth();
  if (flushed.ok()) return {};
  const std::string& why = flushed.message;
  s.files.revertBoth();
  outputFailed(why);
  return stopRun(StatusCode::kStopped,
                 capitalized(why) +
                     ". This run's output files were removed (appended ones cut back to their "
                     "old length).");
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
