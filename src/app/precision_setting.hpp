// The arithmetic of the desktop program, kept between runs in the settings
// ("precision": "double", the default, or "single").
#pragma once

#include <QString>

#include "engine/analysis_state.hpp"

namespace tolvane {

Precision storedPrecision();
void storePrecision(Precision precision);

// "double precision (about 16 significant digits)" or the single one.
QString precisionLabel(Precision precision);

}  // namespace tolvane
