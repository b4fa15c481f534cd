// The analysis state: the one record through which the batch input, the
// regression engine, the front ends and the graphs share the current data
// set, the model, the chosen path and every result. Names follow the labels
// the program prints. Name arrays, column arrays and QWEIGHT are 1-based
// (slot 0 unused) like the matrices.
//
// Glossary. The upper-case names are the program's own labels, kept so that
// the code reads like the files it writes. A name ending in YQ is a matrix
// (MYQ... routines) or vector (VYQ...) of results; "xYQ" traces have one row
// per path step and one column per predictor or axis. Names of our own (such
// as JACOBI_SET, stored, PrecisionScope) follow ordinary C++ casing.
//   NVAR, NOBS   columns and observations of the input; XPXFORM 1 for a
//                file of cross-products instead of raw data
//   P, N, N1, N2 predictors, observations used, first and last observation
//   XMAT, YVEC   centred (and scaled) predictors and response, raw data
//   XPX, XPY     centred (and scaled) cross-products, cross-product data
//   XAVG, XSTD   predictor means and standard deviations; YAVG, YSTD the same
//                for the response; SCALECODE 0 centre, 1 rescale, 2 re-express
//   MCOR         marginal correlations of each predictor with the response
//   SVAL         singular values of the predictors (0 for dropped axes); EVAL
//                their squares from an eigen-decomposition of XPX
//   DCOS         direction cosines: the principal axes, one per column (G)
//   PCOORD       principal coordinates (U of the decomposition), raw data
//   RANK         axes kept; EQUALSV 1 when all kept singular values are equal
//   UCOMP        uncorrelated components: the least-squares coefficients of
//                the principal axes
//   PCOR         principal correlations of each axis with the response
//   PCTSTAT      their t-statistics; PCSE their standard error
//   BOLS         least-squares coefficients of the predictors; OLSTSTAT their
//                t-statistics; RELVAR their relative standard errors
//   TSS, S2OLS, RSQ  total sum of squares, residual variance, R-squared
//   XPXINV       inverse cross-products; XPXFIT the rebuilt cross-products
//   LSPEND       1 while least squares is pending (no analysis to trace)
//   QSHAPE, SHAPECODE, MSTEPS, NSTEPS  the path: its shape, steps per unit
//                of MCAL (the multicollinearity allowance, the extent of
//                shrinkage) and the number of steps; QWEIGHT the axis weights
//   CYQ, RYQ, EYQ, IYQ, DYQ  traces of coefficients, relative risks, excess
//                eigenvalues, the inferior direction and the delta
//                (shrinkage) factors of the axes
//   THREEYQ      the three extent criteria (CLIK, RCOEF, EBAYS) per step
//   QYQ          the path-shape table; KYQ the re-regression matrix
//   EPS          the one tolerance of every decision
//   precision    whether stored values are rounded to single precision
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "engine/centred_sums.hpp"
#include "engine/path_shape.hpp"
#include "matrix/matrix.hpp"
#include "report/output_file.hpp"

namespace tolvane {

// Columns of a batch file, and of any data in single precision (whose Jacobi
// sweeps are O(P^3) a step). Double precision is limited by memory instead:
// see maxColumns().
inline constexpr int kMaxVars = 50;
inline constexpr int kMaxRawObs = 200;  // raw rows of a batch file, and in single precision
// Matrices of one row per observation (the model data, the principal
// coordinates) are listed in the summary and trace files up to this many
// rows; past it a line says so, and the files keep a size one can open.
inline constexpr int kMaxListedRows = 10000;

// The two output files of a batch input run. Closed (and flushed) when a new
// run opens its own, by the CloseFiles command, and at program exit.
struct OutputFiles {
  std::FILE* SUMMFILE = nullptr;   // summary file (.syq)
  std::FILE* TRACEFILE = nullptr;  // trace matrix file (.myq)
  std::string SUMMNAME;            // summary file name, with ".syq", as the user gave it
  std::string TRACENAME;           // trace matrix file name, with ".myq", as the user gave it
  // Where names without a directory are opened; empty means the current
  // directory. The names above are shown in reports, the paths are opened.
  std::string directory;

  OutputFiles() = default;
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;
  ~OutputFiles() { closeBoth(); }

