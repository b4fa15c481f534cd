// Reducing rows to centred sums (count, means, co-moments) in double
// precision, in memory that does not grow with the number of rows, with the
// same bits for any number of threads.
//
// Rows are taken in fixed chunks of kChunkRows (the last may be shorter).
// Each chunk is reduced on its own in two passes (its mean, then the
// products of deviations from that mean), so that large means never enter a
// product. Chunks are merged with the pairwise update of Chan, Golub and
// LeVeque in a tree fixed by the chunk count alone: a binary counter of
// partial results, one per level. Which thread reduced a chunk never matters.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/centred_sums.hpp"

namespace tolvane {

// Two passes over `count` rows of `columns` values, row-major.
CentredSums reduceChunk(const double* rows, std::size_t count, int columns);

// a becomes the sums of a's rows followed by b's rows.
void mergeSums(CentredSums& a, const CentredSums& b);

class ComomentAccumulator {
 public:
  static constexpr std::size_t kChunkRows = 4096;

  explicit ComomentAccumulator(int columns) : columns_(columns) {}

  int columns() const { return columns_; }

  // Adds the reduction of the next chunk in row order. Every chunk but the
  // last must hold kChunkRows rows, so that the tree depends on the count of
  // rows alone.
  void push(CentredSums chunk);

  // The sums of every row pushed, merged oldest first. Empty (count 0) when
  // nothing was pushed.
  CentredSums result() const;

 private:
  int columns_;
  // levels_[k] holds the merge of 2^k chunks, or nothing (count 0).
  std::vector<CentredSums> levels_;
};

}  // namespace tolvane
