// Feeds arbitrary bytes to the batch input reader as a .AYQ file and, when
// they read as a data set, builds the model, runs least squares on it and
// walks a shrinkage path, with dialog answers taken from the last two bytes.
// No input may crash, read out of bounds, or overflow.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "engine/analysis_state.hpp"
#include "engine/least_squares.hpp"
#include "engine/select_shape.hpp"
#include "input/batch_line_reader.hpp"
#include "input/batch_reader.hpp"
#include "input/model_setup.hpp"
#include "input/settings_answers.hpp"

namespace {

using namespace tolvane;

struct Buffer {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
};

// A read-only stream over the fuzzer's bytes (fmemopen refuses size 0).
std::FILE* openBytes(Buffer* b) {
  cookie_io_functions_t io{};
  io.read = [](void* c, char* out, std::size_t n) -> ssize_t {
    auto* buf = static_cast<Buffer*>(c);
    const std::size_t take = std::min(n, buf->size - buf->pos);
    std::memcpy(out, buf->data + buf->pos, take);
    buf->pos += take;
    return static_cast<ssize_t>(take);
  };
  return fopencookie(b, "r", io);
}

// Settings chosen by the bits of one byte: a response and a column left out
// among the names read (or names that are no column), each scaling, and
// observation ranges inside, at and beyond the data's.
ModelSettings fuzzSettings(const AnalysisState& s, std::uint8_t bits) {
  ModelSettings m;
  const int columns = s.NVAR;
  const auto name = [&s, columns](int k) {
    return k < columns ? s.VNAME[k + 1] : std::string("none");
  };
  if (bits & 1) m.response = name(bits % 7);
  if (bits & 2) m.leaveOut = {name((bits >> 2) % 5)};
  if (bits & 4) m.predictors = {name(0), name(1), name(bits % 3 + 1)};
  m.scale = (bits >> 4) % 3;
  if (bits & 64) m.first = bits % 17;
  if (bits & 128) m.last = bits % 29;
  return m;
}

// A path chosen by the bits of one byte: each family, each step count, and
// Q values inside, at and beyond the clamped range.
PathSettings fuzzPath(std::uint8_t bits) {
  static const int steps[] = {kStepsOne, kStepsFour, kStepsEight, kStepsOne};
  static const char* const qs[] = {"0.0", "1", "-1.5", "2.5", "-5", "5", "9", "x"};
  return {kPathShapes[bits & 3].shape, qs[(bits >> 4) & 7], steps[(bits >> 2) & 3]};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Buffer buffer{data, size};
  std::FILE* file = openBytes(&buffer);
  if (file == nullptr) return 0;
  const auto state = std::make_unique<AnalysisState>();
  BatchLineReader reader(file);
  const BatchRunResult read = readBatchData(*state, reader, "fuzz.ayq");
  std::fclose(file);
  if (!read.completed()) return 0;
  const ModelSettings settings = fuzzSettings(*state, size > 0 ? data[size - 1] : 0);
  SettingsAnswers answers(settings);
  if (!setUpModel(*state, answers).completed() || !LEAST_SQUARES(*state)) return 0;
  SELECT_SHAPE(*state, fuzzPath(size > 1 ? data[size - 2] : 0), 1);
  return 0;
}
