// The model file: the fit at the chosen extent as JSON, for scoring new
// data later (tolvane-batch predict) and for other programs. Written and
// read with nlohmann-json.
//
// Top-level fields (format version 1): format ("tolvane-model"),
// format_version, input {file, sha256}, response {name, short_name, mean,
// sd}, predictors [{name, short_name, mean, sd, coefficient, least_squares,
// ls_std_error, rmse}], intercept {coefficient, least_squares, ls_std_error,
// rmse}, scaling, path {shape, q, steps_per_unit}, extent {criterion, mcal,
// k}, criteria {CLIK, EBAYS, RCOEF, GCV, PRESS (null for cross-products),
// AIC, BIC}, N, RANK, s2, effective_df, residual_sd, r_squared. Coefficients
// are in the units of the data, whatever the scaling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/analysis_state.hpp"
#include "model/model_results.hpp"

namespace tolvane {

inline constexpr int kModelFormatVersion = 1;
// A bound on the terms a model file may list, against absurd input only.
inline constexpr std::size_t kMaxModelTerms = 1000000;

// What scoring needs, as read back from a model file.
struct ModelTerm {
  std::string name, shortName;
  double coefficient = 0.0;
};
struct ModelFile {
  int formatVersion = kModelFormatVersion;
  std::string responseName, responseShortName;
  double intercept = 0.0;
  std::vector<ModelTerm> predictors;
  double mcal = 0.0;
  int rank = 0;
  std::int64_t n = 0;  // sums may stand for billions of rows
};

// The JSON text of the fit in `results` (which must be fitted) on state `s`;
// `inputPath` is hashed (SHA-256) and its file name recorded. Fails when the
// input file cannot be read.
StatusOr<std::string> modelJson(const AnalysisState& s, const ModelResults& results,
                                const std::string& inputPath);

// modelJson written whole to `path` (an existing file is replaced only once
// the new one is complete).
Status saveModel(const AnalysisState& s, const ModelResults& results, const std::string& inputPath,
                 const std::string& path);

// Reads model file text. Fails with a message naming `label` and the fault: not
// JSON (with the byte where parsing stopped), another format or version, a
// field missing or of the wrong type (named by its path, such as
// "predictors[2].coefficient").
StatusOr<ModelFile> parseModel(const std::string& text, const std::string& label);

// parseModel of a file's contents.
StatusOr<ModelFile> loadModel(const std::string& path);

}  // namespace tolvane
