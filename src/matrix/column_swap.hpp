// Exchanging two columns of a matrix: the sorts of the decompositions move
// their vectors along with their values.
#pragma once

#include <utility>

#include "matrix/matrix.hpp"

namespace tolvane {

// Exchanges columns i and j of a matrix over rows 1..rows.
template <class T>
void swapColumns(Rows1<T> m, int rows, int i, int j) {
  for (int r = 1; r <= rows; ++r)
    std::swap(m[r][i], m[r][j]);
}

}  // namespace tolvane
