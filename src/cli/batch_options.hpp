// The command line of tolvane-batch. Each option answers one of the dialogs
// of a batch input run; later steps (path, traces, plots) add their own
// fields and options here.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/path_options.hpp"
#include "engine/analysis_state.hpp"
#include "input/model_settings.hpp"

namespace CLI {
class App;
}

namespace tolvane {

// Exit status of tolvane-batch.
inline constexpr int kExitCompleted = 0;   // the analysis completed
inline constexpr int kExitStopped = 1;     // the run stopped: bad input, a file, the model
inline constexpr int kExitUsage = 2;       // bad options, or options that do not fit the data
inline constexpr int kExitFilesExist = 3;  // output files exist and --if-exists is abort

enum class InputFormat { kByName, kBatch, kDelimited };

struct BatchOptions {
  std::string input;                     // the .ayq file, or delimited text
  std::string out;                       // --out: base name; empty for the input's base name
  IfExists ifExists = IfExists::kAbort;  // --if-exists
  std::string response;                  // --response: empty keeps the last column
  std::vector<std::string> predictors;   // --predictors: exactly these
  std::vector<std::string> leaveOut;     // --leave-out: all but these
  int scale = kCenterRescale;            // --scale: a ScaleButton
  std::optional<int> first, last;        // --first, --last: observation range
  PathOptions path;                      // --shape, --q, --steps, --path, --traces-csv
  // Delimited text: --format, --delimiter, --missing, --ignore.
  InputFormat format = InputFormat::kByName;
  char delimiter = 0;                        // 0: found from the header line
  bool missingIsError = false;               // --missing error
  std::vector<std::string> ignore;           // --ignore NAME, repeatable
  std::int64_t rawMemoryMb = -1;             // --raw-memory MB; -1 a quarter of memory
  std::string writeCrossProducts;            // --write-cross-products FILE
  Precision precision = Precision::kDouble;  // --precision

  // Whether the input is read as delimited text: --format, else its name.
  bool delimitedInput() const;
  // The batch input run's settings: output, roles, scaling, observations
  // and precision.
  ModelSettings modelSettings() const;
  std::string saveModel;  // --save-model: JSON of the last path's fit
};

// Declares the options on `app`, storing into `options`.
void addBatchOptions(CLI::App& app, BatchOptions& options);

// Parses the command line. Returns the options, or nothing when the program
// is to end at once with *exitCode: 0 after --help, kExitUsage after a usage
// error (explained on `err`).
std::optional<BatchOptions> parseBatchOptions(int argc, const char* const* argv, std::ostream& out,
                                              std::ostream& err, int* exitCode);

}  // namespace tolvane
