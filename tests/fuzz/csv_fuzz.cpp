// Feeds arbitrary bytes to the delimited-text reader, with small blocks and
// a thread count taken from the first byte so that block edges and the
// parallel split fall everywhere; what reads as data goes on through the
// model set-up and least squares. No input may crash, read out of bounds or
// overflow, and the thread count must never change the sums.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "engine/analysis_state.hpp"
#include "engine/least_squares.hpp"
#include "input/delimited_input.hpp"
#include "input/delimited_reader.hpp"
#include "input/model_setup.hpp"
#include "input/settings_answers.hpp"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t control = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  DelimitedOptions o;
  o.blockBytes = 64 + (control & 0x3f) * 16;
  o.threads = 1 + ((control >> 6) & 3);
  o.missingIsError = (control & 1) != 0;
  MemoryByteSource in(text);
  DelimitedData d;
  const DelimitedResult r = readDelimited(in, "fuzz.csv", o, kMaxRawObs + 1, d);
  if (!r.ok()) {
    if (r.message.rfind("fuzz.csv line ", 0) != 0) std::abort();  // every message names a line
    return 0;
  }
  // One thread must give the same bits.
  DelimitedOptions one = o;
  one.threads = 1;
  MemoryByteSource again(text);
  DelimitedData d1;
  readDelimited(again, "fuzz.csv", one, kMaxRawObs + 1, d1);
  if (d1.rowsKept != d.rowsKept || std::memcmp(d1.sums.comoment.data(), d.sums.comoment.data(),
                                               d.sums.comoment.size() * sizeof(double)) != 0) {
    std::abort();
  }
  const auto state = std::make_unique<AnalysisState>();
  state->reset();
  const std::int64_t limit = rawRowLimit(state->precision, static_cast<int>(d.names.size()), -1);
  if (!loadDelimitedData(*state, d, "fuzz.csv", limit).completed()) return 0;
  const ModelSettings settings;
  SettingsAnswers answers(settings);
  if (setUpModel(*state, answers).completed()) LEAST_SQUARES(*state);
  return 0;
}
