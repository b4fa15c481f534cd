#include "input/delimited_input.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "input/output_files.hpp"
#include "input/short_names.hpp"
#include "input/stop_report.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

void echoCounts(AnalysisState& s, std::int64_t rawLimit) {
  reportLinef("    Number of Variables = %3d.", s.NVAR);
  writeSummary(s, "%4d = NVAR, Number of Variables (Columns)\n", s.NVAR);
  reportLinef("    Number of Observations = %3lld.", static_cast<long long>(s.NOBS));
  writeSummary(s, "%4lld = NOBS, Number of Observations (Rows)\n", static_cast<long long>(s.NOBS));
  if (s.XPXFORM == 1) {
    REPORT_LINE("    Rows reduced in one pass to centred cross-products...");
    writeSummary(s, "      ...Data Input as Centred Cross-Products.\n");
    std::string why;
    if (s.precision == Precision::kSingle) {
      why = "Single precision keeps at most " + std::to_string(kMaxRawObs) +
            " rows as raw data (double precision keeps them all)";
    } else if (rawLimit == 0) {
      why = "Cross-products were asked for";
    } else {
      why = "The rows are more than the raw-data memory budget holds (" + std::to_string(rawLimit) +
            " rows of these columns)";
    }
    reportWrapped(why +
                  "; cross-products give no fitted values or residuals, no PRESS, no resampled "
                  "intervals and no observation range.");
  }
}

// The mapping is printed once, and only when some name was changed.
void echoNames(AnalysisState& s) {
  bool changed = false;
  for (int c = 1; c <= s.NVAR; ++c) {
    reportLinef("    Column No.%2d Name = %s ", c, s.VNAME[c].c_str());
    changed = changed || s.VNAME[c] != s.LONGNAME[c];
  }
  if (!changed) return;
  REPORT_LINE("    Short names in the summary and trace files:");
  writeSummary(s, "Short names in the summary and trace files:\n");
  for (int c = 1; c <= s.NVAR; ++c) {
    if (s.VNAME[c] == s.LONGNAME[c]) continue;
    reportWrapped(s.VNAME[c] + " = " + s.LONGNAME[c]);
    writeSummary(s, "%-8s = %s\n", s.VNAME[c].c_str(), s.LONGNAME[c].c_str());
  }
}

void echoMissing(AnalysisState& s, const DelimitedData& d) {
  const std::int64_t left = d.rowsRead - d.rowsKept;
  if (left == 0) return;
  std::string text = std::to_string(left) + " of " + std::to_string(d.rowsRead) +
                     " rows left out for missing values:";
  bool first = true;
  for (std::size_t c = 0; c < d.missing.size(); ++c) {
    if (d.missing[c] == 0) continue;
    text += (first ? " " : ", ") + d.names[c] + " (" + std::to_string(d.missing[c]) + ")";
    first = false;
  }
  reportWrapped(text);
  writeSummary(s, "%s\n", text.c_str());
}

}  // namespace

std::int64_t defaultRawBudget() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), size = ::sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || size <= 0) return std::int64_t{1} << 30;
  return static_cast<std::int64_t>(pages) * size / 4;
}

int maxColumns(Precision precision) {
  if (precision == Precision::kSingle) return kMaxVars;
  const double squares = static_cast<double>(defaultRawBudget()) / (64.0 * sizeof(double));
  return std::max(kMaxVars, static_cast<int>(std::min(std::sqrt(squares), 1.0e6)));
}

std::int64_t rawRowLimit(Precision precision, int columns, std::int64_t budget) {
  if (precision == Precision::kSingle) return kMaxRawObs;
  if (budget < 0) budget = defaultRawBudget();
  const std::int64_t rows = budget / (kBytesPerRawValue * std::max(columns, 1));
  // Row counts of the model matrices are int.
  return std::min<std::int64_t>(rows, std::numeric_limits<int>::max() - 1);
}

BatchRunResult loadDelimitedData(AnalysisState& s, const DelimitedData& d, const std::string& label,
                                 std::int64_t rawLimit) {
  const int m = static_cast<int>(d.names.size());
  const std::vector<std::string> shortName = shortNames(d.names);
  s.setColumnCount(m);
  s.NOBS = d.rowsKept;
  s.XPXFORM =
      d.rowsKept > rawLimit || static_cast<std::int64_t>(d.firstRowLines.size()) < d.rowsKept ? 1
                                                                                              : 0;
  for (int c = 1; c <= m; ++c) {
    s.VNAME[c] = shortName[static_cast<std::size_t>(c - 1)];
    s.LONGNAME[c] = d.names[static_cast<std::size_t>(c - 1)];
  }
  echoCounts(s, rawLimit);
  echoNames(s);
  echoMissing(s, d);
  s.CSUMS = d.sums;
  if (s.XPXFORM == 1) return {};

  const auto rows = static_cast<int>(d.rowsKept);
  if (!s.DATA.allocate(rows, m)) {
    return stopRun(StatusCode::kStopped, "Not enough memory for the data of " + label + ".");
  }
  for (int r = 1; r <= rows; ++r) {
    for (int c = 1; c <= m; ++c) {
      const double v = d.firstRows[static_cast<std::size_t>(r - 1) * static_cast<std::size_t>(m) +
                                   static_cast<std::size_t>(c - 1)];
      const double kept = stored(v);
      if (!std::isfinite(kept)) {
        s.DATA.release();
        return stopRun(StatusCode::kStopped,
                       label + " line " + std::to_string(d.firstRowLines[r - 1]) + ", column " +
                           std::to_string(d.fileColumns[static_cast<std::size_t>(c - 1)]) + " (" +
                           s.LONGNAME[c] + "): the value is beyond single precision.");
      }
      s.DATA.data[r][c] = kept;
    }
  }
  return {};
}

BatchRunResult readDelimitedInput(AnalysisState& s, std::FILE* file, const std::string& label,
                                  const DelimitedOptions& options, std::int64_t rawBudget) {
  PrecisionScope scope(s.precision);
  FileByteSource source(file);
  DelimitedData data;
  // Rows are held as they come while they fit the limit (in values, as the
  // columns are not known yet); past it they stream into the sums only.
  DelimitedOptions o = options;
  o.maxColumns = maxColumns(s.precision);
  o.columnLimitWhy = s.precision == Precision::kSingle
                         ? " in single precision (double precision takes " +
                               std::to_string(maxColumns(Precision::kDouble)) + " on this machine)"
                         : " with this machine's memory";
  std::size_t keepRows = kMaxRawObs + 1;
  if (s.precision == Precision::kDouble) {
    const std::int64_t budget = rawBudget < 0 ? defaultRawBudget() : rawBudget;
    o.keepValues = static_cast<std::size_t>(budget / kBytesPerRawValue);
    keepRows = o.keepValues == 0 ? 0 : std::numeric_limits<std::size_t>::max();
  }
  const DelimitedResult read = readDelimited(source, label, o, keepRows, data);
  if (!read.ok()) {
    BatchRunResult stopped = stopRun(read);
    stopped.textColumn = read.textColumn;
    return stopped;
  }
  return loadDelimitedData(
      s, data, label, rawRowLimit(s.precision, static_cast<int>(data.names.size()), rawBudget));
}

}  // namespace tolvane
