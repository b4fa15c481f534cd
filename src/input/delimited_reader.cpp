#include "input/delimited_reader.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>

#include "engine/comoment_accumulator.hpp"

namespace tolvane {

namespace {

constexpr unsigned kMaxThreads = 8;

bool blank(char c, char delimiter) {
  return c == ' ' || (c == '\t' && delimiter != '\t');
}

// A field's text as a message shows it: at most 24 bytes, control
// characters as "?".
std::string shown(std::string_view text) {
  constexpr std::size_t kShown = 24;
  std::string q(text.substr(0, kShown));
  for (char& c : q) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return "\"" + q + (text.size() > kShown ? "...\"" : "\"");
}

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool missingMarker(std::string_view f) {
  return f.empty() || f == "." || equalNoCase(f, "NA") || equalNoCase(f, "NaN");
}

bool validUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t more = 0;
    if (c < 0x80) {
      ++i;
      continue;
    }
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
    } else if ((c >> 4) == 0xE) {
      more = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
    } else {
      return false;
    }
    if (i + more >= s.size()) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += more + 1;
  }
  return true;
}

// Which file columns are read, and the rules of one file.
struct Layout {
  char delimiter = ',';
  bool missingIsError = false;
  int fileColumns = 0;
  std::vector<int> readIndex;  // per file column: index among the columns read, or -1
  std::vector<std::string> fileNames;
  int readColumns = 0;
  std::string leaveOutAdvice;
};

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

  // One record from `p`; returns where the next begins.
  const char* record(const char* p) {
    const char* const end = out_.end;
    const char d = L_.delimiter;
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
      while (p < end && blank(*p, d))
        ++p;
      std::string_view field;
      if (p < end && *p == '"') {
        const std::int64_t quoteLine = out_.lines;
        ++p;
        const char* fieldStart = p;
        bool doubled = false;
        for (;;) {
          const char* q = static_cast<const char*>(std::memchr(p, '"', end - p));
          if (q == nullptr) {
            fail(quoteLine, ", column " + std::to_string(column + 1) +
                                ": a quote opened on this line is never closed.");
            return end;
          }
          out_.lines += std::count(p, q, '\n');
          if (q + 1 < end && q[1] == '"') {
            if (!doubled)
              scratch_.assign(fieldStart, q + 1);
            else
              scratch_.append(p, q + 1);
            doubled = true;
            p = q + 2;
            continue;
          }
          if (doubled) scratch_.append(p, q);
          field = doubled ? std::string_view(scratch_)
                          : std::string_view(fieldStart, static_cast<std::size_t>(q - fieldStart));
          p = q + 1;
          break;
        }
        while (p < end && blank(*p, d))
          ++p;
        if (p < end && *p != d && *p != '\n' && !(*p == '\r' && (p + 1 == end || p[1] == '\n'))) {
          fail(out_.lines, ", column " + std::to_string(column + 1) +
                               ": text after the closing quote of a quoted field.");
          return end;
        }
      } else {
        const char* fs = p;
        while (p < end && *p != d && *p != '\n')
          ++p;
        const char* fe = p;
        if (fe > fs && fe[-1] == '\r') --fe;
        while (fe > fs && blank(fe[-1], d))
          --fe;
        field = std::string_view(fs, static_cast<std::size_t>(fe - fs));
      }
      if (static_cast<std::size_t>(p - start) > kMaxRecordBytes) {
        fail(line, ": longer than " + std::to_string(kMaxRecordBytes) + " bytes.");
        return end;
      }
      if (column < L_.fileColumns && !takeField(field, column, line, missingRow)) return end;
      ++column;
      if (p < end && *p == d) {
        ++p;
        continue;
      }
      if (p < end && *p == '\r') ++p;
      if (p < end && *p == '\n') {
        ++p;
        ++out_.lines;
      }
      break;
    }
    if (static_cast<std::size_t>(p - start) > kMaxRecordBytes) {
      fail(line, ": longer than " + std::to_string(kMaxRecordBytes) + " bytes.");
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
        return fail(line, where(column) + "missing value " + shown(f) +
                              " (without --missing error, the row would be left out).");
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
    if (ptr == e && ec == std::errc::result_out_of_range) {
      // Too large or too small for double: strtod tells which.
      const std::string copy(s, e);
      v = std::strtod(copy.c_str(), nullptr);
      if (std::isfinite(v)) {
        row_[static_cast<std::size_t>(idx)] = v;
        return true;
      }
      return fail(line, where(column) + "the number " + shown(f) + " overflows double precision.");
    }
    if (ptr == e && ec == std::errc()) {
      return fail(line, where(column) + shown(f) + " is not a finite number.");
    }
    if (std::memchr(f.data(), '\0', f.size()) != nullptr) {
      return fail(line, where(column) + "binary data (a NUL byte); this is not a text file.");
    }
    const std::string& name = L_.fileNames[static_cast<std::size_t>(column)];
    if (!out_.failed) out_.textColumn = name;
    return fail(
        line, where(column) + shown(f) + " is not a number" +
                  (L_.leaveOutAdvice.empty() ? "." : "; " + L_.leaveOutAdvice + " " + name + "."));
  }

  const Layout& L_;
  std::size_t keepLines_;
  Piece& out_;
  std::vector<double> row_;
  std::string scratch_;
};

