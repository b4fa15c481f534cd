// The arithmetic of the desktop program, kept between runs in the settings
// ("precision": "double", the default, or "single").
#pragma once

#include "engine/analysis_state.hpp"

namespace tolvane {

// The setting as saved (double when none is), and saving a new one, which
// applies from the next data file read. The precision this thread's stores
// round to now is storePrecision() of the matrix layer.
Precision precisionSetting();
void savePrecisionSetting(Precision precision);

}  // namespace tolvane
