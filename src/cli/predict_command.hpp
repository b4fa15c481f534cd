// tolvane-batch predict: scores new observations with a saved model file.
#pragma once

#include <ostream>

namespace tolvane {

// Runs "predict --model FILE --data FILE --out FILE" (argv[0] is "predict").
// Writes one row per data row (line number, prediction and, when the data
// hold the response, residual) to the output file, replacing it only once
// the new one is complete, and a one-line summary on `err`. Returns
// kExitCompleted, or kExitUsage for bad options, a bad model file or data
// that do not fit it (each explained on `err`), kExitStopped when the output
// cannot be written.
int runPredict(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace tolvane