// Scanning a block for record ends. Without quotes a record ends at every
// line end; with them, a quote opens a quoted field only at the start of a
// field (after blanks), as the parser reads it.
struct Scan {
  std::size_t lastEnd = 0;  // after the last complete record; 0 when none
  bool inQuote = false;     // the block ends inside a quoted field
  std::vector<std::size_t> cuts;
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

// Fields of the header record (names are never numbers, so they are read
// apart from the data, one record only). Returns where the data begin.
struct Header {
  std::vector<std::string> names;
  std::size_t end = 0;
  std::int64_t lines = 0;  // line ends inside the header record
  std::string error;
};

Header readHeader(const char* b, std::size_t n, char d, bool atEof) {
  Header h;
  std::size_t i = 0;
  std::string field;
  for (;;) {
    while (i < n && blank(b[i], d))
      ++i;
    field.clear();
    if (i < n && b[i] == '"') {
      ++i;
      for (;;) {
        if (i >= n) {
          h.error =
              atEof ? "a quote opened in the header is never closed."
                    : "the header is longer than " + std::to_string(kMaxRecordBytes) + " bytes.";
          return h;
        }
        if (b[i] == '"') {
          if (i + 1 < n && b[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        if (b[i] == '\n') ++h.lines;
        field += b[i++];
      }
      while (i < n && blank(b[i], d))
        ++i;
      if (i < n && b[i] != d && b[i] != '\n' && b[i] != '\r') {
        h.error = "column " + std::to_string(h.names.size() + 1) +
                  ": text after the closing quote of a quoted name.";
        return h;
      }
    } else {
      const std::size_t fs = i;
      while (i < n && b[i] != d && b[i] != '\n')
        ++i;
      std::size_t fe = i;
      if (fe > fs && b[fe - 1] == '\r') --fe;
      while (fe > fs && blank(b[fe - 1], d))
        --fe;
      field.assign(b + fs, fe - fs);
    }
    h.names.push_back(field);
    if (i < n && b[i] == d) {
      ++i;
      continue;
    }
    if (i < n && b[i] == '\r') ++i;
    if (i < n && b[i] == '\n') {
      ++i;
      ++h.lines;
    } else if (i >= n && !atEof) {
      h.error = "the header is longer than " + std::to_string(kMaxRecordBytes) + " bytes.";
      return h;
    }
    break;
  }
  h.end = i;
  return h;
}

// The delimiter that occurs most often in the header outside quotes: comma,
// then tab, then semicolon on a tie.
char detectDelimiter(const char* b, std::size_t n) {
  std::size_t comma = 0, tab = 0, semi = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = b[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n') break;
    comma += c == ',';
    tab += c == '\t';
    semi += c == ';';
  }
  if (tab > comma && tab >= semi) return '\t';
  if (semi > comma && semi > tab) return ';';
  return ',';
}

const char* delimiterName(char d) {
  return d == '\t' ? "tab" : d == ';' ? "semicolon" : "comma";
}

class Reader {
 public:
  Reader(ByteSource& in, const std::string& label, const DelimitedOptions& o, std::size_t keepRows,
         DelimitedData& out)
      : in_(in), label_(label), o_(o), keepRows_(keepRows), out_(out), acc_(0) {}

  DelimitedResult run() {
    buf_.resize(std::max<std::size_t>(o_.blockBytes, 64));
    fill();
    if (in_.failed()) return bad(1, ": the file cannot be read.");
    std::size_t pos = 0;
    if (have_ >= 3 && std::memcmp(buf_.data(), "\xEF\xBB\xBF", 3) == 0) pos = 3;
    if (!header(pos)) return result_;
    threads_ = o_.threads != 0 ? o_.threads : std::max(1u, std::thread::hardware_concurrency());
    threads_ = std::min(threads_, kMaxThreads);
    acc_ = ComomentAccumulator(layout_.readColumns);
    if (!data(pos)) return result_;
    finish();
    if (out_.rowsRead == 0) return bad(line_, ": no data rows after the header line.");
    if (out_.rowsKept == 0) {
      return bad(line_ - 1, ": every one of the " + std::to_string(out_.rowsRead) +
                                " data rows has a missing value; no row is left to analyse.");
    }
    return {};
  }

 private:
  DelimitedResult bad(std::int64_t line, const std::string& what) {
    result_ = {DelimitedStatus::kBadInput, label_ + " line " + std::to_string(line) + what, {}};
    return result_;
  }

  void fill() {
    while (!eof_ && have_ < buf_.size()) {
      const std::size_t n = in_.read(buf_.data() + have_, buf_.size() - have_);
      if (n == 0) eof_ = true;
      have_ += n;
      bytesRead_ += n;
    }
  }

  bool header(std::size_t& pos) {
    const char* b = buf_.data() + pos;
    const std::size_t n = have_ - pos;
    if (n == 0) {
      bad(1, ": the file is empty; the first line must name the columns.");
      return false;
    }
    const char d = o_.delimiter != 0 ? o_.delimiter : detectDelimiter(b, n);
    out_.delimiter = d;
    Header h = readHeader(b, std::min(n, kMaxRecordBytes), d, eof_ || n < kMaxRecordBytes);
    if (!h.error.empty()) {
      bad(1, (h.error.rfind("column", 0) == 0 ? ", " : ": ") + h.error);
      return false;
    }
    const auto& names = h.names;
    layout_.delimiter = d;
    layout_.missingIsError = o_.missingIsError;
    layout_.leaveOutAdvice = o_.leaveOutAdvice;
    layout_.fileColumns = static_cast<int>(names.size());
    layout_.fileNames = names;
    for (std::size_t c = 0; c < names.size(); ++c) {
      const std::string col = ", column " + std::to_string(c + 1);
      if (names[c].empty()) {
        bad(1, col + ": the column name is empty.");
        return false;
      }
      if (!validUtf8(names[c]) || std::any_of(names[c].begin(), names[c].end(), [](char ch) {
            return static_cast<unsigned char>(ch) < 0x20;
          })) {
        bad(1, col + ": the name " + shown(names[c]) +
                   " is not text (binary data, control characters or invalid UTF-8).");
        return false;
      }
      for (std::size_t e = 0; e < c; ++e) {
        if (names[e] == names[c]) {
          bad(1, col + ": the name " + names[c] + " is used again (first in column " +
                     std::to_string(e + 1) + ").");
          return false;
        }
      }
    }
    if (names.size() < 2) {
      bad(1, ": one column only (with the " + std::string(delimiterName(d)) +
                 " as delimiter); a model needs a response and a predictor. Choose the "
                 "delimiter with --delimiter if the file has another.");
      return false;
    }
    for (const std::string& ig : o_.ignore) {
      if (std::find(names.begin(), names.end(), ig) == names.end()) {
        bad(1, ": --ignore " + ig + ": no column has that name.");
        return false;
      }
    }
    layout_.readIndex.assign(names.size(), -1);
    for (std::size_t c = 0; c < names.size(); ++c) {
      if (std::find(o_.ignore.begin(), o_.ignore.end(), names[c]) != o_.ignore.end()) continue;
      layout_.readIndex[c] = layout_.readColumns++;
      out_.names.push_back(names[c]);
      out_.fileColumns.push_back(static_cast<int>(c) + 1);
    }
    if (layout_.readColumns < 2) {
      bad(1, ": fewer than 2 columns are left to read after --ignore.");
      return false;
    }
    if (layout_.readColumns > kMaxReadColumns) {
      bad(1, ": " + std::to_string(layout_.readColumns) +
                 " columns to read; Tolvane takes at most " + std::to_string(kMaxReadColumns) +
                 ". Choose fewer by leaving columns out with --ignore NAME (repeatable).");
      return false;
    }
    out_.missing.assign(static_cast<std::size_t>(layout_.readColumns), 0);
    pos += h.end;
    line_ = 1 + h.lines;
    return true;
  }

  bool data(std::size_t pos) {
    const std::uint64_t total = in_.size();
    for (;;) {
      std::memmove(buf_.data(), buf_.data() + pos, have_ - pos);
      have_ -= pos;
      pos = 0;
      fill();
      if (in_.failed()) {
        bad(line_, ": the file cannot be read.");
        return false;
      }
      if (have_ == 0) return true;
      std::vector<std::size_t> targets;
      for (unsigned t = 1; t < threads_; ++t)
        targets.push_back(have_ * t / threads_);
      Scan scan = scanBlock(buf_.data(), have_, layout_.delimiter, targets);
      std::size_t usable = scan.lastEnd;
      if (eof_) {
        usable = have_;
      } else if (usable == 0) {
        bad(line_, scan.inQuote ? ": a quoted field that begins here runs on for more than " +
                                      std::to_string(buf_.size()) +
                                      " bytes; a quote is probably never closed."
                                : ": longer than " + std::to_string(kMaxRecordBytes) + " bytes.");
        return false;
      }
      if (!parseBlock(usable, scan.cuts)) return false;
      pos = usable;
      if (o_.progress) {
        const double share = total > 0
                                 ? std::min(1.0, static_cast<double>(bytesRead_ - (have_ - pos)) /
                                                     static_cast<double>(total))
                                 : -1.0;
        if (!o_.progress(share)) {
          result_ = {DelimitedStatus::kCancelled, "Reading " + label_ + " was cancelled.", {}};
          return false;
        }
      }
      if (eof_ && pos == have_) return true;
    }
  }

  bool parseBlock(std::size_t usable, const std::vector<std::size_t>& cuts) {
    std::vector<std::size_t> bounds{0};
    for (std::size_t c : cuts) {
      if (c > bounds.back() && c < usable) bounds.push_back(c);
    }
    bounds.push_back(usable);
    std::vector<Piece> pieces(bounds.size() - 1);
    for (std::size_t k = 0; k + 1 < bounds.size(); ++k) {
      pieces[k].begin = buf_.data() + bounds[k];
      pieces[k].end = buf_.data() + bounds[k + 1];
    }
    const std::size_t keepLines = keepRows_;
    runParallel(pieces.size(), [&](std::size_t k) {
      try {
        PieceParser(layout_, keepLines, pieces[k]).run();
      } catch (const std::bad_alloc&) {
        pieces[k].failed = true;
        pieces[k].errorLine = 0;
        pieces[k].error = ": out of memory while reading.";
      }
    });
    const auto m = static_cast<std::size_t>(layout_.readColumns);
    for (Piece& p : pieces) {
      if (p.failed) {
        bad(line_ + p.errorLine, p.error);
        result_.textColumn = p.textColumn;
        return false;
      }
      const std::size_t kept = p.rows.size() / m;
      for (std::size_t r = 0; r < p.keptLines.size() && out_.firstRowLines.size() < keepRows_;
           ++r) {
        out_.firstRows.insert(out_.firstRows.end(), p.rows.begin() + static_cast<long>(r * m),
                              p.rows.begin() + static_cast<long>((r + 1) * m));
        out_.firstRowLines.push_back(line_ + p.keptLines[r]);
      }
      out_.rowsRead += p.rowsRead;
      out_.rowsKept += static_cast<std::int64_t>(kept);
      for (std::size_t c = 0; c < m; ++c)
        out_.missing[c] += p.missing[c];
      line_ += p.lines;
      pending_.insert(pending_.end(), p.rows.begin(), p.rows.end());
      std::vector<double>().swap(p.rows);
    }
    reduceFullChunks(false);
    return true;
  }

  template <class Work>
  void runParallel(std::size_t count, Work work) {
    const std::size_t helpers = std::min<std::size_t>(threads_, count);
    if (helpers <= 1) {
      for (std::size_t k = 0; k < count; ++k)
        work(k);
      return;
    }
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < helpers; ++t) {
      pool.emplace_back([&, t] {
        for (std::size_t k = t; k < count; k += helpers)
          work(k);
      });
    }
    for (std::size_t k = 0; k < count; k += helpers)
      work(k);
    for (std::thread& th : pool)
      th.join();
  }

  // Reduces the pending rows in chunks of kChunkRows (all of them at the
  // end); a shorter tail waits for the next block.
  void reduceFullChunks(bool all) {
    const auto m = static_cast<std::size_t>(layout_.readColumns);
    const std::size_t rows = pending_.size() / m;
    const std::size_t chunk = ComomentAccumulator::kChunkRows;
    const std::size_t full = all ? (rows + chunk - 1) / chunk : rows / chunk;
    if (full == 0) return;
    std::vector<CentredSums> sums(full);
    runParallel(full, [&](std::size_t k) {
      const std::size_t first = k * chunk;
      const std::size_t count = std::min(chunk, rows - first);
      sums[k] = reduceChunk(pending_.data() + first * m, count, layout_.readColumns);
    });
    for (CentredSums& s : sums)
      acc_.push(std::move(s));
    const std::size_t used = std::min(rows, full * chunk) * m;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(used));
  }

  void finish() {
    reduceFullChunks(true);
    out_.sums = acc_.result();
  }

  static constexpr int kMaxReadColumns = 50;

  ByteSource& in_;
  const std::string& label_;
  const DelimitedOptions& o_;
  std::size_t keepRows_;
  DelimitedData& out_;
  DelimitedResult result_;
  std::vector<char> buf_;
  std::size_t have_ = 0;
  bool eof_ = false;
  std::uint64_t bytesRead_ = 0;
  std::int64_t line_ = 1;  // the line the unread part of the buffer begins on
  Layout layout_;
  unsigned threads_ = 1;
  ComomentAccumulator acc_;
  std::vector<double> pending_;
};

}  // namespace

FileByteSource::FileByteSource(std::FILE* file) : file_(file) {
  struct stat st {};
  if (file != nullptr && fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode))
    size_ = static_cast<std::uint64_t>(st.st_size);
}

std::size_t FileByteSource::read(char* out, std::size_t n) {
  return file_ == nullptr ? 0 : std::fread(out, 1, n, file_);
}

bool FileByteSource::failed() const {
  return file_ == nullptr || std::ferror(file_) != 0;
}

std::size_t MemoryByteSource::read(char* out, std::size_t n) {
  const std::size_t take = std::min(n, bytes_.size() - pos_);
  std::memcpy(out, bytes_.data() + pos_, take);
  pos_ += take;
  return take;
}

DelimitedResult readDelimited(ByteSource& in, const std::string& label,
                              const DelimitedOptions& options, std::size_t keepRows,
                              DelimitedData& out) {
  out = DelimitedData{};
  return Reader(in, label, options, keepRows, out).run();
}

bool isDelimitedName(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return false;
  const std::string_view ext = path.substr(dot + 1);
  return equalNoCase(ext, "csv") || equalNoCase(ext, "tsv") || equalNoCase(ext, "txt");
}

}  // namespace tolvane
