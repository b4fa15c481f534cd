#include "model/scoring.hpp"

#include <cmath>
#include <cstdio>
#include <limits>

namespace tolvane {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The column holding `name` or `shortName`, the full name first; -1 if none.
int columnOf(const DataTable& data, const std::string& name, const std::string& shortName) {
  for (const std::string* wanted : {&name, &shortName}) {
    for (std::size_t c = 0; c < data.names.size(); ++c) {
      if (!wanted->empty() && data.names[c] == *wanted) return static_cast<int>(c);
    }
  }
  return -1;
}

}  // namespace

StatusOr<Scored> scoreTable(const ModelFile& model, const DataTable& data) {
  Scored scored;
  Scored* out = &scored;
  std::vector<int> columns;
  std::string lacking;
  int lackingCount = 0;
  for (const ModelTerm& t : model.predictors) {
    const int c = columnOf(data, t.name, t.shortName);
    if (c < 0) {
      lacking += (lacking.empty() ? "" : ", ") + t.name;
      ++lackingCount;
    }
    columns.push_back(c);
  }
  if (lackingCount > 0) {
    return Status::at(
        data.label, 0, 0,
        data.label + " lacks the model's predictor" + (lackingCount > 1 ? "s " : " ") + lacking);
  }
  const int response = columnOf(data, model.responseName, model.responseShortName);
  out->missing = data.unplacedMissing;
  out->hasResponse = response >= 0;
  for (const DataTable::Row& row : data.rows) {
    Prediction p;
    p.line = row.line;
    double sum = model.intercept;
    for (std::size_t j = 0; j < columns.size(); ++j) {
      const std::size_t c = static_cast<std::size_t>(columns[j]);
      const double x = c < row.values.size() ? row.values[c] : kNaN;
      sum += model.predictors[j].coefficient * x;
    }
    p.prediction = std::isnan(sum) ? kNaN : sum;
    if (std::isnan(p.prediction)) ++out->missing;
    const double y = out->hasResponse && static_cast<std::size_t>(response) < row.values.size()
                         ? row.values[static_cast<std::size_t>(response)]
                         : kNaN;
    p.residual = y - p.prediction;
    out->rows.push_back(p);
  }
  return scored;
}

std::string predictionsCsv(const Scored& scored) {
  std::string text = scored.hasResponse ? "line,prediction,residual\n" : "line,prediction\n";
  char cell[40];
  for (const Prediction& p : scored.rows) {
    text += std::to_string(p.line) + ",";
    if (std::isfinite(p.prediction)) {
      std::snprintf(cell, sizeof cell, "%.9g", p.prediction);
      text += cell;
    }
    if (scored.hasResponse) {
      text += ",";
      if (std::isfinite(p.residual)) {
        std::snprintf(cell, sizeof cell, "%.9g", p.residual);
        text += cell;
      }
    }
    text += "\n";
  }
  return text;
}

}  // namespace tolvane
