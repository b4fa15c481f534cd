#include "cli/trace_csv.hpp"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

#include "report/csv_field.hpp"
#include "report/output_file.hpp"

namespace tolvane {

namespace {

// One table: `header` cells, then for each row an optional leading value and
// the matrix row.
// Enough significant digits to read every value back exactly: 9 for a
// single-precision value, 17 for a double.
std::string tableText(const std::vector<std::string>& header, const MatrixRec& m,
                      const std::function<bool(int row, double* lead)>& leading,
                      Precision precision) {
  const bool single = precision == Precision::kSingle;
  const char* first = single ? "%.9g" : "%.17g";
  const char* next = single ? ",%.9g" : ",%.17g";
  std::string text;
  for (std::size_t i = 0; i < header.size(); ++i)
    text += (i == 0 ? "" : ",") + csvField(header[i]);
  text += '\n';
  char cell[40];
  for (int i = 1; i <= m.rows; ++i) {
    double lead = 0.0;
    const bool hasLead = leading && leading(i, &lead);
    if (hasLead) {
      std::snprintf(cell, sizeof cell, first, lead);
      text += cell;
    }
    for (int j = 1; j <= m.cols; ++j) {
      std::snprintf(cell, sizeof cell, (j == 1 && !hasLead) ? first : next, m.data[i][j]);
      text += cell;
    }
    text += '\n';
  }
  return text;
}

Status writeTable(const std::string& path, const std::vector<std::string>& header,
                  const MatrixRec& m, const std::function<bool(int row, double* lead)>& leading,
                  Precision precision) {
  return writeFileAtomically(path, tableText(header, m, leading, precision));
}

Status makeFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return Status::at(folder, 0, 0, "cannot make the folder " + folder + ": " + ec.message());
  return {};
}

}  // namespace

Status writeTraceCsvs(const AnalysisState& s, const std::string& folder, int number) {
  if (Status made = makeFolder(folder); !made.ok()) return made;
  const std::string base =
      (std::filesystem::path(folder) / ("path" + std::to_string(number) + "_")).string();
  std::vector<std::string> predictors{"MCAL"}, axes{"MCAL"};
  for (int j = 1; j <= s.P; ++j) {
    predictors.push_back(s.predictorName(j).empty() ? "x" + std::to_string(j) : s.predictorName(j));
    axes.push_back("axis" + std::to_string(j));
  }
  const int msteps = s.MSTEPS > 0 ? s.MSTEPS : 1;
  const auto mcal = [msteps](int row, double* lead) {
    *lead = static_cast<double>(row - 1) / msteps;
    return true;
  };
  const struct {
    const char* name;
    const MatrixRec& m;
    const std::vector<std::string>& header;
  } traces[] = {{"cyq", s.CYQ, predictors},
                {"ryq", s.RYQ, predictors},
                {"eyq", s.EYQ, axes},
                {"iyq", s.IYQ, predictors},
                {"dyq", s.DYQ, axes}};
  for (const auto& t : traces) {
    if (!t.m.exists()) continue;
    if (Status written = writeTable(base + t.name + ".csv", t.header, t.m, mcal, s.precision);
        !written.ok()) {
      return written;
    }
  }
  // 3YQ carries its own MCAL column.
  if (!s.THREEYQ.exists()) return {};
  return writeTable(base + "3yq.csv", {"MCAL", "constant", "CLIK", "RCOEF", "EBAYS"}, s.THREEYQ,
                    nullptr, s.precision);
}

Status writeShapeTableCsv(const AnalysisState& s, const std::string& folder) {
  if (!s.QYQ.exists()) return {};
  if (Status made = makeFolder(folder); !made.ok()) return made;
  return writeTable((std::filesystem::path(folder) / "qyq.csv").string(),
                    {"Q-shape", "MCAL", "Konst", "CRLQ", "Chi-Sq"}, s.QYQ, nullptr, s.precision);
}

}  // namespace tolvane
