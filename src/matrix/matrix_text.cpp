#include "matrix/matrix_text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "matrix/general_format.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

// A format of the form " %W.Pg" (one space, width, precision), which
// std::to_chars writes as printf would, several times faster.
struct GeneralFormat {
  int width = 0, precision = 0;
  bool valid = false;
  explicit GeneralFormat(const char* format) {
    int used = 0;
    valid = std::sscanf(format, " %%%d.%dg%n", &width, &precision, &used) == 2 &&
            format[0] == ' ' && format[used] == '\0' && width > 0 && width < 40 && precision >= 0 &&
            precision < 18;
  }
};

// Text gathered in a fixed buffer and written in blocks: no allocation, so
// writing cannot run short of memory, and few calls into stdio.
class LineBuffer {
 public:
  explicit LineBuffer(std::FILE* file) : file_(file) {}
  ~LineBuffer() { flush(); }
  void put(const char* text, int length) {
    if (used_ + length > static_cast<int>(sizeof buf_)) flush();
    std::memcpy(buf_ + used_, text, static_cast<std::size_t>(length));
    used_ += length;
  }
  void put(char c, int count = 1) {
    while (count > 0) {
      if (used_ == static_cast<int>(sizeof buf_)) flush();
      const int n = std::min(count, static_cast<int>(sizeof buf_) - used_);
      std::memset(buf_ + used_, c, static_cast<std::size_t>(n));
      used_ += n;
      count -= n;
    }
  }
  // A number right-aligned in a field of `width` after one space; text has
  // room for 32 characters.
  void putField(const char* text, int length, int width) {
    const int pad = 1 + (width > length ? width - length : 0);
    // Whole fixed-size copies (the text's buffer holds 32), no calls; what
    // they write past the field is overwritten by what follows.
    constexpr int kCopy = 32;
    if (pad > 16 || length > kCopy || used_ + 16 + kCopy > static_cast<int>(sizeof buf_)) {
      put(' ', pad);
      put(text, length);
      return;
    }
    std::memcpy(buf_ + used_, "                ", 16);
    std::memcpy(buf_ + used_ + pad, text, kCopy);
    used_ += pad + length;
  }
  void flush() {
    if (used_ > 0) std::fwrite(buf_, 1, static_cast<std::size_t>(used_), file_);
    used_ = 0;
  }

 private:
  std::FILE* file_;
  char buf_[4096];
  int used_ = 0;
};

// One row of numbers, wrapped at `perLine` values; the format is applied as
// given, so its leading space is the separator.
void writeRow(LineBuffer& out, const double* row, int count, int perLine, const char* format,
              const GeneralFormat& general) {
  int counter = 0;
  for (int j = 0; j < count; ++j) {
    if (++counter > perLine) {
      out.put('\n');
      counter = 1;
    }
    const double x = row[j];
    char number[512];
    int length;
    if (general.valid && std::isfinite(x)) {
      length = general.precision == 6
                   ? formatGeneral6(x, number)
                   : static_cast<int>(std::to_chars(number, number + sizeof number, x,
                                                    std::chars_format::general, general.precision)
                                          .ptr -
                                      number);
      out.putField(number, length, general.width);
      continue;
    }
    length = std::snprintf(number, sizeof number, format, x);
    if (length < 0) continue;
    if (length >= static_cast<int>(sizeof number)) length = static_cast<int>(sizeof number) - 1;
    out.put(number, length);
  }
  out.put('\n');
}

}  // namespace

void MYQWRITE(std::FILE* file, const MatrixRec& A, int perLine, const char* format, int closeFlag) {
  if (!A.exists()) RUN_ERROR("MYQWRITE: matrix does not exist.");
  if (file != nullptr) {
    const int w = perLine < 5 ? 5 : perLine;
    const GeneralFormat general(format);
    LineBuffer out(file);
    for (int i = 1; i <= A.rows; ++i)
      writeRow(out, A.data.row(i), A.cols, w, format, general);
    out.flush();
    if (closeFlag != 0) std::fclose(file);
  }
}

