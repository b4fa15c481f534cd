// Test helpers for the engine: build the model data of a state the way the
// batch input run does (centred, scaled by SCALECODE), open scratch output
// files, and collect the report lines a call appends.
#pragma once

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/analysis_state.hpp"
#include "engine/front_end_hooks.hpp"
#include "matrix/matrix_text.hpp"
#include "report/report.hpp"
#include "support/report_lines.hpp"

namespace tolvane::test {

// Columns of raw data: x[i][k] is predictor i (0-based) at observation k.
using Columns = std::vector<std::vector<double>>;

// The Hald cement data: heat evolved (y) against four clinker ingredients.
inline const Columns kHaldX = {
    {7, 1, 11, 11, 7, 11, 3, 1, 2, 21, 1, 11, 10},
    {26, 29, 56, 31, 52, 55, 71, 31, 54, 47, 40, 66, 68},
    {6, 15, 8, 8, 6, 9, 17, 22, 18, 4, 23, 9, 8},
    {60, 52, 20, 47, 33, 22, 6, 44, 22, 26, 34, 12, 12},
};
inline const std::vector<double> kHaldY = {78.5, 74.3, 104.3, 87.6, 95.9,  109.2, 102.7,
                                           72.5, 93.1, 115.9, 83.8, 113.3, 109.4};

inline void setControls(AnalysisState& s, int scalecode) {
  s.precision = Precision::kSingle;
  s.SCALECODE = scalecode;
  s.EPS = 1.0e-5f;
  s.LSPEND = 1;
  s.EQUALSV = 0;
  s.QSHAPE = 0.0f;
  s.MSTEPS = 8;
}

// The counts and controls of an n x p data set in either form.
inline void setShape(AnalysisState& s, int xpxform, int n, int p, int scalecode) {
  s.XPXFORM = xpxform;
  s.N = s.NOBS = n;
  s.N1 = 1;
  s.N2 = n;
  s.P = p;
  s.NVAR = p + 1;
  setControls(s, scalecode);
}

// Raw-data form: XMAT and YVEC centred, and rescaled when SCALECODE is 1
// or 2, with XAVG, XSTD, XCOR, YAVG and YSTD, all stored in single precision.
inline void setUpRawModel(AnalysisState& s, const Columns& x, const std::vector<double>& y,
                          int scalecode) {
  const int n = static_cast<int>(y.size()), p = static_cast<int>(x.size());
  setShape(s, 0, n, p, scalecode);
  s.XMAT.allocate(n, p);
  s.YVEC.allocate(n);
  float ysum = 0.0f;
  for (int k = 1; k <= n; ++k) {
    s.YVEC.data[k] = toFloat(y[k - 1]);
    ysum = toFloat(static_cast<double>(ysum) + s.YVEC.data[k]);
    for (int i = 1; i <= p; ++i)
      s.XMAT.data[k][i] = toFloat(x[i - 1][k - 1]);
  }
  s.YAVG = toFloat(static_cast<double>(ysum) / n);
  MYQ_STAT(s.XMAT, &s.XAVG, &s.XSTD, &s.XCOR);
  float yss = 0.0f;
  for (int k = 1; k <= n; ++k) {
    s.YVEC.data[k] = toFloat(static_cast<double>(s.YVEC.data[k]) - s.YAVG);
    yss = toFloat(yss + static_cast<double>(s.YVEC.data[k]) * s.YVEC.data[k]);
    for (int i = 1; i <= p; ++i) {
      s.XMAT.data[k][i] = toFloat(static_cast<double>(s.XMAT.data[k][i]) - s.XAVG.data[i]);
    }
  }
  s.YSTD = toFloat(std::sqrt(static_cast<double>(yss) / (n - 1)));
  if (scalecode == 1 || scalecode == 2) {
    for (int k = 1; k <= n; ++k) {
      s.YVEC.data[k] = toFloat(static_cast<double>(s.YVEC.data[k]) / s.YSTD);
      for (int i = 1; i <= p; ++i) {
        s.XMAT.data[k][i] = toFloat(static_cast<double>(s.XMAT.data[k][i]) / s.XSTD.data[i]);
      }
    }
  }
}

// Cross-product form from the same raw data: the sums a cross-product batch
// file would hold, turned into XPX, XPY, XAVG, XSTD, YAVG and YSTD the way
// the model set-up does.
inline void setUpCrossProductModel(AnalysisState& s, const Columns& x, const std::vector<double>& y,
                                   int scalecode) {
  const int n = static_cast<int>(y.size()), p = static_cast<int>(x.size());
  setShape(s, 1, n, p, scalecode);
  double sumY = 0.0, sumSqY = 0.0;
  for (double v : y) {
    sumY += v;
    sumSqY += v * v;
  }
  s.SUMY = sumY;
  s.SUMSQY = sumSqY;
  s.YAVG = toFloat(sumY / n);
  s.YSTD = toFloat(std::sqrt((sumSqY - sumY * sumY / n) / (n - 1)));
  s.XAVG.allocate(p);
  s.XSTD.allocate(p);
  s.XPX.allocate(p, p);
  s.XPY.allocate(p);
  for (int i = 1; i <= p; ++i) {
    double sx = 0.0, sxx = 0.0;
    for (int k = 0; k < n; ++k) {
      sx += x[i - 1][k];
      sxx += x[i - 1][k] * x[i - 1][k];
    }
    const float xsum = toFloat(sx), xsq = toFloat(sxx);
    s.XAVG.data[i] = toFloat(static_cast<double>(xsum) / n);
    const double avg = s.XAVG.data[i];
    s.XSTD.data[i] = toFloat(std::sqrt((xsq - n * avg * avg) / (n - 1)));
  }
  for (int i = 1; i <= p; ++i) {
    double sxy = 0.0;
    for (int k = 0; k < n; ++k)
      sxy += x[i - 1][k] * y[k];
    s.XPY.data[i] = toFloat(toFloat(sxy) - static_cast<double>(n) * s.XAVG.data[i] * s.YAVG);
    for (int j = 1; j <= p; ++j) {
      double sij = 0.0;
      for (int k = 0; k < n; ++k)
        sij += x[i - 1][k] * x[j - 1][k];
      s.XPX.data[i][j] =
          toFloat(toFloat(sij) - static_cast<double>(n) * s.XAVG.data[i] * s.XAVG.data[j]);
    }
  }
  if (scalecode == 1 || scalecode == 2) {
    for (int i = 1; i <= p; ++i) {
      s.XPY.data[i] = toFloat(s.XPY.data[i] / (static_cast<double>(s.XSTD.data[i]) * s.YSTD));
      for (int j = 1; j <= p; ++j) {
        s.XPX.data[i][j] =
            toFloat(s.XPX.data[i][j] / (static_cast<double>(s.XSTD.data[i]) * s.XSTD.data[j]));
      }
    }
  }
}

// Opens both output files as anonymous scratch files.
inline void openScratchOutputs(AnalysisState& s) {
  s.files.closeBoth();
  s.files.SUMMFILE = std::tmpfile();
  s.files.TRACEFILE = std::tmpfile();
}

// Everything written to a file so far; the file stays open for more.
inline std::string fileText(std::FILE* f) {
  std::string text;
  if (f == nullptr) return text;
  std::fflush(f);
  const long end = std::ftell(f);
  std::rewind(f);
  char buf[4096];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0)
    text.append(buf, got);
  std::fseek(f, end, SEEK_SET);
  return text;
}

inline std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Counts the "offer the Path menu" signals while it lives.
class PathMenuSpy {
 public:
  PathMenuSpy() {
    setFrontEndHooks({[this] { ++calls; }, {}});
  }
  ~PathMenuSpy() { setFrontEndHooks({}); }
  PathMenuSpy(const PathMenuSpy&) = delete;
  PathMenuSpy& operator=(const PathMenuSpy&) = delete;
  int calls = 0;
};

// Index of the first line equal to `text`, or -1.
inline int findLine(const std::vector<std::string>& lines, const std::string& text) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == text) return static_cast<int>(i);
  }
  return -1;
}

// printf into a std::string.
template <class... Args>
std::string format(const char* fmt, Args... args) {
  char buf[512];
  std::snprintf(buf, sizeof buf, fmt, args...);
  return buf;
}

}  // namespace tolvane::test
