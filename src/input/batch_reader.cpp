#include "input/batch_reader.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "input/output_files.hpp"
#include "input/stop_report.hpp"
#include "input/text_number.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

constexpr std::string_view kNextLine = "NEXTLINE";

// A token quoted in a message, shortened so the message stays readable;
// control characters show as "?".
std::string quoted(std::string_view token) {
  constexpr std::size_t kShown = 16;
  std::string q = "\"" + std::string(token.substr(0, kShown));
  for (char& c : q) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  if (token.size() > kShown) q += "...";
  return q + "\"";
}

class Reader {
 public:
  Reader(AnalysisState& s, BatchLineReader& in, const std::string& label)
      : s_(s), in_(in), label_(label) {}

  BatchRunResult run() {
    if (!readCounts() || !readNames() || !allocateData()) return result_;
    const bool ok = s_.XPXFORM == 0 ? readRawData() : readCrossProducts();
    if (!ok) {
      s_.DATA.release();
      return result_;
    }
    return {};
  }

 private:
  // Reports bad input at `line` and remembers it as the result.
  bool bad(int line, const std::string& what, const char* joint = ": ") {
    result_ =
        stopRun(StatusCode::kStopped, label_ + " line " + std::to_string(line) + joint + what);
    return false;
  }

  // Reads the next line, or reports why `expected` could not be read.
  bool nextLine(const std::string& expected) {
    if (in_.next()) return true;
    const int line = in_.lineNumber();
    if (in_.tooLong()) {
      return bad(line, "longer than " + std::to_string(BatchLineReader::kMaxLineBytes) +
                           " characters; expected " + expected + ".");
    }
    if (in_.readError()) return bad(line, "the file cannot be read; expected " + expected + ".");
    return bad(line, "the file ends; expected " + expected + ".");
  }

  bool readCounts() {
    s_.XPXFORM = 0;
    s_.setColumnCount(2);
    if (!nextLine("the number of variables")) return false;
    if (const std::optional<int> v = firstInteger(in_.text()))
      s_.setColumnCount(std::clamp(*v, 2, kMaxVars));
    reportLinef("    Number of Variables = %3d.", s_.NVAR);
    writeSummary(s_, "%4d = NVAR, Number of Variables (Columns)\n", s_.NVAR);

    if (!nextLine("the number of observations")) return false;
    if (const std::optional<std::int64_t> v = firstCount(in_.text())) s_.NOBS = *v;
    if (s_.NOBS < 0) {
      s_.XPXFORM = 1;
      s_.NOBS = -s_.NOBS;
    }
    if (s_.NOBS < 5) s_.NOBS = 5;
    if (s_.NOBS > kMaxRawObs) s_.XPXFORM = 1;
    reportLinef("    Number of Observations = %3lld.", static_cast<long long>(s_.NOBS));
    if (s_.XPXFORM == 1) REPORT_LINE("    Batch Input of Data in XPX|XPY|XP1 form...");
    writeSummary(s_, "%4lld = NOBS, Number of Observations (Rows)\n",
                 static_cast<long long>(s_.NOBS));
    if (s_.XPXFORM == 1) writeSummary(s_, "      ...Data Input in XPX|XPY|XP1 Form.\n");
    return true;
  }

  bool readNames() {
    if (!nextLine("the variable names")) return false;
    Tokenizer names(in_.text(), kNameSeparators);
    for (int c = 1; c <= s_.NVAR; ++c) {
      std::string_view token;
      if (!names.next(token)) {
        return bad(in_.lineNumber(), "expected " + std::to_string(s_.NVAR) +
                                         " variable names, found " + std::to_string(c - 1) + ".");
      }
      // The first token of a continuation line is a name, whatever it says.
      if (c >= 2 && token == kNextLine) {
        const std::string expected = "name " + std::to_string(c) + " after NEXTLINE";
        if (!nextLine(expected)) return false;
        names = Tokenizer(in_.text(), kNameSeparators);
        if (!names.next(token)) return bad(in_.lineNumber(), "expected " + expected + ".");
      }
      s_.VNAME[c] = keepName(token);
      reportLinef("    Column No.%2d Name = %s ", c, s_.VNAME[c].c_str());
    }
    warnDuplicates();
    return true;
  }

  // Roles are chosen by name, so a name used twice is ambiguous on screen.
  void warnDuplicates() {
    for (int c = 1; c <= s_.NVAR; ++c) {
      if (std::find(s_.VNAME.begin() + 1, s_.VNAME.begin() + c, s_.VNAME[c]) !=
          s_.VNAME.begin() + c) {
        continue;  // reported with its first use
      }
      std::vector<int> same{c};
      for (int d = c + 1; d <= s_.NVAR; ++d) {
        if (s_.VNAME[d] == s_.VNAME[c]) same.push_back(d);
      }
      if (same.size() < 2) continue;
      std::string columns;
      for (std::size_t k = 0; k < same.size(); ++k) {
        if (k > 0) columns += k + 1 == same.size() ? " and " : ", ";
        columns += std::to_string(same[k]);
      }
      reportWrapped("Warning: columns " + columns + " share the name " + s_.VNAME[c] + ".");
    }
  }

