#include "engine/comoment_accumulator.hpp"

#include <utility>

namespace tolvane {

CentredSums reduceChunk(const double* rows, std::size_t count, int columns) {
  CentredSums s;
  const auto m = static_cast<std::size_t>(columns);
  s.count = static_cast<std::int64_t>(count);
  s.columns = columns;
  s.mean.assign(m, 0.0);
  s.comoment.assign(m * m, 0.0);
  if (count == 0) return s;
  for (std::size_t r = 0; r < count; ++r) {
    const double* row = rows + r * m;
    for (std::size_t a = 0; a < m; ++a)
      s.mean[a] += row[a];
  }
  for (std::size_t a = 0; a < m; ++a)
    s.mean[a] /= static_cast<double>(count);
  // A second look at the deviations removes the rounding of the first mean.
  std::vector<double> fix(m, 0.0), d(m);
  for (std::size_t r = 0; r < count; ++r) {
    const double* row = rows + r * m;
    for (std::size_t a = 0; a < m; ++a)
      fix[a] += row[a] - s.mean[a];
  }
  for (std::size_t a = 0; a < m; ++a)
    s.mean[a] += fix[a] / static_cast<double>(count);
  for (std::size_t r = 0; r < count; ++r) {
    const double* row = rows + r * m;
    for (std::size_t a = 0; a < m; ++a)
      d[a] = row[a] - s.mean[a];
    for (std::size_t a = 0; a < m; ++a) {
      double* out = &s.comoment[a * m];
      const double da = d[a];
      for (std::size_t b = a; b < m; ++b)
        out[b] += da * d[b];
    }
  }
  for (std::size_t a = 0; a < m; ++a) {
    for (std::size_t b = 0; b < a; ++b)
      s.comoment[a * m + b] = s.comoment[b * m + a];
  }
  return s;
}

void mergeSums(CentredSums& a, const CentredSums& b) {
  if (b.count == 0) return;
  if (a.count == 0) {
    a = b;
    return;
  }
  const auto m = static_cast<std::size_t>(a.columns);
  const double na = static_cast<double>(a.count), nb = static_cast<double>(b.count);
  const double n = na + nb;
  std::vector<double> delta(m);
  for (std::size_t i = 0; i < m; ++i)
    delta[i] = b.mean[i] - a.mean[i];
  const double w = na * nb / n;
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < m; ++j)
      a.comoment[i * m + j] += b.comoment[i * m + j] + delta[i] * delta[j] * w;
  }
  for (std::size_t i = 0; i < m; ++i)
    a.mean[i] += delta[i] * (nb / n);
  a.count += b.count;
}

void ComomentAccumulator::push(CentredSums chunk) {
  for (std::size_t k = 0;; ++k) {
    if (k == levels_.size()) levels_.emplace_back();
    if (levels_[k].count == 0) {
      levels_[k] = std::move(chunk);
      return;
    }
    CentredSums older = std::move(levels_[k]);
    levels_[k].clear();
    mergeSums(older, chunk);
    chunk = std::move(older);
  }
}

CentredSums ComomentAccumulator::result() const {
  // The highest level holds the oldest rows: merge from there down.
  CentredSums total;
  for (std::size_t k = levels_.size(); k-- > 0;)
    mergeSums(total, levels_[k]);
  if (total.count == 0) {
    total.columns = columns_;
    total.mean.assign(static_cast<std::size_t>(columns_), 0.0);
    total.comoment.assign(static_cast<std::size_t>(columns_) * columns_, 0.0);
  }
  return total;
}

}  // namespace tolvane