void VYQWRITE(std::FILE* file, const VectorRec& v, int perLine, const char* format, int closeFlag) {
  if (!v.exists()) RUN_ERROR("VYQWRITE: vector does not exist.");
  if (file != nullptr) {
    const int w = perLine < 5 ? 5 : perLine;
    LineBuffer out(file);
    if (v.exists()) writeRow(out, v.data.first(), v.rows, w, format, GeneralFormat(format));
    out.flush();
    if (closeFlag != 0) std::fclose(file);
  }
}

namespace {

// The sums of cross-products of deviations from the means into corr, each
// summed over the observations in order. di dj and dj di are the same
// number, so each pair is summed once; a row's sums run side by side.
template <class Store>
void crossDeviations(const MatrixRec& X, const VectorRec& mean, MatrixRec* corr) {
  const int n = X.rows, p = X.cols;
  std::vector<double> dev(static_cast<std::size_t>(n) * p);
  for (int k = 1; k <= n; ++k) {
    for (int j = 1; j <= p; ++j)
      dev[static_cast<std::size_t>(k - 1) * p + (j - 1)] =
          static_cast<double>(X.data[k][j]) - mean.data[j];
  }
  for (int i = 1; i <= p; ++i) {
    double* c = corr->data.row(i);
    for (int j = i - 1; j < p; ++j)
      c[j] = 0.0;
    for (int k = 0; k < n; ++k) {
      const double* d = dev.data() + static_cast<std::size_t>(k) * p;
      const double di = d[i - 1];
      for (int j = i - 1; j < p; ++j)
        c[j] = Store::round(c[j] + di * d[j]);
    }
    for (int j = i + 1; j <= p; ++j)
      corr->data[j][i] = corr->data[i][j];
  }
}

}  // namespace

void MYQ_STAT(const MatrixRec& X, VectorRec* mean, VectorRec* sd, MatrixRec* corr) {
  const int n = X.rows, p = X.cols;
  if (n < 2) RUN_ERROR("MYQ_STAT: too few observations in input matrix.");
  mean->release();
  sd->release();
  corr->release();
  if (n < 1 || p < 1) return;
  if (!mean->allocate(p) || !sd->allocate(p) || !corr->allocate(p, p)) {
    mean->release();
    sd->release();
    corr->release();
    return;
  }
  for (int j = 1; j <= p; ++j) {
    double s = 0.0;
    for (int i = 1; i <= n; ++i)
      s = stored(static_cast<double>(s) + X.data[i][j]);
    mean->data[j] = stored(static_cast<double>(s) / n);
  }
  if (singlePrecision()) {
    crossDeviations<SingleStore>(X, *mean, corr);
  } else {
    crossDeviations<DoubleStore>(X, *mean, corr);
  }
  for (int i = 1; i <= p; ++i) {
    sd->data[i] = stored(std::sqrt(static_cast<double>(corr->data[i][i]) / (n - 1)));
  }
  for (int i = 1; i <= p; ++i) {
    for (int j = 1; j <= p; ++j) {
      if (i == j) continue;
      const double denom = static_cast<double>(n - 1) * sd->data[i] * sd->data[j];
      corr->data[i][j] = stored(corr->data[i][j] / denom);
    }
    corr->data[i][i] = 1.0;
  }
}

double roundedToEightDecimals(double x) {
  // Both conversions are correctly rounded in printf and scanf as in the
  // standard library's exact ones, which give the same number many times
  // faster. Values those cannot take go the long way.
  char text[400];
  if (std::isfinite(x)) {
    const auto printed = std::to_chars(text, text + sizeof text, x, std::chars_format::fixed, 8);
    if (printed.ec == std::errc()) {
      double y = 0.0;
      const auto read = std::from_chars(text, printed.ptr, y);
      if (read.ec == std::errc() && read.ptr == printed.ptr) return y;
    }
  }
  std::snprintf(text, sizeof text, "%20.8f", x);
  double y = 0.0;
  if (std::sscanf(text, "%lf", &y) != 1) y = 0.0;
  return y;
}

}  // namespace tolvane