  bool allocateData() {
    const bool ok = s_.XPXFORM == 0 ? s_.DATA.allocate(static_cast<int>(s_.NOBS), s_.NVAR)
                                    : s_.DATA.allocate(s_.NVAR - 1, s_.NVAR + 1);
    if (!ok) {
      result_ = stopRun(StatusCode::kStopped, "Not enough memory for the data of " + label_ + ".");
    }
    return ok;
  }

  std::string columnName(int column) const {
    if (s_.XPXFORM == 1 && column == s_.NVAR) return "XPY";
    if (s_.XPXFORM == 1 && column == s_.NVAR + 1) return "XP1";
    return s_.VNAME[column];
  }

  // Reads `count` numbers from the current line into DATA row `row`, from
  // column `first` on. `what` names the line's content for messages.
  bool readNumbers(int row, int first, int count, const std::string& what) {
    Tokenizer fields(in_.text(), kDataSeparators);
    for (int k = 0; k < count; ++k) {
      std::string_view token;
      if (!fields.next(token)) {
        return bad(in_.lineNumber(), "expected " + std::to_string(count) + " numbers (" + what +
                                         "), found " + std::to_string(k) + ".");
      }
      const int column = first + k;
      const double read = textToDouble(token);
      const double value = stored(read);
      if (!std::isfinite(value)) {
        return bad(
            in_.lineNumber(),
            std::to_string(column) + " (" + columnName(column) + "): value " + quoted(token) +
                (std::isfinite(read) ? " is beyond single precision." : " is not a finite number."),
            ", column ");
      }
      s_.DATA.data[row][column] = value;
    }
    return true;
  }

  bool readRawData() {
    for (int i = 1; i <= s_.NOBS; ++i) {
      const std::string what =
          "observation " + std::to_string(i) + " of " + std::to_string(s_.NOBS);
      if (!nextLine(what) || !readNumbers(i, 1, s_.NVAR, what)) return false;
    }
    return true;
  }

  bool readCrossProducts() {
    const int rows = s_.NVAR - 1, cols = s_.NVAR + 1;
    const int blocks = (cols + kBlockColumns - 1) / kBlockColumns;
    for (int b = 1; b <= blocks; ++b) {
      const int first = (b - 1) * kBlockColumns + 1;
      const int width = std::min(kBlockColumns, cols - first + 1);
      const std::string block = "block " + std::to_string(b);
      if (!nextLine("the heading of " + block)) return false;
      for (int i = 1; i <= rows; ++i) {
        const std::string what = "row " + std::to_string(i) + " of " + block;
        if (!nextLine(what) || !readNumbers(i, first, width, what)) return false;
      }
    }
    return readSum("SUMY", s_.SUMY, "      SUMY = %12.5lf") &&
           readSum("SUMSQY", s_.SUMSQY, "    SUMSQY = %12.5lf");
  }

  bool readSum(const char* name, double& sum, const char* echo) {
    if (!nextLine(name)) return false;
    Tokenizer fields(in_.text(), kDataSeparators);
    std::string_view token;
    if (!fields.next(token))
      return bad(in_.lineNumber(), std::string("expected ") + name + ", found an empty line.");
    sum = textToDouble(token);
    if (!std::isfinite(sum)) {
      return bad(in_.lineNumber(),
                 std::string(name) + " value " + quoted(token) + " is not a finite number.");
    }
    reportLinef(echo, sum);
    return true;
  }

  AnalysisState& s_;
  BatchLineReader& in_;
  const std::string& label_;
  BatchRunResult result_;
};

}  // namespace

std::string keepName(std::string_view token) {
  std::size_t keep = std::min<std::size_t>(token.size(), kMaxNameChars);
  if (keep < token.size()) {
    // Back up over continuation bytes to the lead byte of a split character.
    std::size_t k = keep;
    while (k > 0 && keep - k < 3 && (static_cast<unsigned char>(token[k]) & 0xC0) == 0x80)
      --k;
    if (k > 0 && k < keep && (static_cast<unsigned char>(token[k]) & 0xC0) == 0xC0) keep = k;
  }
  return std::string(token.substr(0, keep));
}

BatchRunResult readBatchData(AnalysisState& s, BatchLineReader& in, const std::string& fileLabel) {
  PrecisionScope scope(s.precision);
  return Reader(s, in, fileLabel).run();
}

}  // namespace tolvane
