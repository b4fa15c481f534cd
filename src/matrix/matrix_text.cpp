#include "matrix/matrix_text.hpp"

#include <charconv>
#include <cmath>
#include <string>

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

// One row of numbers, wrapped at `perLine` values; the format is applied as
// given, so its leading space is the separator. A general format is put
// together in memory and written a row at a time.
void writeRow(std::FILE* file, const double* row, int count, int perLine, const char* format,
              const GeneralFormat& general, std::string& text) {
  text.clear();
  int counter = 0;
  for (int j = 0; j < count; ++j) {
    if (++counter > perLine) {
      text += '\n';
      counter = 1;
    }
    const double x = row[j];
    char number[64];
    int length;
    if (general.valid && std::isfinite(x)) {
      length = general.precision == 6
                   ? formatGeneral6(x, number)
                   : static_cast<int>(std::to_chars(number, number + sizeof number, x,
                                                    std::chars_format::general, general.precision)
                                          .ptr -
                                      number);
      text += ' ';
      if (general.width > length) text.append(general.width - length, ' ');
    } else {
      length = std::snprintf(number, sizeof number, format, x);
      if (length < 0) continue;
      if (length >= static_cast<int>(sizeof number)) {
        std::fwrite(text.data(), 1, text.size(), file);
        text.clear();
        std::fprintf(file, format, x);
        continue;
      }
    }
    text.append(number, length);
  }
  text += '\n';
  std::fwrite(text.data(), 1, text.size(), file);
}

}  // namespace

void MYQWRITE(std::FILE* file, const MatrixRec& A, int perLine, const char* format, int closeFlag) {
  if (!A.exists()) RUN_ERROR("MYQWRITE: matrix does not exist.");
  if (file != nullptr) {
    const int w = perLine < 5 ? 5 : perLine;
    const GeneralFormat general(format);
    std::string text;
    for (int i = 1; i <= A.rows; ++i)
      writeRow(file, A.data.row(i), A.cols, w, format, general, text);
    if (closeFlag != 0) std::fclose(file);
  }
}

void VYQWRITE(std::FILE* file, const VectorRec& v, int perLine, const char* format, int closeFlag) {
  if (!v.exists()) RUN_ERROR("VYQWRITE: vector does not exist.");
  if (file != nullptr) {
    const int w = perLine < 5 ? 5 : perLine;
    std::string text;
    if (v.exists()) writeRow(file, v.data.first(), v.rows, w, format, GeneralFormat(format), text);
    if (closeFlag != 0) std::fclose(file);
  }
}

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
  for (int i = 1; i <= p; ++i) {
    for (int j = 1; j <= p; ++j) {
      double c = 0.0;
      for (int k = 1; k <= n; ++k) {
        const double di = static_cast<double>(X.data[k][i]) - mean->data[i];
        const double dj = static_cast<double>(X.data[k][j]) - mean->data[j];
        c = stored(static_cast<double>(c) + di * dj);
      }
      corr->data[i][j] = c;
    }
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

}  // namespace tolvane
