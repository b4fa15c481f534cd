// The data records of delimited text: where records end in a block of
// bytes, and the parsing of a piece of a block into rows of numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/delimited_header.hpp"

namespace tolvane::delimited {

// The outcome of parsing one piece of a block, which starts and ends at
// record boundaries. Lines are counted from the piece's start.
struct Piece {
  const char* begin = nullptr;
  const char* end = nullptr;
  std::vector<double> rows;  // kept rows, row-major
  std::int64_t rowsRead = 0;
  std::vector<std::int64_t> missing;
  std::vector<std::int64_t> keptLines;  // line offsets of the first kept rows
  std::int64_t lines = 0;               // line ends inside the piece
  bool failed = false;
  std::int64_t errorLine = 0;
  std::string error;       // after "FILE line L"
  std::string textColumn;  // the column whose text stopped the reading
};

// Parses piece.begin..piece.end, keeping the lines of at most `keepLines`
// kept rows. Stops at the first bad record.
void parsePiece(const Layout& layout, std::size_t keepLines, Piece& piece);

// Record ends in a block. Without quotes a record ends at every line end;
// with them, a quote opens a quoted field only at the start of a field
// (after blanks), as the parser reads it.
struct Scan {
  std::size_t lastEnd = 0;  // after the last complete record; 0 when none
  bool inQuote = false;     // the block ends inside a quoted field
  // For each target offset, the first record end at or after it (none for
  // targets past the last record end).
  std::vector<std::size_t> cuts;
};

Scan scanBlock(const char* b, std::size_t n, char d, const std::vector<std::size_t>& targets);

}  // namespace tolvane::delimited
