// The draws of the resamples (resampleRows of bootstrap.hpp): resample
// `index` is a function of the seed and its index alone, so that it does not
// matter which thread draws it, or in which order.
#include <cstdint>
#include <vector>

#include "model/bootstrap.hpp"

namespace tolvane {

namespace {

// SplitMix64: a small generator whose whole state is one counter, so that a
// stream can be started anywhere from (seed, index) alone.
std::uint64_t mix64(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

class RowDraws {
 public:
  RowDraws(std::uint64_t seed, int index)
      : state_(mix64(seed) ^ mix64(0x632be59bd9b4e019ULL + static_cast<std::uint64_t>(index))) {}

  // Uniform on 0..n-1 without modulo bias (multiply and reject).
  int below(int n) {
    const std::uint64_t range = static_cast<std::uint64_t>(n);
    const std::uint64_t threshold = (0 - range) % range;
    for (;;) {
      const unsigned __int128 m = static_cast<unsigned __int128>(next()) * range;
      if (static_cast<std::uint64_t>(m) >= threshold) return static_cast<int>(m >> 64);
    }
  }

 private:
  std::uint64_t next() {
    state_ += 0x9e3779b97f4a7c15ULL;
    return mix64(state_);
  }
  std::uint64_t state_;
};

}  // namespace

void resampleRows(std::uint64_t seed, int index, int n, std::vector<int>* rows) {
  RowDraws draws(seed, index);
  rows->resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    (*rows)[i] = draws.below(n);
}

}  // namespace tolvane
