#include "input/cross_product_file.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "input/batch_reader.hpp"
#include "report/output_file.hpp"

namespace tolvane {

Status writeCrossProductFile(const AnalysisState& s, const std::string& path) {
  const CentredSums& c = s.CSUMS;
  if (c.empty())
    return Status::stopped("there are no sums to write (they come from delimited text).");
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

  std::string text;
  char cell[64];
  const auto add = [&text, &cell](const char* format, auto... values) {
    std::snprintf(cell, sizeof cell, format, values...);
    text += cell;
  };
  add("%d\n-%lld\n", p + 1, static_cast<long long>(c.count));
  for (int i = 1; i <= p; ++i)
    text += s.VNAME[cols[static_cast<std::size_t>(i - 1)]] + " ";
  text += s.VNAME[y] + "\n";
  const int width = p + 2;
  for (int first = 1; first <= width; first += kBlockColumns) {
    const int last = std::min(width, first + kBlockColumns - 1);
    add("Columns %d to %d of XPX|XPY|XP1\n", first, last);
    for (int i = 1; i <= p; ++i) {
      for (int k = first; k <= last; ++k)
        add("%s%.17g", k == first ? "" : " ", value(i, k));
      text += '\n';
    }
  }
  add("%.17g\n", n * c.meanOf(y));
  add("%.17g\n", c.comomentOf(y, y) + n * c.meanOf(y) * c.meanOf(y));
  return writeFileAtomically(path, text);
}

}  // namespace tolvane
