#include "engine/path_shape.hpp"

#include <cstdio>

namespace tolvane {

namespace {

bool sameWord(std::string_view a, const char* b) {
  if (b == nullptr) return false;
  const std::string_view w(b);
  if (a.size() != w.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != w[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<PathShape> pathShapeOfWord(std::string_view word) {
  for (const PathShapeNames& n : kPathShapes) {
    if (sameWord(word, n.word) || sameWord(word, n.alias)) return n.shape;
  }
  return std::nullopt;
}

std::string pathHeading(PathShape shape, double q) {
  const PathShapeNames& n = namesOf(shape);
  if (n.heading != nullptr) return n.heading;
  char text[32];
  std::snprintf(text, sizeof text, "Q=%4.1f", q);
  return text;
}

}  // namespace tolvane
