#include "input/prediction_data.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>
#include <vector>

#include "input/batch_line_reader.hpp"
#include "input/batch_reader.hpp"
#include "input/delimited_reader.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Status cannotOpen(const std::string& path) {
  return Status::at(path, 0, 0, "cannot open " + path + ": " + std::strerror(errno));
}

bool readValues(const std::string& path, int firstLine, int rows, DataTable* out, Status* why) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    *why = cannotOpen(path);
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
        *why = Status::at(path, row.line, static_cast<int>(column + 1),
                          path + " line " + std::to_string(row.line) + ", column " +
                              std::to_string(column + 1) + " (" + out->names[column] + "): \"" +
                              std::string(token) + "\" is not a number");
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

// The names of a delimited header line, split as RFC 4180 has it (quotes,
// doubled quotes, blanks around fields dropped), on the delimiter found as
// the delimited reader finds it: the most frequent of tab, ";" and ",".
std::vector<std::string> headerNames(std::string line) {
  if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
  char delimiter = ',';
  std::size_t most = 0;
  for (char d : {',', ';', '\t'}) {
    const auto n = static_cast<std::size_t>(std::count(line.begin(), line.end(), d));
    if (n > most) {
      most = n;
      delimiter = d;
    }
  }
  std::vector<std::string> names;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i <= line.size(); ++i) {
    const char c = i < line.size() ? line[i] : delimiter;
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == delimiter) {
      const std::size_t a = field.find_first_not_of(" \t");
      const std::size_t b = field.find_last_not_of(" \t");
      names.push_back(a == std::string::npos ? "" : field.substr(a, b - a + 1));
      field.clear();
    } else {
      field += c;
    }
  }
  return names;
}

// Delimited text through the delimited reader. Columns that scoring does not
// read are ignored, so that they may hold text. The reader leaves a row with
// a missing value out; such rows come back as rows without values on the
// lines the kept rows do not account for.
bool readDelimitedData(const std::string& path, const std::vector<std::string>& wanted,
                       DataTable* out, Status* why) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *why = cannotOpen(path);
    return false;
  }
  std::vector<std::string> header;
  std::vector<std::string> lineTexts;
  {
    BatchLineReader lines(file);
    while (lines.next())
      lineTexts.push_back(lines.text());
  }
  if (!lineTexts.empty()) header = headerNames(lineTexts[0]);
  DelimitedOptions options;
  options.maxColumns = static_cast<int>(std::min(wanted.size(), kMaxModelTerms)) + 1;
  for (const std::string& name : header) {
    if (std::find(wanted.begin(), wanted.end(), name) == wanted.end())
      options.ignore.push_back(name);
  }
  std::rewind(file);
  FileByteSource source(file);
  DelimitedData data;
  constexpr std::size_t kMostRows = 10'000'000;
  const DelimitedResult result = readDelimited(source, path, options, kMostRows, data);
  std::fclose(file);
  if (!result.ok()) {
    *why = result;
    return false;
  }
  out->names = data.names;
  const std::size_t m = data.names.size();
  std::vector<char> kept(lineTexts.size() + 2, 0);
  for (std::size_t r = 0; r < data.firstRowLines.size(); ++r) {
    const auto line = data.firstRowLines[r];
    if (line > 0 && static_cast<std::size_t>(line) < kept.size()) kept[line] = 1;
  }
  // The lines of the rows left out: non-blank data lines no kept row began on.
  std::vector<int> leftOut;
  for (std::size_t line = 2; line <= lineTexts.size(); ++line) {
    const std::string& text = lineTexts[line - 1];
    if (!kept[line] && text.find_first_not_of(" \t") != std::string::npos)
      leftOut.push_back(static_cast<int>(line));
  }
  const std::int64_t missingRows = data.rowsRead - data.rowsKept;
  const bool placeLeftOut = static_cast<std::int64_t>(leftOut.size()) == missingRows;
  std::size_t next = 0;
  for (std::size_t r = 0; r < data.firstRowLines.size(); ++r) {
    const int line = static_cast<int>(data.firstRowLines[r]);
    while (placeLeftOut && next < leftOut.size() && leftOut[next] < line) {
      out->rows.push_back({leftOut[next++], std::vector<double>(m, kNaN)});
    }
    DataTable::Row row;
    row.line = line;
    row.values.assign(data.firstRows.begin() + static_cast<long>(r * m),
                      data.firstRows.begin() + static_cast<long>((r + 1) * m));
    out->rows.push_back(std::move(row));
  }
  while (placeLeftOut && next < leftOut.size())
    out->rows.push_back({leftOut[next++], std::vector<double>(m, kNaN)});
  if (!placeLeftOut && missingRows > 0) out->unplacedMissing = missingRows;
  return true;
}

bool readBatchValues(const std::string& path, DataTable* out, Status* why) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    *why = Status::at(path, 0, 0, "cannot read " + path + ": it is a folder");
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    *why = cannotOpen(path);
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
    *why = result;
    if (why->message.empty()) *why = Status::at(path, 0, 0, "cannot read " + path);
    return false;
  }
  if (state->XPXFORM != 0) {
    *why = Status::at(path, 0, 0,
                      path + " holds cross-products, not observations: there is nothing to score");
    return false;
  }
  for (int c = 1; c <= state->NVAR; ++c)
    out->names.push_back(state->VNAME[c]);
  // Observations stand on the last NOBS lines read, one a line. The batch
  // reader takes a word for 0, as the dialogs' number fields do; a value to
  // score must be a number, so the lines are read again, strictly.
  return readValues(path, lastLine - state->NOBS + 1, state->NOBS, out, why);
}

}  // namespace

StatusOr<DataTable> readPredictionData(const std::string& path,
                                       const std::vector<std::string>& wanted) {
  DataTable table;
  table.label = path;
  Status why;
  const bool read = isDelimitedName(path) ? readDelimitedData(path, wanted, &table, &why)
                                          : readBatchValues(path, &table, &why);
  if (!read) return why;
  return table;
}

}  // namespace tolvane
