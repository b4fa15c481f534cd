// printf's "%.6g" at a fraction of printf's cost: a path's trace file holds
// about 100,000 such numbers, and writing them took longer than computing
// the whole double-precision path.
#pragma once

namespace tolvane {

// Writes x exactly as std::snprintf(out, n, "%.6g", x) would, without the
// terminating zero, and returns the number of characters (at most 13). out
// needs room for 32.
int formatGeneral6(double x, char* out);

}  // namespace tolvane
