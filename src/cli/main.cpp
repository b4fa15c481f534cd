// tolvane-batch: one batch input run from the command line.
#include <unistd.h>

#include <iostream>
#include <memory>
#include <string_view>

#include "cli/batch_options.hpp"
#include "cli/predict_command.hpp"
#include "cli/run_batch.hpp"

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == "predict") {
    return tolvane::runPredict(argc - 1, argv + 1, std::cout, std::cerr);
  }
  int exitCode = tolvane::kExitCompleted;
  std::optional<tolvane::BatchOptions> options =
      tolvane::parseBatchOptions(argc, argv, std::cout, std::cerr, &exitCode);
  if (!options) return exitCode;
  // Long work shows how far it is, but only to a person watching.
  options->path.boot.progress = ::isatty(STDERR_FILENO) == 1;
  const auto state = std::make_unique<tolvane::AnalysisState>();
  return tolvane::runBatch(*options, *state, std::cout, std::cerr);
}
