// Scoring new observations with a model file: one prediction per data row,
// the predictors matched to the data's columns by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/model_file.hpp"

namespace tolvane {

// Observations to score, whatever file they came from: column names and,
// per row, the line it was read from and its values (NaN where a cell is
// empty).
struct DataTable {
  std::string label;  // the file, for messages
  std::vector<std::string> names;
  struct Row {
    int line = 0;
    std::vector<double> values;  // one per name
  };
  std::vector<Row> rows;
  // Rows left out for a missing value whose lines could not be told (a
  // quoted field over several lines): counted, not listed.
  std::int64_t unplacedMissing = 0;
};

struct Prediction {
  int line = 0;
  double prediction = 0.0;  // NaN when a predictor value is missing
  double residual = 0.0;    // NaN without a response value
};

struct Scored {
  std::vector<Prediction> rows;
  bool hasResponse = false;  // the data have the model's response column
  std::int64_t missing = 0;  // rows without a prediction, listed or not
};

// Matches each model predictor to the data column of the same name (full or
// short); extra columns are ignored. Fails naming every predictor the data
// lack.
StatusOr<Scored> scoreTable(const ModelFile& model, const DataTable& data);

// line,prediction[,residual] with empty cells where there is no value.
std::string predictionsCsv(const Scored& scored);

}  // namespace tolvane
