#include "app/menu_table.hpp"

#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <map>
#include <string>

#include "graph/command_ids.hpp"

namespace tolvane {

namespace {

constexpr unsigned kAll = kOnScroll | kOnPath | kOnGraph;
constexpr unsigned kAnalysed = kOnPath | kOnGraph;
using K = MenuItemKind;

const MenuRow kRows[] = {
    {kAll, "&File", K::Command, cmd::kReadBatchInput, "&Read Batch Input"},
    {kAll, "&File", K::Command, cmd::kOpenDataFile, "Open &Data File..."},
    {kAll, "&File", K::Command, cmd::kPrecision, "&Precision..."},
    {kAll, "&File", K::Separator, 0, nullptr},
    {kAnalysed, "&File", K::Command, cmd::kCloseFiles, "&CloseFiles"},
    {kOnGraph, "&File", K::Command, cmd::kSaveModel, "Save &Model..."},
    {kAll, "&File", K::Command, cmd::kExit, "E&xit"},
    {kOnScroll, "&Path", K::GreyedTopLevel, 0, nullptr},
    {kAnalysed, "&Path", K::Command, cmd::kSelectShape, "&Select Shape"},
    {kOnGraph, "&Path", K::Command, cmd::kChooseExtent, "Choose &Extent..."},
    {kOnScroll | kOnPath, "&Visualize", K::GreyedTopLevel, 0, nullptr},
    {kOnGraph, "&Visualize", K::Command, cmd::kCoefficientTrace, "&Coefficient TRACE"},
    {kOnGraph, "&Visualize", K::Command, cmd::kRelativeRiskTrace, "&Relative Risk TRACE"},
    {kOnGraph, "&Visualize", K::Command, cmd::kExcessEigenvalueTrace, "&Excess Eigenvalue TRACE"},
    {kOnGraph, "&Visualize", K::Command, cmd::kInferiorDirectionTrace, "&Inferior Direction TRACE"},
    {kOnGraph, "&Visualize", K::Command, cmd::kShrinkageFactorTrace, "&Shrinkage Factor TRACE"},
    {kOnGraph, "&Visualize", K::Separator, 0, nullptr},
    {kOnGraph, "&Visualize", K::Command, cmd::kVisualReRegression, "&Visual Re-Regression"},
    {kOnGraph, "&Visualize", K::Command, cmd::kComparisonCriteria, "C&omparison Criteria"},
    {kOnGraph, "&Visualize", K::Command, cmd::kInferenceIntervals, "&Display Inference Intervals"},
    {kOnGraph, "&Visualize", K::Separator, 0, nullptr},
    {kOnGraph, "&Visualize", K::Command, cmd::kLineThickness, "Line &Thickness"},
    {kOnGraph, "&Visualize", K::Command, cmd::kClose, "C&lose"},
    {kOnGraph, "&Visualize", K::Command, cmd::kCopyToClipboard, "Copy to Clip&Board"},
    {kOnGraph, "&Visualize", K::Command, cmd::kPrintGraph, "&Print Graph"},
    {kAll, "&Window", K::Command, cmd::kCascade, "&Cascade"},
    {kAll, "&Window", K::Command, cmd::kTile, "&Tile"},
    {kAll, "&Window", K::Command, cmd::kCreateReport, "&Report Window"},
    {kAll, "&Window", K::Command, cmd::kClose, "Cl&ose"},
    {kAll, "&Help", K::Command, cmd::kHelp, "&Help"},
    {kAll, "&Help", K::Command, cmd::kAbout, "&About Tolvane..."},
};

// The keys of the accelerator table. The frame installs them once; each
// menu entry of the command shows its key.
const Accelerator kAccelerators[] = {
    {cmd::kReadBatchInput, "Ctrl+O"},
    {cmd::kPrintGraph, "Ctrl+P"},
    {cmd::kCopyToClipboard, "Ctrl+C"},
    {cmd::kClose, "Ctrl+W"},
    {cmd::kHelp, "F1"},
    {cmd::kExit, "Ctrl+Q"},
    {cmd::kCascade, "Shift+F5"},
    {cmd::kTile, "Shift+F4"},
};

unsigned bitOf(MenuStage stage) {
  switch (stage) {
    case MenuStage::Scroll:
      return kOnScroll;
    case MenuStage::Path:
      return kOnPath;
    case MenuStage::Graph:
      return kOnGraph;
  }
  return 0;
}

}  // namespace

const MenuRow* menuRows(int* count) {
  *count = static_cast<int>(std::size(kRows));
  return kRows;
}

const Accelerator* accelerators(int* count) {
  *count = static_cast<int>(std::size(kAccelerators));
  return kAccelerators;
}

const char* acceleratorOf(int command) {
  for (const Accelerator& a : kAccelerators) {
    if (a.command == command) return a.keys;
  }
  return nullptr;
}

QMenuBar* buildMenuBar(MenuStage stage, QWidget* parent, const std::function<void(int)>& dispatch,
                       const std::function<void(QMenu*)>& windowList) {
  auto* bar = new QMenuBar(parent);
  const unsigned bit = bitOf(stage);
  std::map<std::string, QMenu*> menus;
  for (const MenuRow& row : kRows) {
    if ((row.bars & bit) == 0) continue;
    if (row.kind == K::GreyedTopLevel) {
      QAction* plain = bar->addAction(QString::fromUtf8(row.menu));
      plain->setEnabled(false);
      continue;
    }
    QMenu*& menu = menus[row.menu];
    if (menu == nullptr) {
      menu = bar->addMenu(QString::fromUtf8(row.menu));
      menu->setObjectName(QString::fromUtf8(row.menu).remove('&') + "Menu");
    }
    if (row.kind == K::Separator) {
      menu->addSeparator();
      continue;
    }
    // The text after a tab shows as the shortcut; the keys themselves belong
    // to the frame's accelerator table, so they work on every bar.
    QString label = QString::fromUtf8(row.label);
    if (const char* keys = acceleratorOf(row.command)) {
      label += QLatin1Char('\t') +
               QKeySequence(QString::fromLatin1(keys)).toString(QKeySequence::NativeText);
    }
    QAction* action = menu->addAction(label);
    action->setData(row.command);
    const int id = row.command;
    QObject::connect(action, &QAction::triggered, bar, [dispatch, id] { dispatch(id); });
  }
  if (stage == MenuStage::Graph && windowList) {
    QMenu* window = menus["&Window"];
    QObject::connect(window, &QMenu::aboutToShow, window,
                     [window, windowList] { windowList(window); });
  }
  return bar;
}

}  // namespace tolvane
