#include "input/delimited_records.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "input/delimited_field.hpp"

namespace tolvane::delimited {

namespace {

bool missingMarker(std::string_view f) {
  return f.empty() || f == "." || equalNoCase(f, "NA") || equalNoCase(f, "NaN");
}

class PieceParser {
 public:
  PieceParser(const Layout& layout, std::size_t keepLines, Piece& piece)
      : L_(layout), keepLines_(keepLines), out_(piece) {}

  void run() {
    out_.missing.assign(static_cast<std::size_t>(L_.readColumns), 0);
    row_.assign(static_cast<std::size_t>(L_.readColumns), 0.0);
    const char* p = out_.begin;
    while (p < out_.end && !out_.failed)
      p = record(p);
  }

 private:
  bool fail(std::int64_t line, std::string what) {
    if (!out_.failed) {
      out_.failed = true;
      out_.errorLine = line;
      out_.error = std::move(what);
    }
    return false;
  }

  std::string where(int column) const {
    return ", column " + std::to_string(column + 1) + " (" +
           L_.fileNames[static_cast<std::size_t>(column)] + "): ";
  }

  std::string tooLong() const {
    return ": longer than " + std::to_string(kMaxRecordBytes) + " bytes.";
  }

  // One record from `p`; returns where the next begins.
  const char* record(const char* p) {
    const char* const end = out_.end;
    const std::int64_t line = out_.lines;
    const char* const start = p;
    // An empty line holds no record.
    if (*p == '\n' || (*p == '\r' && p + 1 < end && p[1] == '\n')) {
      ++out_.lines;
      return p + (*p == '\r' ? 2 : 1);
    }
    int column = 0;
    bool missingRow = false;
    for (;;) {
      const Field f = readField(p, end, L_.delimiter, scratch_);
      if (f.end == FieldEnd::kOpenQuote) {
        fail(out_.lines, ", column " + std::to_string(column + 1) +
                             ": a quote opened on this line is never closed.");
        return end;
      }
      out_.lines += f.lineEnds;
      if (f.end == FieldEnd::kTextAfterQuote) {
        fail(out_.lines, ", column " + std::to_string(column + 1) +
                             ": text after the closing quote of a quoted field.");
        return end;
      }
      if (static_cast<std::size_t>(f.stop - start) > kMaxRecordBytes) {
        fail(line, tooLong());
        return end;
      }
      if (column < L_.fileColumns && !takeField(f.text, column, line, missingRow)) return end;
      ++column;
      p = f.next;
      if (f.end == FieldEnd::kRecordEnd) break;
    }
    if (static_cast<std::size_t>(p - start) > kMaxRecordBytes) {
      fail(line, tooLong());
      return end;
    }
    if (column != L_.fileColumns) {
      fail(line, ": " + std::to_string(column) + (column == 1 ? " field" : " fields") +
                     ", but the header has " + std::to_string(L_.fileColumns) + " columns.");
      return end;
    }
    ++out_.rowsRead;
    if (!missingRow) {
      out_.rows.insert(out_.rows.end(), row_.begin(), row_.end());
      if (out_.keptLines.size() < keepLines_) out_.keptLines.push_back(line);
    }
    return p;
  }

  bool takeField(std::string_view f, int column, std::int64_t line, bool& missingRow) {
    const int idx = L_.readIndex[static_cast<std::size_t>(column)];
    if (idx < 0) return true;
    if (missingMarker(f)) {
      if (L_.missingIsError) {
        const std::string& setting = L_.settingNames.missingError;
        return fail(
            line, where(column) + "missing value " + shown(f) +
                      (setting.empty() ? " (were missing values allowed" : " (without " + setting) +
                      ", the row would be left out).");
      }
      ++out_.missing[static_cast<std::size_t>(idx)];
      missingRow = true;
      return true;
    }
    const char* s = f.data();
    const char* e = s + f.size();
    if (*s == '+' && e - s > 1 && s[1] != '-' && s[1] != '+') ++s;
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(s, e, v);
    if (ptr == e && ec == std::errc() && std::isfinite(v)) {
      row_[static_cast<std::size_t>(idx)] = v;
      return true;
    }
    return notANumber(f, s, e, ptr == e, ec, column, line, idx);
  }

  // A field that std::from_chars did not take as a finite double: `whole`
  // when it read to the end.
  bool notANumber(std::string_view f, const char* s, const char* e, bool whole, std::errc ec,
                  int column, std::int64_t line, int idx) {
    if (whole && ec == std::errc::result_out_of_range) {
      // Too large or too small for double: strtod tells which.
      const std::string copy(s, e);
      const double v = std::strtod(copy.c_str(), nullptr);
      if (std::isfinite(v)) {
        row_[static_cast<std::size_t>(idx)] = v;
        return true;
      }
      return fail(line, where(column) + "the number " + shown(f) + " overflows double precision.");
    }
    if (whole && ec == std::errc()) {
      return fail(line, where(column) + shown(f) + " is not a finite number.");
    }
    if (std::memchr(f.data(), '\0', f.size()) != nullptr) {
      return fail(line, where(column) + "binary data (a NUL byte); this is not a text file.");
    }
    const std::string& name = L_.fileNames[static_cast<std::size_t>(column)];
    if (!out_.failed) out_.textColumn = name;
    const std::string& ignore = L_.settingNames.ignore;
    return fail(
        line,
        where(column) + shown(f) + " is not a number" +
            (ignore.empty() ? "." : "; leave the column out with " + ignore + " " + name + "."));
  }

  const Layout& L_;
  std::size_t keepLines_;
  Piece& out_;
  std::vector<double> row_;
  std::string scratch_;
};

Scan scanQuoted(const char* b, std::size_t n, char d, const std::vector<std::size_t>& targets) {
  Scan s;
  enum { kFieldStart, kUnquoted, kQuoted, kQuoteSeen } st = kFieldStart;
  std::size_t next = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = b[i];
    switch (st) {
      case kFieldStart:
        if (c == '"')
          st = kQuoted;
        else if (c != ' ' && c != '\t' && c != d && c != '\n')
          st = kUnquoted;
        break;
      case kUnquoted:
        break;
      case kQuoted:
        if (c == '"') st = kQuoteSeen;
        continue;
      case kQuoteSeen:
        if (c == '"') {
          st = kQuoted;
          continue;
        }
        st = kUnquoted;
        break;
    }
    if (c == d) {
      st = kFieldStart;
    } else if (c == '\n') {
      st = kFieldStart;
      s.lastEnd = i + 1;
      while (next < targets.size() && targets[next] <= i) {
        s.cuts.push_back(i + 1);
        ++next;
      }
    }
  }
  s.inQuote = st == kQuoted;
  return s;
}

}  // namespace

void parsePiece(const Layout& layout, std::size_t keepLines, Piece& piece) {
  PieceParser(layout, keepLines, piece).run();
}

Scan scanBlock(const char* b, std::size_t n, char d, const std::vector<std::size_t>& targets) {
  if (std::memchr(b, '"', n) != nullptr) return scanQuoted(b, n, d, targets);
  Scan s;
  const void* last = memrchr(b, '\n', n);
  if (last != nullptr) s.lastEnd = static_cast<std::size_t>(static_cast<const char*>(last) - b) + 1;
  for (std::size_t t : targets) {
    if (t >= s.lastEnd) break;
    const void* nl = std::memchr(b + t, '\n', s.lastEnd - t);
    s.cuts.push_back(static_cast<std::size_t>(static_cast<const char*>(nl) - b) + 1);
  }
  return s;
}

}  // namespace tolvane::delimited
