// What the desktop frame calls for the Visualize menu.
//
//   Open a graph:     101 "&Coefficient TRACE", 102 "&Relative Risk TRACE",
//                     103 "&Excess Eigenvalue TRACE", 104 "&Inferior Direction
//                     TRACE", 105 "&Shrinkage Factor TRACE", 110 "&Visual
//                     Re-Regression"  ->  openGraphWindow()
//   Window commands:  107 "&Display Inference Intervals", 108 "&Print Graph",
//                     111 "Copy to Clip&Board" (and 34 "&CloseFiles", which a
//                     graph window ignores)  ->  graphWindowCommand() with the
//                     active MDI child
//
// 107 is the frame's own command (resampling on the worker thread, then
// openIntervalsWindow); it is offered only when the state can be resampled:
// graphCommandEnabled(107, &state, ...) says why not as the menu entry's
// tooltip. Everything here runs on the GUI thread.
#pragma once

#include <QString>

#include "graph/command_ids.hpp"

class QMdiArea;
class QWidget;

namespace tolvane {

struct AnalysisState;

// True for 101 to 105 and 110.
bool isOpenGraphCommand(int commandId);

// Opens a new graph window for commands 101 to 105 and 110 (every call opens
// a new one): adds it to area with its exact title ("Shrinkage Coefficients",
// "Relative Risks", "Excess Eigenvalues", "Inferior Direction", "Shrinkage
// Factors", "Visual Re-Regression"), registers it in childList, shows it and
// plots the trace with plotTrace at state.lineWidth. Returns the window (the
// content widget of its QMdiSubWindow), or nullptr for any other id, or when
// a batch input holds state.runMutex (a report line then says so). Takes
// state.runMutex itself: do not hold it when calling. The window keeps a
// reference to state for its click read-outs; state must outlive it.
QWidget* openGraphWindow(QMdiArea* area, int commandId, AnalysisState& state);

// True when window (a graph window, or the QMdiSubWindow around one) is a
// graph window.
bool isGraphWindow(const QWidget* window);

// Runs a window command (107, 108, 111, 34) in a graph window; window may
// also be its QMdiSubWindow. 108 shows the system print dialog and prints;
// 111 copies the chart image and its data as tab-separated text to the
// clipboard. Returns false when window is no graph window or the command is
// not one of its own (107 and 34 do nothing and return false).
bool graphWindowCommand(QWidget* window, int commandId);

// Whether the frame should offer a window command; when not, *whyNot gets
// the tooltip text for the disabled entry. 107 needs a state that can be
// resampled (raw data, a traced path); without a state it is not offered.
bool graphCommandEnabled(int commandId, const AnalysisState* state, QString* whyNot);
bool graphCommandEnabled(int commandId, QString* whyNot);

}  // namespace tolvane
