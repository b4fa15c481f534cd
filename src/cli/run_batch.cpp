#include "cli/run_batch.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "cli/report_printer.hpp"
#include "input/batch_input_run.hpp"
#include "input/cross_product_file.hpp"
#include "model/model_file.hpp"

namespace tolvane {

namespace {

// A setting the data could not satisfy, in the words of the option that set it.
std::string optionProblem(const SettingProblem& p) {
  switch (p.setting) {
    case SettingAtFault::kResponse:
      return "--response: " + p.detail;
    case SettingAtFault::kPredictors:
      return "--predictors: " + p.detail;
    case SettingAtFault::kLeaveOut:
      return "--leave-out: " + p.detail;
    case SettingAtFault::kRolesOnSums:
      return "--response, --predictors and --leave-out apply to raw data and delimited text "
             "only; in a cross-product batch file the last column is the response.";
    case SettingAtFault::kRangeOnSums:
      return "--first and --last select observations of raw data; this file's rows were "
             "reduced to cross-products in one pass (see --raw-memory). Select the rows "
             "beforehand (for example with a WHERE clause in scripts/cross-products.sql).";
    case SettingAtFault::kResampleOnSums:
      return "--bootstrap: " + p.detail +
             (p.detail.find("one pass") != std::string::npos
                  ? " Raise --raw-memory to keep them as raw data."
                  : "");
    case SettingAtFault::kNone:
      break;
  }
  return p.message();
}

int batchInput(const BatchOptions& options, AnalysisState& state, std::ostream& out,
               std::ostream& err) {
  // A folder opens for reading on some systems and only fails at the first
  // read, after the output files have been made; refuse it first.
  std::error_code ec;
  if (std::filesystem::is_directory(options.input, ec)) {
    err << "tolvane-batch: cannot open " << options.input << ": " << std::strerror(EISDIR) << "\n";
    return kExitStopped;
  }
  const bool delimited = options.delimitedInput();
  if (!options.writeCrossProducts.empty() && !delimited) {
    err << "tolvane-batch: --write-cross-products applies to delimited text (.csv, .tsv, .txt "
           "or --format csv).\n";
    return kExitUsage;
  }
  std::FILE* in = std::fopen(options.input.c_str(), delimited ? "rb" : "r");
  if (in == nullptr) {
    err << "tolvane-batch: cannot open " << options.input << ": " << std::strerror(errno) << "\n";
    return kExitStopped;
  }
  BatchRunResult result;
  {
    ReportPrinter printer(out);
    // Output names are taken as given: relative to the current directory.
    BatchInput input{in, options.input, "", 0};
    input.delimited = delimited;
    input.delimitedOptions.delimiter = options.delimiter;
    input.delimitedOptions.missingIsError = options.missingIsError;
    input.delimitedOptions.ignore = options.ignore;
    input.delimitedOptions.settingNames = {"--ignore", "--delimiter", "--missing error"};
    if (options.rawMemoryMb >= 0) input.rawBudget = options.rawMemoryMb * (std::int64_t{1} << 20);
    result = runBatchInput(state, std::move(input), options.modelSettings());
  }
  switch (result.code) {
    case StatusCode::kOk:
      err << "tolvane-batch: summary in " << state.files.SUMMNAME << ", trace matrices in "
          << state.files.TRACENAME << "\n";
      if (!options.writeCrossProducts.empty()) {
        const Status written = writeCrossProductFile(state, options.writeCrossProducts);
        if (!written.ok()) {
          err << "tolvane-batch: --write-cross-products: " << written.message << "\n";
          return kExitStopped;
        }
        err << "tolvane-batch: cross-products in " << options.writeCrossProducts << "\n";
      }
      return kExitCompleted;
    case StatusCode::kCancelled: {
      // The sentence ends in a full stop: drop it before the semicolon.
      std::string names = existingFilesSentence(result.existingFiles);
      names.pop_back();
      err << "tolvane-batch: " << names
          << "; nothing was written. Use --if-exists overwrite or append, or --out NAME.\n";
      return kExitFilesExist;
    }
    case StatusCode::kBusy:
    case StatusCode::kStopped:
    case StatusCode::kAnalysisStopped:
      break;
  }
  if (result.problem.any()) {
    err << "tolvane-batch: " << optionProblem(result.problem) << "\n";
    return kExitUsage;
  }
  err << "tolvane-batch: " << result.message << "\n";
  return kExitStopped;
}

}  // namespace

int runBatch(const BatchOptions& options, AnalysisState& state, std::ostream& out,
             std::ostream& err) {
  int status = batchInput(options, state, out, err);
  ModelResults last;
  if (status == kExitCompleted) status = runPaths(options.path, state, out, err, &last);
  if (status == kExitCompleted && !options.saveModel.empty() && !last.fitted) {
    err << "tolvane-batch: --save-model: no extent was chosen, so there is no model to save\n";
    status = kExitStopped;
  } else if (status == kExitCompleted && !options.saveModel.empty()) {
    if (const Status saved = saveModel(state, last, options.input, options.saveModel);
        !saved.ok()) {
      err << "tolvane-batch: --save-model: " << saved.message << "\n";
      status = kExitStopped;
    } else {
      err << "tolvane-batch: model at MCAL = " << last.fit.extent.mcal << " saved in "
          << options.saveModel << "\n";
    }
  }
  // The last writes and the closing are checked too: a file that could not
  // be finished is taken back and the run fails.
  if (const Status closed = state.files.closeBoth(); !closed.ok()) {
    state.files.revertBoth();
    err << "tolvane-batch: " << closed.message << "; this run's output files were removed\n";
    status = kExitStopped;
  }
  return status;
}

}  // namespace tolvane
