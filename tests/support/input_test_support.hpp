// Helpers of the batch input and batch tool tests: captured report lines,
// input files in memory and cross-product texts; the scripted dialogs and the
// scratch folder are the shared ones of example_run.hpp.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "input/batch_dialogs.hpp"
#include "report/report.hpp"
#include "support/example_run.hpp"
#include "support/report_lines.hpp"

namespace tolvane::test {

// An input file holding `text`, with a flag that turns true when it is
// closed, so tests can check that every path of a run closes INFILE.
struct TrackedFile {
  std::FILE* file = nullptr;
  std::shared_ptr<bool> closed = std::make_shared<bool>(false);
};

inline TrackedFile trackedFile(const std::string& text) {
  struct Cookie {
    std::string text;
    std::size_t pos = 0;
    std::shared_ptr<bool> closed;
  };
  TrackedFile t;
  auto* cookie = new Cookie{text, 0, t.closed};
  cookie_io_functions_t io{};
  io.read = [](void* c, char* buf, std::size_t size) -> ssize_t {
    auto* k = static_cast<Cookie*>(c);
    const std::size_t n = std::min(size, k->text.size() - k->pos);
    k->text.copy(buf, n, k->pos);
    k->pos += n;
    return static_cast<ssize_t>(n);
  };
  io.close = [](void* c) -> int {
    auto* k = static_cast<Cookie*>(c);
    *k->closed = true;
    delete k;
    return 0;
  };
  t.file = fopencookie(cookie, "r", io);
  return t;
}

// The Hald cement data as raw observations.
inline const std::string kHaldRaw =
    "5\n13\nx1 x2 x3 x4 y\n"
    "7 26 6 60 78.5\n1 29 15 52 74.3\n11 56 8 20 104.3\n11 31 8 47 87.6\n7 52 6 33 95.9\n"
    "11 55 9 22 109.2\n3 71 17 6 102.7\n1 31 22 44 72.5\n2 54 18 22 93.1\n21 47 4 26 115.9\n"
    "1 40 23 34 83.8\n11 66 9 12 113.3\n10 68 8 12 109.4\n";

// The cross-product form of a data set: its sums computed here in double
// precision and written with 17 significant digits, in blocks of 8 columns.
inline std::string crossProducts(const std::vector<std::string>& names,
                                 const std::vector<std::vector<double>>& rows) {
  const int nvar = static_cast<int>(names.size()), p = nvar - 1;
  std::vector<std::vector<double>> m(p, std::vector<double>(nvar + 1, 0.0));
  double sy = 0, syy = 0;
  for (const auto& row : rows) {
    for (int i = 0; i < p; ++i) {
      for (int j = 0; j < nvar; ++j)
        m[i][j] += row[i] * row[j];
      m[i][nvar] += row[i];
    }
    sy += row[p];
    syy += row[p] * row[p];
  }
  std::string text = std::to_string(nvar) + "\n-" + std::to_string(rows.size()) + "\n";
  for (const std::string& n : names)
    text += n + " ";
  text += "\n";
  char num[64];
  for (int first = 0; first < nvar + 1; first += 8) {
    text += "heading\n";
    for (const auto& r : m) {
      for (int j = first; j < std::min(first + 8, nvar + 1); ++j) {
        std::snprintf(num, sizeof num, "%.17g ", r[j]);
        text += num;
      }
      text += "\n";
    }
  }
  std::snprintf(num, sizeof num, "%.17g\n%.17g\n", sy, syy);
  return text + num;
}

// The same for a raw batch input text with its names on one line.
inline std::string crossProducts(const std::string& raw) {
  std::istringstream in(raw);
  int nvar = 0, nobs = 0;
  std::string line;
  in >> nvar >> nobs;
  std::vector<std::string> names(nvar);
  for (std::string& n : names)
    in >> n;
  std::vector<std::vector<double>> rows(nobs, std::vector<double>(nvar));
  for (auto& row : rows) {
    for (double& v : row)
      in >> v;
  }
  return crossProducts(names, rows);
}

}  // namespace tolvane::test
