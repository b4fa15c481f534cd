#include "input/short_names.hpp"

#include <string>
#include <unordered_map>
#include <unordered_set>

#include "input/batch_reader.hpp"

namespace tolvane {

namespace {

bool separator(unsigned char c) {
  return c < 0x20 || c == 0x7f || c == ' ' || c == ',' || c == '=' || c == ':';
}

// The longest prefix of at most `bytes` bytes that ends between characters.
std::string cutUtf8(const std::string& text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t keep = bytes;
  while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80)
    --keep;
  return text.substr(0, keep);
}

}  // namespace

std::vector<std::string> shortNames(const std::vector<std::string>& fullNames) {
  std::vector<std::string> out;
  out.reserve(fullNames.size());
  // The names taken, and the suffix to try next per first eight bytes (which
  // are all a suffixed name keeps), so that thousands of names alike in them
  // take linear time: a name once taken stays taken, so resuming where the
  // last search stopped finds what a search from 2 would.
  std::unordered_set<std::string> taken;
  std::unordered_map<std::string, int> nextSuffix;
  for (const std::string& full : fullNames) {
    std::string clean = full;
    for (char& c : clean) {
      if (separator(static_cast<unsigned char>(c))) c = '_';
    }
    std::string name = cutUtf8(clean, kMaxNameChars);
    if (name.empty()) name = "_";
    if (taken.count(name) != 0) {
      int& k = nextSuffix.try_emplace(clean.substr(0, kMaxNameChars), 2).first->second;
      for (;; ++k) {
        const std::string suffix = "~" + std::to_string(k);
        name = cutUtf8(clean, kMaxNameChars - suffix.size()) + suffix;
        if (taken.count(name) == 0) break;
      }
    }
    taken.insert(name);
    out.push_back(name);
  }
  return out;
}

}  // namespace tolvane
