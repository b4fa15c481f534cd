// The delimited-text reduction on its own, for bench/csv-throughput:
//   csv_reduce generate FILE|- ROWS   writes a CSV of 10 predictors and a
//                                     response (about 117 bytes a row)
//   csv_reduce reduce FILE|- [THREADS] reduces it to centred sums and prints
//                                     the time, the throughput, the peak
//                                     memory of this process and a checksum
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "input/delimited_reader.hpp"

using namespace tolvane;

namespace {

int generate(const char* path, std::int64_t rows) {
  std::FILE* f = std::strcmp(path, "-") == 0 ? stdout : std::fopen(path, "w");
  if (f == nullptr) return 1;
  std::fputs("x01,x02,x03,x04,x05,x06,x07,x08,x09,x10,y\n", f);
  std::uint64_t g = 42;
  const auto u = [&g] {
    g = g * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(g >> 11) * 0x1p-53 - 0.5;
  };
  char line[256];
  for (std::int64_t r = 0; r < rows; ++r) {
    double x[10], y = 7.0 + u();
    for (int j = 0; j < 10; ++j) {
      x[j] = 100.0 * (j + 1) + (j + 1) * u();
      y += 0.1 * (j + 1) * x[j];
    }
    int n = 0;
    for (int j = 0; j < 10; ++j)
      n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%.8g,", x[j]);
    std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%.10g\n", y);
    std::fputs(line, f);
  }
  return f == stdout ? 0 : std::fclose(f);
}

int reduce(const char* path, unsigned threads) {
  std::FILE* f = std::strcmp(path, "-") == 0 ? stdin : std::fopen(path, "rb");
  if (f == nullptr) return 1;
  FileByteSource in(f);
  DelimitedOptions o;
  o.threads = threads;
  DelimitedData d;
  std::uint64_t bytes = 0;
  const auto start = std::chrono::steady_clock::now();
  const DelimitedResult r = readDelimited(in, path, o, 201, d);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!r.ok()) {
    std::fprintf(stderr, "%s\n", r.message.c_str());
    return 1;
  }
  bytes = f == stdin ? 0 : in.size();
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  double check = 0.0;
  for (double v : d.sums.comoment)
    check += v;
  std::printf("rows %lld  seconds %.3f  MB/s %.0f  peak_rss_MB %.1f  threads %u  checksum %.17g\n",
              static_cast<long long>(d.rowsKept), seconds,
              bytes > 0 ? static_cast<double>(bytes) / 1e6 / seconds : 0.0,
              static_cast<double>(ru.ru_maxrss) / 1024.0, threads, check);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "generate") == 0)
    return generate(argv[2], std::atoll(argv[3]));
  if (argc >= 3 && std::strcmp(argv[1], "reduce") == 0)
    return reduce(argv[2], argc >= 4 ? static_cast<unsigned>(std::atoi(argv[3])) : 0);
  std::fprintf(stderr, "usage: csv_reduce generate FILE|- ROWS | reduce FILE|- [THREADS]\n");
  return 2;
}
