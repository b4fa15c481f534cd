// Path > Select Shape: fixes the shrinkage path through the path dialog,
// reports it, and runs the extent criteria and the ridge traces.
#pragma once

#include "engine/analysis_state.hpp"
#include "engine/path_dialog.hpp"

namespace tolvane {

// Runs the dialog, sets SHAPECODE, QSHAPE (Q-shape only, clamped to -5..5),
// MSTEPS, NSTEPS and QWEIGHT (Q-shape only), writes the path lines, runs
// EXTENT_CRITERIA and RIDGE_TRACES (on up to `threads` threads, 0 for all),
// the closing advice and the file reminders, then calls offerVisualizeMenu().
// When the traces could not be made (memory ran short) they are left empty,
// the menu is not offered and the result is false.
//
// Refuses, with a report line, and returns false without touching the state
// when a batch input run holds the state (runMutex) or when no completed
// analysis exists (LSPEND != 0 or RANK < 1). Holds runMutex while it runs.
bool SELECT_SHAPE(AnalysisState& s, PathDialog& dialog, int threads = 0);
// The same with the dialog answered from settings (SettingsPath).
bool SELECT_SHAPE(AnalysisState& s, const PathSettings& settings, int threads = 0);

// QWEIGHT for the Q-shape family: SVAL(i)^(2(Q - 1)) for the kept axes (1
// when Q is 1), 0 beyond the rank.
void setPathWeights(AnalysisState& s);

// The Q value of a Q text: its decimal value (0 when it is not a number),
// clamped to -5..5.
double qFromText(const std::string& text);

}  // namespace tolvane