  bool summOpen() const { return SUMMFILE != nullptr; }
  bool traceOpen() const { return TRACEFILE != nullptr; }
  // The path a name is opened at: the name itself when it is absolute or no
  // directory is set, else directory/name.
  std::string pathOf(const std::string& name) const;
  // Opens both at their paths as new files beside the old ones (copies of
  // the old ones when `append`); SUMMFILE and TRACEFILE then write to them.
  // Fails (naming the file and the reason) when either cannot be made;
  // nothing is left behind then.
  Status openBoth(const std::string& summPath, const std::string& tracePath, bool append);
  // Puts both new files in place (atomic renames). Until then the files of
  // those names are exactly as they were. On failure both are taken back.
  Status commitBoth();
  // Pushes what is buffered to disk, so that other programs can read the
  // files while they stay open. Fails (the file and the system's reason)
  // when any write to either has failed so far.
  Status flushBoth();
  // Flushes and closes both files and marks them not open; the names stay.
  // New files never put in place are removed. Fails when a write, flush or
  // close failed.
  Status closeBoth();
  // After a failed write: takes back both files (a new one removed, an
  // appended one cut back to its old length) and closes them.
  void revertBoth();
  // The first write failure seen by flushBoth() or closeBoth() since the
  // files were opened ("cannot write NAME: REASON"); empty when none.
  const std::string& failure() const { return failure_; }

 private:
  OutputFile summOut_, traceOut_;
  std::string failure_;
};

// Dialog memories kept for the whole program run (never reset by a batch
// input): the scaling dialog's button and first-observation text, the path
// dialog's shape, steps and Q text, the line thickness choice.
enum ScaleButton { kCenterOnly = 0, kCenterRescale = 1, kReExpress = 2 };
enum StepsButton { kStepsOne = 1013, kStepsFour = 1014, kStepsEight = 1015 };

struct DialogMemory {
  int SCALEBTN = kCenterRescale;
  std::string N1TEXT = "1";
  std::string N2TEXT = "9999";
  PathShape SHAPEBTN = PathShape::kQShape;
  int STEPSBTN = kStepsFour;
  std::string QTEXT = "0.0";
  int lineWidthChoice = 1003;
};

// The stages an analysis passes through; each is entered only from the one
// before it, and a new batch input returns to kEmpty first.
enum class AnalysisStage {
  kEmpty,       // nothing read, or the last batch input stopped
  kDataRead,    // model data built (XMAT/YVEC or XPX/XPY); LSPEND 1
  kAnalysed,    // least squares done (LSPEND 0): Select Shape may run
  kPathChosen,  // a path has been traced: the trace graphs may be drawn
};

// What the data's columns are and the model makes of them: their names and
// roles, the scaling and the one tolerance. A repeated analysis of other rows
// of the same data (a resample) starts from a copy of it.
struct ModelDescription {
  int NVAR = 0;
  // Per column, 1-based (slot 0 unused): kMaxVars + 1 entries, or NVAR + 1
  // when setColumnCount() is given more.
  std::vector<std::string> VNAME = std::vector<std::string>(kMaxVars + 1);  // <= 8 characters
  // Full column names of a delimited-text file, shown wherever the user reads
  // names beyond the summary and trace files; empty for a batch file.
  std::vector<std::string> LONGNAME = std::vector<std::string>(kMaxVars + 1);
  std::vector<char> VROLE = std::vector<char>(kMaxVars + 1);  // 'P', 'R' or 'I'
  int P = 0;
  // Per predictor, 1-based: at most NVAR - 1 are used.
  std::vector<int> XCOL = std::vector<int>(kMaxVars + 1);
  std::vector<std::string> XNAME = std::vector<std::string>(kMaxVars + 1);
  int YCOL = 0;
  std::string YNAME;
  int SCALECODE = 1;
  // The single-precision value of 1e-5, in both precisions: the same
  // tolerance, the same decisions.
  double EPS = 1.0e-5f;

  // Sets NVAR and grows the column arrays to hold it; what they held stays.
  void setColumnCount(int nvar);
  // True when c is a column the arrays hold.
  bool hasColumn(int c) const { return c >= 1 && c < static_cast<int>(VNAME.size()); }
};

// Everything one analysis is made of, from the counts read to the traces.
// Kept apart from what outlives an analysis (the files, the dialog memories,
// the lock) so that a batch input run can set the previous analysis aside and
// put it back when the user cancels.
struct AnalysisData : ModelDescription {
  // Counts of rows reduced from delimited text reach far beyond int.
  std::int64_t NOBS = 0;
  int XPXFORM = 0;
  int N1 = 0;
  std::int64_t N2 = 0, N = 0;

