// The header record of delimited text and the dialect it shows: the
// delimiter (given, or found from the first line), the names of the
// columns, and which of them are read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/delimited_reader.hpp"

namespace tolvane::delimited {

// Which file columns are read, and the rules of one file.
struct Layout {
  char delimiter = ',';
  bool missingIsError = false;
  int fileColumns = 0;
  std::vector<int> readIndex;  // per file column: index among the columns read, or -1
  std::vector<std::string> fileNames;
  int readColumns = 0;
  DelimitedOptions::SettingNames settingNames;
};

struct HeaderRead {
  std::size_t end = 0;     // where the data begin
  std::int64_t lines = 0;  // line ends inside the header record
  // Empty when the header is good; else what follows "FILE line 1".
  std::string error;
};

// Reads the header record from b[0..n) (n > 0), which holds the whole file
// when `atEof`. Fills `layout` and, in `out`, the delimiter, the names and
// file columns of the columns read and their missing counts (zero).
HeaderRead readHeader(const char* b, std::size_t n, bool atEof, const DelimitedOptions& options,
                      Layout& layout, DelimitedData& out);

}  // namespace tolvane::delimited
