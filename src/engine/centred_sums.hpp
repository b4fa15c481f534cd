// Centred sums of a data set reduced in one pass: the count, the column means
// and the co-moments sum((x_a - mean_a) * (x_b - mean_b)). They describe a
// data set of any length in P x P numbers without the cancellation that raw
// sums suffer when means are large against spreads.
#pragma once

#include <cstdint>
#include <vector>

namespace tolvane {

struct CentredSums {
  std::int64_t count = 0;
  int columns = 0;
  std::vector<double> mean;      // columns entries
  std::vector<double> comoment;  // columns x columns, row-major, symmetric

  bool empty() const { return count == 0; }
  void clear() { *this = CentredSums{}; }
  // 1-based columns, as DATA is numbered.
  double meanOf(int column) const { return mean[static_cast<std::size_t>(column - 1)]; }
  double comomentOf(int a, int b) const {
    return comoment[static_cast<std::size_t>(a - 1) * static_cast<std::size_t>(columns) +
                    static_cast<std::size_t>(b - 1)];
  }
};

}  // namespace tolvane
