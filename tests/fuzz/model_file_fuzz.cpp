// libFuzzer target for the model file reader: any bytes must be read or
// refused with a message, never crash; a model that reads scores a small
// table with a missing value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "model/model_file.hpp"
#include "model/scoring.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const tolvane::StatusOr<tolvane::ModelFile> parsed = tolvane::parseModel(text, "fuzz.json");
  if (!parsed) {
    if (parsed.message().empty()) __builtin_trap();  // every refusal says why
    return 0;
  }
  const tolvane::ModelFile& model = *parsed;
  tolvane::DataTable table;
  table.label = "table";
  for (const tolvane::ModelTerm& t : model.predictors)
    table.names.push_back(t.shortName);
  table.names.push_back(model.responseName);
  for (int line = 1; line <= 3; ++line) {
    tolvane::DataTable::Row row;
    row.line = line;
    for (std::size_t c = 0; c < table.names.size(); ++c)
      row.values.push_back(line == 2 && c == 0 ? std::numeric_limits<double>::quiet_NaN()
                                               : static_cast<double>(line + c));
    table.rows.push_back(row);
  }
  if (const auto scored = tolvane::scoreTable(model, table)) {
    if (scored->rows.size() != 3) __builtin_trap();
    (void)tolvane::predictionsCsv(*scored);
  }
  return 0;
}
