// The three menu bars, described by one table.
//
// Each row names the bars it appears on, the top-level menu it belongs to,
// and a command id with its label (or a separator). A top-level row with no
// command is a plain greyed entry of the bar itself. The bars are built
// anew from this table whenever the analysis reaches another stage. A
// command's key lives in the accelerator table beside it: the frame installs
// the keys, and the menu entry shows its key.
#pragma once

#include <functional>

class QMenu;
class QMenuBar;
class QWidget;

namespace tolvane {

// The analysis stage a menu bar belongs to.
enum class MenuStage { Scroll, Path, Graph };

enum class MenuItemKind { Command, Separator, GreyedTopLevel };

struct MenuRow {
  unsigned bars;     // bit mask of kOnScroll, kOnPath, kOnGraph
  const char* menu;  // top-level label
  MenuItemKind kind;
  int command;        // for Command rows
  const char* label;  // for Command rows
};

inline constexpr unsigned kOnScroll = 1u;
inline constexpr unsigned kOnPath = 2u;
inline constexpr unsigned kOnGraph = 4u;

// The rows, in the order in which they appear.
const MenuRow* menuRows(int* count);

// A key of the accelerator table, in QKeySequence's portable text.
struct Accelerator {
  int command;
  const char* keys;
};

// The accelerator table: one key per command at most.
const Accelerator* accelerators(int* count);
// The key of a command, or nullptr.
const char* acceleratorOf(int command);

// Builds the bar of a stage. Each command calls `dispatch` with its id. The
// graph bar's "&Window" menu lists the MDI children when it opens, through
// `windowList` (may be empty).
QMenuBar* buildMenuBar(MenuStage stage, QWidget* parent, const std::function<void(int)>& dispatch,
                       const std::function<void(QMenu*)>& windowList = {});

}  // namespace tolvane
