#include "input/prediction_data.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "input/batch_line_reader.hpp"
#include "input/batch_reader.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

bool readValues(const std::string& path, int firstLine, int rows, DataTable* out,
                std::string* why) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    *why = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  BatchLineReader in(file);
  bool ok = true;
  while (ok && static_cast<int>(out->rows.size()) < rows && in.next()) {
    if (in.lineNumber() < firstLine) continue;
    DataTable::Row row;
    row.line = in.lineNumber();
    Tokenizer tokens(in.text(), kDataSeparators);
    std::string_view token;
    while (row.values.size() < out->names.size() && tokens.next(token)) {
      double value = 0.0;
      const char* end = token.data() + token.size();
      const auto parsed = std::from_chars(token.data(), end, value);
      if (parsed.ec != std::errc() || parsed.ptr != end || !std::isfinite(value)) {
        const std::size_t column = row.values.size();
        *why = path + " line " + std::to_string(row.line) + ", column " +
               std::to_string(column + 1) + " (" + out->names[column] + "): \"" +
               std::string(token) + "\" is not a number";
        ok = false;
        break;
      }
      row.values.push_back(value);
    }
    if (ok) out->rows.push_back(std::move(row));
  }
  std::fclose(file);
  return ok;
}

}  // namespace

bool readPredictionData(const std::string& path, DataTable* out, std::string* why) {
  *out = DataTable{};
  out->label = path;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    *why = "cannot read " + path + ": it is a folder";
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    *why = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  auto state = std::make_unique<AnalysisState>();
  BatchRunResult result;
  int lastLine = 0;
  {
    // The reader echoes names and data to the report; scoring shows none.
    std::vector<std::string> lines;
    ReportCapture quiet(&lines);
    BatchLineReader in(file);
    result = readBatchData(*state, in, path);
    lastLine = in.lineNumber();
  }
  std::fclose(file);
  if (!result.completed()) {
    *why = result.reason.empty() ? "cannot read " + path : result.reason;
    return false;
  }
  if (state->XPXFORM != 0) {
    *why = path + " holds cross-products, not observations: there is nothing to score";
    return false;
  }
  for (int c = 1; c <= state->NVAR; ++c)
    out->names.push_back(state->VNAME[c]);
  // Observations stand on the last NOBS lines read, one a line. The batch
  // reader takes a word for 0, as the dialogs' number fields do; a value to
  // score must be a number, so the lines are read again, strictly.
  return readValues(path, lastLine - state->NOBS + 1, state->NOBS, out, why);
}

}  // namespace tolvane
