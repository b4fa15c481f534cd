#include "input/cross_product_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "input/batch_reader.hpp"

namespace tolvane {

std::string writeCrossProductFile(const AnalysisState& s, const std::string& path) {
  const CentredSums& c = s.CSUMS;
  if (c.empty()) return "there are no sums to write (they come from delimited text).";
  const int p = s.P;
  std::vector<int> cols(s.XCOL.begin() + 1, s.XCOL.begin() + 1 + p);
  const int y = s.YCOL;
  const double n = static_cast<double>(c.count);
  // Row i of [XPX | XPY | XP1]: raw sums rebuilt from the centred ones.
  const auto value = [&](int i, int k) {
    const int a = cols[static_cast<std::size_t>(i - 1)];
    if (k <= p) {
      const int b = cols[static_cast<std::size_t>(k - 1)];
      // In column order, so that the matrix written is exactly symmetric.
      return c.comomentOf(a, b) + n * c.meanOf(std::min(a, b)) * c.meanOf(std::max(a, b));
    }
    if (k == p + 1) return c.comomentOf(a, y) + n * c.meanOf(a) * c.meanOf(y);
    return n * c.meanOf(a);
  };

  const std::string temp = path + ".part";
  std::FILE* f = std::fopen(temp.c_str(), "w");
  if (f == nullptr) return "cannot create " + temp + ": " + std::strerror(errno);
  std::fprintf(f, "%d\n-%lld\n", p + 1, static_cast<long long>(c.count));
  for (int i = 1; i <= p; ++i)
    std::fprintf(f, "%s ", s.VNAME[cols[static_cast<std::size_t>(i - 1)]].c_str());
  std::fprintf(f, "%s\n", s.VNAME[y].c_str());
  const int width = p + 2;
  for (int first = 1; first <= width; first += kBlockColumns) {
    const int last = std::min(width, first + kBlockColumns - 1);
    std::fprintf(f, "Columns %d to %d of XPX|XPY|XP1\n", first, last);
    for (int i = 1; i <= p; ++i) {
      for (int k = first; k <= last; ++k)
        std::fprintf(f, "%s%.17g", k == first ? "" : " ", value(i, k));
      std::fputc('\n', f);
    }
  }
  std::fprintf(f, "%.17g\n", n * c.meanOf(y));
  std::fprintf(f, "%.17g\n", c.comomentOf(y, y) + n * c.meanOf(y) * c.meanOf(y));
  const bool written = std::ferror(f) == 0;
  if (std::fclose(f) != 0 || !written) {
    std::remove(temp.c_str());
    return "cannot write " + temp + ".";
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    std::remove(temp.c_str());
    return "cannot rename " + temp + " to " + path + ": " + why;
  }
  return {};
}

}  // namespace tolvane
