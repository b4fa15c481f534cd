#include "cli/predict_command.hpp"

#include <CLI/CLI.hpp>
#include <string>

#include "cli/batch_options.hpp"
#include "input/prediction_data.hpp"
#include "model/model_file.hpp"
#include "model/scoring.hpp"
#include "report/output_file.hpp"

namespace tolvane {

int runPredict(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Scores new observations with a model file written by --save-model.",
               "tolvane-batch predict"};
  std::string modelPath, dataPath, outPath;
  app.add_option("--model", modelPath, "Model file (JSON) written by --save-model")
      ->required()
      ->option_text("FILE");
  app.add_option("--data", dataPath,
                 "Observations to score: a batch input file in raw form, or delimited text "
                 "(.csv, .tsv, .txt) with names in its first line; columns are matched to the "
                 "model's predictors by name, extra columns are ignored")
      ->required()
      ->option_text("FILE");
  app.add_option("--out", outPath,
                 "CSV of predictions: line, prediction and, when the data hold the response, "
                 "residual")
      ->required()
      ->option_text("FILE");
  app.footer(
      "\nA row with a missing predictor value gets an empty prediction and is counted.\n"
      "Exit status: 0 done; 2 bad options, model file or data; 1 the output cannot be "
      "written.");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err) == 0 ? kExitCompleted : kExitUsage;
  }
  if (outPath.empty()) {
    err << "tolvane-batch predict: --out needs a file name\n";
    return kExitUsage;
  }
  const auto fail = [&err](const Status& why, int exitCode) {
    err << "tolvane-batch predict: " << why.message << "\n";
    return exitCode;
  };
  const StatusOr<ModelFile> loaded = loadModel(modelPath);
  if (!loaded) return fail(loaded.status, kExitUsage);
  const ModelFile& model = *loaded;
  std::vector<std::string> wanted{model.responseName, model.responseShortName};
  for (const ModelTerm& t : model.predictors) {
    wanted.push_back(t.name);
    wanted.push_back(t.shortName);
  }
  const StatusOr<DataTable> data = readPredictionData(dataPath, wanted);
  if (!data) return fail(data.status, kExitUsage);
  const StatusOr<Scored> scoredOr = scoreTable(model, *data);
  if (!scoredOr) return fail(scoredOr.status, kExitUsage);
  const Scored& scored = *scoredOr;
  if (Status written = writeFileAtomically(outPath, predictionsCsv(scored)); !written.ok())
    return fail(written, kExitStopped);
  err << "tolvane-batch predict: " << scored.rows.size() << " rows scored into " << outPath;
  if (scored.missing > 0) {
    err << "; " << scored.missing << " row" << (scored.missing == 1 ? " lacks" : "s lack")
        << " a predictor value and " << (scored.missing == 1 ? "has" : "have")
        << " an empty prediction";
  }
  err << (scored.hasResponse ? "; residuals against " + model.responseName : "") << "\n";
  return kExitCompleted;
}

}  // namespace tolvane
