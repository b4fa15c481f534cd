// One field of delimited text, read by one grammar for the header and the
// data records alike (RFC 4180): a field may be quoted; inside quotes a
// doubled quote stands for one, and delimiters and line ends are text. A
// record ends at LF, CRLF or the end of the bytes. Blanks around a field are
// dropped. After a closing quote only blanks may come before the delimiter
// or the line end: a carriage return there that no line feed follows is
// text after the quote, as any other character is, since a bare CR ends no
// line anywhere else either.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tolvane::delimited {

inline bool blank(char c, char delimiter) {
  return c == ' ' || (c == '\t' && delimiter != '\t');
}

inline bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// A field's text as a message shows it: at most 24 bytes, control
// characters as "?", in quotes.
std::string shown(std::string_view text);

enum class FieldEnd {
  kDelimiter,       // another field of the record follows
  kRecordEnd,       // a line end (taken) or the end of the bytes followed
  kOpenQuote,       // the bytes ended inside quotes
  kTextAfterQuote,  // something else followed the closing quote
};

struct Field {
  // Without the quotes and the blanks around; doubled quotes made single.
  std::string_view text;
  FieldEnd end = FieldEnd::kRecordEnd;
  const char* stop = nullptr;  // after the field and its blanks
  const char* next = nullptr;  // after the delimiter or line end taken
  std::int64_t lineEnds = 0;   // line feeds taken: inside quotes, and the record's own
  bool endOfBytes = false;     // the record ended because the bytes did
};

namespace detail {

// The field after its opening quote at p.
inline Field quotedField(const char* p, const char* end, char d, std::string& scratch) {
  Field f;
  const char* const start = p;
  bool doubled = false;
  for (;;) {
    const char* q =
        static_cast<const char*>(std::memchr(p, '"', static_cast<std::size_t>(end - p)));
    if (q == nullptr) {
      f.end = FieldEnd::kOpenQuote;
      f.next = end;
      return f;
    }
    f.lineEnds += std::count(p, q, '\n');
    if (q + 1 < end && q[1] == '"') {
      if (!doubled)
        scratch.assign(start, q + 1);
      else
        scratch.append(p, q + 1);
      doubled = true;
      p = q + 2;
      continue;
    }
    if (doubled) scratch.append(p, q);
    f.text = doubled ? std::string_view(scratch)
                     : std::string_view(start, static_cast<std::size_t>(q - start));
    p = q + 1;
    break;
  }
  while (p < end && blank(*p, d))
    ++p;
  f.stop = p;
  f.next = p;
  if (p == end || (*p == '\r' && p + 1 == end)) {
    f.next = end;
    f.endOfBytes = true;
  } else if (*p == d) {
    f.end = FieldEnd::kDelimiter;
    f.next = p + 1;
  } else if (*p == '\n' || (*p == '\r' && p[1] == '\n')) {
    f.next = p + (*p == '\r' ? 2 : 1);
    ++f.lineEnds;
  } else {
    f.end = FieldEnd::kTextAfterQuote;
  }
  return f;
}

// An unquoted field from p: up to the delimiter or line feed. A carriage
// return at its end goes with the blanks (the CR of a CRLF); one inside
// stays text.
inline Field plainField(const char* p, const char* end, char d) {
  Field f;
  const char* const start = p;
  while (p < end && *p != d && *p != '\n')
    ++p;
  const char* e = p;
  if (e > start && e[-1] == '\r') --e;
  while (e > start && blank(e[-1], d))
    --e;
  f.text = std::string_view(start, static_cast<std::size_t>(e - start));
  f.stop = p;
  if (p == end) {
    f.next = end;
    f.endOfBytes = true;
  } else {
    f.end = *p == d ? FieldEnd::kDelimiter : FieldEnd::kRecordEnd;
    f.lineEnds = *p == '\n';
    f.next = p + 1;
  }
  return f;
}

}  // namespace detail

// The field at p (before any leading blanks) of a record in [p, end).
// Doubled quotes are undone in `scratch`, which the text then points into
// until the next call.
inline Field readField(const char* p, const char* end, char d, std::string& scratch) {
  while (p < end && blank(*p, d))
    ++p;
  if (p < end && *p == '"') return detail::quotedField(p + 1, end, d, scratch);
  return detail::plainField(p, end, d);
}

}  // namespace tolvane::delimited
