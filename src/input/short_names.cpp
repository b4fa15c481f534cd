#include "input/short_names.hpp"

#include <algorithm>

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

bool taken(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::vector<std::string> shortNames(const std::vector<std::string>& fullNames) {
  std::vector<std::string> out;
  out.reserve(fullNames.size());
  for (const std::string& full : fullNames) {
    std::string clean = full;
    for (char& c : clean) {
      if (separator(static_cast<unsigned char>(c))) c = '_';
    }
    std::string name = cutUtf8(clean, kMaxNameChars);
    if (name.empty()) name = "_";
    for (int k = 2; taken(out, name); ++k) {
      const std::string suffix = "~" + std::to_string(k);
      name = cutUtf8(clean, kMaxNameChars - suffix.size()) + suffix;
    }
    out.push_back(name);
  }
  return out;
}

}  // namespace tolvane
