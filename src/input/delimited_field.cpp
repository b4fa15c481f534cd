#include "input/delimited_field.hpp"

namespace tolvane::delimited {

std::string shown(std::string_view text) {
  constexpr std::size_t kShown = 24;
  std::string q(text.substr(0, kShown));
  for (char& c : q) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return "\"" + q + (text.size() > kShown ? "...\"" : "\"");
}

}  // namespace tolvane::delimited
