// The settings of Display Inference Intervals: the number of resamples, the
// seed and the level, offered as last used (kept in the settings).
#pragma once

#include <QWidget>

#include "model/bootstrap.hpp"

namespace tolvane {

// Shows the dialog (object name "intervalsSettings") over parent; false when
// the user cancels. On OK fills resamples, seed and level of *settings and
// keeps them for the next time; its other fields stay as they are.
bool askBootstrapSettings(QWidget* parent, BootstrapSettings* settings);

}  // namespace tolvane
