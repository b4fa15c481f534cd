// Test helpers for the model layer: a batch input run of an example (or of
// a data set written by the test) through Select Shape, with every dialog
// answered, and the data as the test's own double-precision Eigen matrices.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <Eigen/Dense>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/analysis_state.hpp"
#include "engine/select_shape.hpp"
#include "model/comparison_criteria.hpp"
#include "model/extent_choice.hpp"
#include "model/path_walk.hpp"
#include "support/example_run.hpp"

namespace tolvane::test {

class ModelFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tolvane-model-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    s.files.closeBoth();
    std::filesystem::remove_all(dir_);
  }

  // A batch input run of `path` with the scaling button, then one Select
  // Shape; the walk and the comparison criteria of the path.
  bool analyse(const std::string& path, int scaleButton, PathShape shape = PathShape::kQShape,
               const std::string& q = "0", int steps = kStepsFour) {
    return runDataFile(s, path, dir_, scaleButton) && reselect(shape, q, steps);
  }
  bool reselect(PathShape shape, const std::string& q, int steps) {
    PathPick pick(shape, steps, q);
    if (!SELECT_SHAPE(s, pick, 1)) return false;
    return walkPath(s, &walk) && computeComparisonCriteria(s, walk, &cc).ok();
  }
  // Writes a raw batch input file of the columns (the last the response).
  std::string writeData(const std::string& name, const Eigen::MatrixXd& data) {
    const std::string path = dir_ + "/" + name;
    std::ofstream out(path);
    out << data.cols() << " variables\n" << data.rows() << " observations\n";
    for (int j = 0; j < data.cols(); ++j)
      out << (j + 1 == data.cols() ? "y" : "x" + std::to_string(j + 1)) << " ";
    out << "\n";
    for (int i = 0; i < data.rows(); ++i) {
      for (int j = 0; j < data.cols(); ++j)
        out << data(i, j) << " ";
      out << "\n";
    }
    return path;
  }

  // The predictors (N x P) and the response of the observations used, in
  // the units of the batch file, in double precision (raw data only).
  Eigen::MatrixXd predictors() const {
    Eigen::MatrixXd x(s.N, s.P);
    for (int i = 0; i < s.N; ++i) {
      for (int j = 0; j < s.P; ++j)
        x(i, j) = s.DATA.data[s.N1 + i][s.XCOL[j + 1]];
    }
    return x;
  }
  Eigen::VectorXd response() const {
    Eigen::VectorXd y(s.N);
    for (int i = 0; i < s.N; ++i)
      y(i) = s.DATA.data[s.N1 + i][s.YCOL];
    return y;
  }

  AnalysisState s;
  PathWalk walk;
  ComparisonCriteria cc;
  std::string dir_;
};

// A step's Status as the tests read it: true when it went through, with
// its sentence in *why either way.
inline bool passed(const Status& status, std::string* why) {
  *why = status.message;
  return status.ok();
}

// The test's own scaling of the data as the scale code asks: centred, and
// divided by the standard deviation (N - 1) when the code is 1 or 2.
struct Scaled {
  Eigen::MatrixXd x;
  Eigen::VectorXd y;
  Eigen::RowVectorXd xMean, xSd;
  double yMean = 0.0, ySd = 1.0;
};

inline Scaled scaleData(const Eigen::MatrixXd& x, const Eigen::VectorXd& y, int scalecode) {
  Scaled d;
  const double n = static_cast<double>(x.rows());
  d.xMean = x.colwise().mean();
  d.yMean = y.mean();
  d.x = x.rowwise() - d.xMean;
  d.y = y.array() - d.yMean;
  d.xSd = (d.x.colwise().squaredNorm() / (n - 1.0)).cwiseSqrt();
  const double ySd = std::sqrt(d.y.squaredNorm() / (n - 1.0));
  d.ySd = 1.0;
  if (scalecode == 1 || scalecode == 2) {
    d.x = d.x.array().rowwise() / d.xSd.array();
    d.y /= ySd;
    d.ySd = ySd;
  } else {
    d.xSd.setOnes();
  }
  return d;
}

}  // namespace tolvane::test
