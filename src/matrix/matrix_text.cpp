#include "matrix/matrix_text.hpp"

#include <cmath>

#include "report/report.hpp"

namespace tolvane {

namespace {

// One row of numbers, wrapped at `perLine` values; the format is applied as
// given, so its leading space is the separator.
void writeRow(std::FILE* file, const double* row, int count, int perLine, const char* format) {
  int counter = 0;
  for (int j = 0; j < count; ++j) {
    if (++counter > perLine) {
      std::fputc('\n', file);
      counter = 1;
    }
    std::fprintf(file, format, static_cast<double>(row[j]));
  }
  std::fputc('\n', file);
}

}  // namespace

void MYQWRITE(std::FILE* file, const MatrixRec& A, int perLine, const char* format, int closeFlag) {
  if (!A.exists()) RUN_ERROR("MYQWRITE: matrix does not exist.");
  if (file != nullptr) {
    const int w = perLine < 5 ? 5 : perLine;
    for (int i = 1; i <= A.rows; ++i)
      writeRow(file, A.data.row(i), A.cols, w, format);
    if (closeFlag != 0) std::fclose(file);
  }
}

void VYQWRITE(std::FILE* file, const VectorRec& v, int perLine, const char* format, int closeFlag) {
  if (!v.exists()) RUN_ERROR("VYQWRITE: vector does not exist.");
  if (file != nullptr) {
    const int w = perLine < 5 ? 5 : perLine;
    if (v.exists()) writeRow(file, v.data.first(), v.rows, w, format);
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
