// Matrices and vectors indexed from 1.
//
// Storage is double. Every operation computes in double and passes each
// store, partial sums included, through stored(): in single precision that
// rounds to float (so the results are those of float storage, bit for bit),
// in double precision it keeps the value. A matrix is one contiguous block of
// rows x cols elements plus a table of row addresses; rows lie end to end,
// so a row is one contiguous run. Index 0 is never used and never allocated:
// the 1-based accessors below subtract one instead.
//
// Operations take their operands by const reference (they never change or
// release them) and their destination by address; they release what the
// destination held and fill it anew. After a failed check the destination is
// left empty (rows 0). Misuse is reported through RUN_ERROR, exhausted memory
// through MEMORY_ERROR; neither stops the program.
#pragma once

#include <cstdint>

namespace tolvane {

// The precision every stored value is held to.
enum class Precision { kSingle, kDouble };

namespace detail {
// The store precision of this thread: each analysis sets it for the span of
// its work (PrecisionScope), so that analyses in both precisions can run on
// several threads at once.
inline thread_local Precision tlsStorePrecision = Precision::kDouble;
}  // namespace detail

inline Precision storePrecision() {
  return detail::tlsStorePrecision;
}
inline bool singlePrecision() {
  return detail::tlsStorePrecision == Precision::kSingle;
}

// Sets this thread's store precision until the end of the scope.
class PrecisionScope {
 public:
  explicit PrecisionScope(Precision p) : saved_(detail::tlsStorePrecision) {
    detail::tlsStorePrecision = p;
  }
  ~PrecisionScope() { detail::tlsStorePrecision = saved_; }
  PrecisionScope(const PrecisionScope&) = delete;
  PrecisionScope& operator=(const PrecisionScope&) = delete;

 private:
  Precision saved_;
};

// Rounds a double to single precision.
inline float toFloat(double x) {
  return static_cast<float>(x);
}
inline double roundToSingle(double x) {
  return static_cast<double>(static_cast<float>(x));
}

// The one place every store goes through: rounded to float in single
// precision, kept in double precision.
inline double stored(double x) {
  return singlePrecision() ? roundToSingle(x) : x;
}

// The same policies as types, for loops that choose once rather than per
// element.
struct SingleStore {
  static double round(double x) { return roundToSingle(x); }
};
struct DoubleStore {
  static double round(double x) { return x; }
};

// A 1-based view of a bare element array: a[1] is the first element.
template <class T>
class Array1 {
 public:
  Array1() = default;
  explicit Array1(T* first) : first_(first) {}
  T& operator[](int i) const { return first_[i - 1]; }
  T* first() const { return first_; }
  explicit operator bool() const { return first_ != nullptr; }

 private:
  T* first_ = nullptr;
};

// A 1-based row table: m[i][j] is row i, column j.
template <class T>
class Rows1 {
 public:
  Rows1() = default;
  explicit Rows1(T** table) : table_(table) {}
  Array1<T> operator[](int i) const { return Array1<T>(table_[i - 1]); }
  // Start of row i as a plain pointer (element j at [j - 1]).
  T* row(int i) const { return table_[i - 1]; }
  T** table() const { return table_; }
  explicit operator bool() const { return table_ != nullptr; }

 private:
  T** table_ = nullptr;
};

// Allocators. Sizes count elements. New elements are not initialised. On
// failure they report through MEMORY_ERROR and return an empty handle.
Array1<float> VECTOR(int n);
Array1<double> DVECTOR(int n);
Rows1<float> MATRIX(int nr, int nc);
Rows1<double> DATRIX(int nr, int nc);
void VECTOR_FREE(Array1<float> v);
void DVECTOR_FREE(Array1<double> v);
void MATRIX_FREE(Rows1<float> m, int nr);
void DATRIX_FREE(Rows1<double> m, int nr);

// A matrix record. rows 0 means the matrix does not exist and owns nothing.
// The record owns its storage: it is released when the record is refilled,
// emptied or destroyed.
struct MatrixRec {
  int32_t rows = 0;
  int32_t cols = 0;
  Rows1<double> data;

  MatrixRec() = default;
  MatrixRec(const MatrixRec&) = delete;
  MatrixRec& operator=(const MatrixRec&) = delete;
  MatrixRec(MatrixRec&& other) noexcept;
  MatrixRec& operator=(MatrixRec&& other) noexcept;
  ~MatrixRec() { release(); }

  bool exists() const { return rows > 0; }
  // Releases the storage and leaves the record empty.
  void release();
  // Releases the storage and allocates nr x nc uninitialised elements.
  // Returns false (record empty, MEMORY_ERROR reported) when memory is short.
  bool allocate(int nr, int nc);
};

// A vector record. rows 0 means the vector does not exist.
struct VectorRec {
  int32_t rows = 0;
  Array1<double> data;

  VectorRec() = default;
  VectorRec(const VectorRec&) = delete;
  VectorRec& operator=(const VectorRec&) = delete;
  VectorRec(VectorRec&& other) noexcept;
  VectorRec& operator=(VectorRec&& other) noexcept;
  ~VectorRec() { release(); }

  bool exists() const { return rows > 0; }
  void release();
  bool allocate(int n);
};

// Reports misuse: a blank line, "YQ run-time error..." and the message.
void RUN_ERROR(const char* message);
// Reports exhausted memory: RUN_ERROR's lines plus fixed advice.
void MEMORY_ERROR(const char* message);
// How many times MEMORY_ERROR has been called since the program started. A
// computation that must be complete or absent compares it before and after:
// a toolkit routine that ran short of memory leaves its result out quietly.
long memoryErrorCount();

// The algebra. Element (i, j) of a sum is set to 0 and each term added in
// turn, k rising, the element being stored (rounded, in single precision) after every addition.

// out = A + x B over the larger of the two shapes (missing entries are 0).
MatrixRec* MYQLCOMB(MatrixRec* out, const MatrixRec& A, const MatrixRec& B, double x);
// out = A diag(v) A'.
void MYQINERP(MatrixRec* out, const MatrixRec& A, const VectorRec& v);
// out = A B.
void MYQMULTP(MatrixRec* out, const MatrixRec& A, const MatrixRec& B);
// out = rows x cols, every element value.
void MYQCONST(MatrixRec* out, int rows, int cols, double value);
// out = rows elements, every one value.
void VYQCONST(VectorRec* out, int rows, double value);
// out = copy of A, bit for bit.
void MYQ_COPY(MatrixRec* out, const MatrixRec& A);
// out = A v when v matches A's columns, else A' v when it matches A's rows.
void MYQBYVYQ(VectorRec* out, const VectorRec& v, const MatrixRec& A);
// out[j] = correlation of v with column j of A.
void MVYQCORR(VectorRec* out, const VectorRec& v, const MatrixRec& A);
// out = A'.
void MYQTRANS(MatrixRec* out, const MatrixRec& A);
// out = the diagonal of A.
void VYQDIAGN(VectorRec* out, const MatrixRec& A);
// out = v as a one-row matrix (the destination comes last).
void VYQTOMYQ(const VectorRec& v, MatrixRec* out);

}  // namespace tolvane
