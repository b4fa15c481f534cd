#include "graph/child_list.hpp"

namespace tolvane {

namespace {
std::vector<ChildEntry>& entries() {
  static std::vector<ChildEntry> list;
  return list;
}
}  // namespace

void registerChild(QWidget* window, const QString& title) {
  entries().push_back(ChildEntry{QPointer<QWidget>(window), title});
}

QString childTitle(const QWidget* window) {
  if (window == nullptr) return QString();
  for (const ChildEntry& e : entries()) {
    if (e.window.data() == window) return e.title;
  }
  return QString();
}

int childCount() {
  return static_cast<int>(entries().size());
}

const std::vector<ChildEntry>& childList() {
  return entries();
}

}  // namespace tolvane
