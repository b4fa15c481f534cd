#include "input/delimited_header.hpp"

#include <algorithm>

#include "input/delimited_field.hpp"

namespace tolvane::delimited {

namespace {

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

// The fields of the header record, by the grammar of every record. The
// bytes end before the record does only when they are the whole file.
HeaderRead readNames(const char* b, std::size_t n, char d, bool atEof,
                     std::vector<std::string>& names) {
  HeaderRead h;
  const std::string tooLong =
      "the header is longer than " + std::to_string(kMaxRecordBytes) + " bytes.";
  const char* const end = b + n;
  const char* p = b;
  std::string scratch;
  for (;;) {
    const Field f = readField(p, end, d, scratch);
    if (f.end == FieldEnd::kOpenQuote) {
      h.error = atEof ? "a quote opened in the header is never closed." : tooLong;
      return h;
    }
    if (f.end == FieldEnd::kTextAfterQuote) {
      h.error = "column " + std::to_string(names.size() + 1) +
                ": text after the closing quote of a quoted name.";
      return h;
    }
    h.lines += f.lineEnds;
    names.emplace_back(f.text);
    p = f.next;
    if (f.end == FieldEnd::kDelimiter) continue;
    if (f.endOfBytes && !atEof) {
      h.error = tooLong;
      return h;
    }
    break;
  }
  h.end = static_cast<std::size_t>(p - b);
  return h;
}

// Empty when every name is one of its own, one line of text.
std::string checkNames(const std::vector<std::string>& names) {
  for (std::size_t c = 0; c < names.size(); ++c) {
    const std::string col = ", column " + std::to_string(c + 1);
    if (names[c].empty()) return col + ": the column name is empty.";
    if (!validUtf8(names[c]) || std::any_of(names[c].begin(), names[c].end(), [](char ch) {
          return static_cast<unsigned char>(ch) < 0x20;
        })) {
      return col + ": the name " + shown(names[c]) +
             " is not text (binary data, control characters or invalid UTF-8).";
    }
    for (std::size_t e = 0; e < c; ++e) {
      if (names[e] == names[c]) {
        return col + ": the name " + names[c] + " is used again (first in column " +
               std::to_string(e + 1) + ").";
      }
    }
  }
  return {};
}

// The columns read: all but those ignored. Empty when enough are left.
std::string layOut(const std::vector<std::string>& names, const DelimitedOptions& o, Layout& layout,
                   DelimitedData& out) {
  const std::string& ignoreName = o.settingNames.ignore;
  for (const std::string& ig : o.ignore) {
    if (std::find(names.begin(), names.end(), ig) != names.end()) continue;
    if (ignoreName.empty())
      return ": the column to leave out \"" + ig + "\": no column has that name.";
    return ": " + ignoreName + " " + ig + ": no column has that name.";
  }
  layout.readIndex.assign(names.size(), -1);
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (std::find(o.ignore.begin(), o.ignore.end(), names[c]) != o.ignore.end()) continue;
    layout.readIndex[c] = layout.readColumns++;
    out.names.push_back(names[c]);
    out.fileColumns.push_back(static_cast<int>(c) + 1);
  }
  if (layout.readColumns < 2) {
    return ": fewer than 2 columns are left to read after " +
           (ignoreName.empty() ? "the columns left out." : ignoreName + ".");
  }
  if (layout.readColumns > o.maxColumns) {
    return ": " + std::to_string(layout.readColumns) + " columns to read; Tolvane takes at most " +
           std::to_string(o.maxColumns) + o.columnLimitWhy +
           ". Choose fewer by leaving columns out" +
           (ignoreName.empty() ? "." : " with " + ignoreName + " NAME (repeatable).");
  }
  out.missing.assign(static_cast<std::size_t>(layout.readColumns), 0);
  return {};
}

}  // namespace

HeaderRead readHeader(const char* b, std::size_t n, bool atEof, const DelimitedOptions& o,
                      Layout& layout, DelimitedData& out) {
  const char d = o.delimiter != 0 ? o.delimiter : detectDelimiter(b, n);
  out.delimiter = d;
  std::vector<std::string> names;
  HeaderRead h = readNames(b, std::min(n, kMaxRecordBytes), d, atEof || n < kMaxRecordBytes, names);
  if (!h.error.empty()) {
    h.error = (h.error.rfind("column", 0) == 0 ? ", " : ": ") + h.error;
    return h;
  }
  layout.delimiter = d;
  layout.missingIsError = o.missingIsError;
  layout.settingNames = o.settingNames;
  layout.fileColumns = static_cast<int>(names.size());
  layout.fileNames = names;
  h.error = checkNames(names);
  if (h.error.empty() && names.size() < 2) {
    h.error = ": one column only (with the " + std::string(delimiterName(d)) +
              " as delimiter); a model needs a response and a predictor. Choose the "
              "delimiter" +
              (o.settingNames.delimiter.empty() ? "" : " with " + o.settingNames.delimiter) +
              " if the file has another.";
  }
  if (h.error.empty()) h.error = layOut(names, o, layout, out);
  return h;
}

}  // namespace tolvane::delimited
