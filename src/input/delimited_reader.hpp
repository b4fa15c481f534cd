// Reading delimited text (CSV, TSV and the like) of any length.
//
// The first record holds the column names. Fields follow RFC 4180: a field
// may be quoted, a quote inside a quoted field is doubled, a quoted field may
// hold delimiters and line ends. Lines end in LF or CRLF; a UTF-8
// byte-order mark is skipped; blanks around fields are dropped; numbers are
// converted with std::from_chars (decimal point ".", whatever the locale).
// Empty lines are skipped.
//
// Missing values (an empty field, NA, NaN, ".") leave their row out, counted
// per column; a column holding other text is an error unless it is ignored.
//
// The rows are reduced as they are read, in blocks of a few megabytes parsed
// by several threads, to centred sums (see comoment_accumulator.hpp); only
// the first rows are kept as they are, while they are few enough to be the
// raw data of an analysis. Memory does not grow with the length of the file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/centred_sums.hpp"
#include "input/byte_source.hpp"
#include "report/status.hpp"

namespace tolvane {

// A record (a line, or the lines of a quoted field) longer than this is
// refused, so that no input makes memory grow without bound.
inline constexpr std::size_t kMaxRecordBytes = std::size_t{1} << 20;

struct DelimitedOptions {
  char delimiter = 0;               // ',', ';' or '\t'; 0 finds it from the header line
  bool missingIsError = false;      // the first missing value stops the reading
  std::vector<std::string> ignore;  // full names of columns that are not read
  // What the caller calls the settings a message may advise changing: the
  // batch tool its options ("--ignore", "--delimiter", "--missing error").
  // Left empty, messages speak of the settings themselves and a column of
  // text gets no advice (the desktop program asks instead).
  struct SettingNames {
    std::string ignore;        // leaves a column out
    std::string delimiter;     // chooses the delimiter
    std::string missingError;  // stops at the first missing value
  } settingNames;
  // When not 0, the rows held as they are (DelimitedData::firstRows) are
  // also at most keepValues / (columns read), plus one: a caller's limit
  // for raw data in values rather than rows.
  std::size_t keepValues = 0;
  // At most this many columns are read; `columnLimitWhy` (may be empty) says
  // after the number what sets the limit ("in single precision").
  int maxColumns = 50;
  std::string columnLimitWhy;
  unsigned threads = 0;               // 0: one per processor, at most 8
  std::size_t blockBytes = 8u << 20;  // bytes parsed at once (tests make it small)
  // Called after each block with the share of the input read (0 to 1, or -1
  // when the size is unknown); returning false cancels the reading.
  std::function<bool(double)> progress;
};

struct DelimitedData {
  char delimiter = ',';
  std::vector<std::string> names;     // full names of the columns read, in file order
  std::vector<int> fileColumns;       // the 1-based file column of each
  std::int64_t rowsRead = 0;          // data rows in the file
  std::int64_t rowsKept = 0;          // rows without a missing value
  std::vector<std::int64_t> missing;  // per column read: missing values met
  // The first rows kept (at most keepRows of them), row-major, with the line
  // each began on.
  std::vector<double> firstRows;
  std::vector<std::int64_t> firstRowLines;
  CentredSums sums;  // over every row kept
};

// How the reading ended: ok, stopped by bad input (the message one sentence
// naming the file `label`, the line and, where there is one, the column;
// file and line set as well), or cancelled through the progress function.
struct DelimitedResult : Status {
  // When the input was bad because a column holds text: its full name. The
  // file may read well without it.
  std::string textColumn;
};

// Reads all of `in`. `keepRows` is how many of the first rows kept are held
// as they are (the caller's limit for raw data plus one, so that it can tell
// whether the limit was passed).
DelimitedResult readDelimited(ByteSource& in, const std::string& label,
                              const DelimitedOptions& options, std::size_t keepRows,
                              DelimitedData& out);

// True for names that read as delimited text: .csv, .tsv, .txt (any case).
bool isDelimitedName(std::string_view path);

}  // namespace tolvane