  // Data and model matrices.
  MatrixRec DATA;
  double SUMY = 0.0, SUMSQY = 0.0;
  // Delimited text of more rows than raw data take (XPXFORM 1): the centred
  // sums over every column read, which the model set-up uses instead of
  // DATA, SUMY and SUMSQY. Also kept for raw-form delimited text.
  CentredSums CSUMS;
  MatrixRec XMAT;
  VectorRec YVEC;
  MatrixRec XPX;
  VectorRec XPY;
  double YAVG = 0.0, YSTD = 0.0;
  VectorRec XAVG, XSTD;
  MatrixRec XCOR;

  // Least squares and principal axes.
  VectorRec MCOR, SVAL;
  MatrixRec DCOS, PCOORD;
  VectorRec EVAL;
  int RANK = 0;
  VectorRec UCOMP, PCOR, BOLS, RESID;
  double TSS = 0.0, S2OLS = 0.0, PCSE = 0.0, RSQ = 0.0;
  VectorRec PCTSTAT;
  MatrixRec XPXINV;
  VectorRec RELVAR, OLSTSTAT;
  MatrixRec XPXFIT;
  int EQUALSV = 0;
  MatrixRec WORKMAT;

  // Path and control settings.
  double QSHAPE = 0.0;
  PathShape SHAPECODE = PathShape::kQShape;
  int MSTEPS = 8;
  int NSTEPS = 0;
  // Axes 1..P (slot 0 unused); kMaxVars + 1 entries, or P + 1 when more.
  std::vector<double> QWEIGHT = std::vector<double>(kMaxVars + 1);
  int LSPEND = 1;
  int lineWidth = 0;

  // Path results.
  MatrixRec CYQ, RYQ, EYQ, IYQ, DYQ;
  MatrixRec THREEYQ;  // the three extent likelihood criteria ("3YQ")
  MatrixRec QYQ;      // the path-shape table, kept after it is written for export
  MatrixRec KYQ;      // re-regression matrix: filled by no computation
  // Paths traced (and written) on these data, the current one included:
  // the number in the names of a path's own files.
  int pathsTraced = 0;
  // Filled by the model layer after each Select Shape: the comparison
  // criteria (GCV, PRESS, AIC, BIC; NSTEPS x 4, each divided by its own
  // minimum, NaN where one does not exist) and the MCAL marks the trace
  // charts draw: the chosen extent and each criterion's minimum.
  MatrixRec CCYQ;
  struct McalMark {
    std::string label;
    double mcal = 0.0;
    bool chosen = false;  // the chosen extent, drawn stronger
  };
  std::vector<McalMark> MCALMARKS;

  // The precision of every stored value (not reset by a new batch input).
  Precision precision = Precision::kDouble;
  // In double precision, the ridge traces decompose the excess matrix with
  // the rank-one solver; true puts a general dense solver in its place, for
  // checks and benchmarks.
  bool denseExcessSolver = false;

  // Files and dialogs.
  std::string INNAME;  // input file name without directory
  int FILECHOICE = 1;
};

struct AnalysisState : AnalysisData {
  OutputFiles files;
  DialogMemory memory;

  // Held by a batch input run for its whole length; Select Shape and the
  // graph commands refuse to run while it is held.
  std::mutex runMutex;

  // First step of every batch input run: empties (and releases) every data
  // and result object (CSUMS and LONGNAME too), sets lineWidth 1 and LSPEND
  // 1. Dialog memories, the counts, VNAME and the output files
  // are kept.
  void reset();

  // The name of column `column` as the user reads it: LONGNAME when the
  // file had one, else VNAME.
  const std::string& fullName(int column) const {
    return LONGNAME[column].empty() ? VNAME[column] : LONGNAME[column];
  }
  // The full name of predictor i (XNAME[i] when there is none).
  const std::string& predictorName(int i) const {
    const int c = XCOL[i];
    return hasColumn(c) && !LONGNAME[c].empty() ? LONGNAME[c] : XNAME[i];
  }

  // The stage, read from what the state holds.
  AnalysisStage stage() const;

  // True while a batch input run holds runMutex. Call it only from a thread
  // that does not hold the lock itself (the GUI thread, a command).
  bool runInProgress();

  // Settings made after the data are read, before the role dialog: QSHAPE,
  // SHAPECODE, EQUALSV, LSPEND, SCALECODE, N1, N2, N, N2TEXT, P and the
  // default roles, EPS, MSTEPS.
  void setDefaultsAfterRead();
};

}  // namespace tolvane
