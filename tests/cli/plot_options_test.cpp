// --plots and --plot-format: read as options, and the five charts of a path
// written (or, in a build without the graph layer, refused with a reason).
#include "cli/plot_options.hpp"

#include <gtest/gtest.h>

#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/batch_options.hpp"
#include "cli/run_batch.hpp"
#include "support/input_test_support.hpp"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

// Parses args (after the program name) into o; returns CLI11's exit code.
int parse(PlotOptions& o, std::vector<std::string> args, std::string* message = nullptr) {
  CLI::App app("test");
  addPlotOptions(app, o);
  std::vector<const char*> argv{"tolvane-batch"};
  for (const std::string& a : args)
    argv.push_back(a.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& e) {
    if (message != nullptr) *message = e.what();
    return e.get_exit_code();
  }
  return 0;
}

// A traced path over two predictors, five steps.
void fillPath(AnalysisState& s) {
  s.P = 2;
  s.RANK = 2;
  s.MSTEPS = 2;
  s.NSTEPS = 5;
  s.XNAME[1] = "A";
  s.XNAME[2] = "B";
  for (MatrixRec* m : {&s.CYQ, &s.RYQ, &s.EYQ, &s.IYQ, &s.DYQ}) {
    m->allocate(5, 2);
    for (int i = 1; i <= 5; ++i)
      for (int j = 1; j <= 2; ++j)
        m->data[i][j] = toFloat((5 - i) * 0.25 * j);
  }
}

class PlotOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("tolvane_plots_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(PlotOptionsTest, FormatIsOneOfThreeInAnyCase) {
  PlotOptions o;
  EXPECT_EQ(parse(o, {}), 0);
  EXPECT_TRUE(o.dir.empty());
  EXPECT_EQ(o.format, "png");
  EXPECT_EQ(parse(o, {"--plot-format", "SVG"}), 0);
  EXPECT_EQ(o.format, "svg");
  EXPECT_EQ(parse(o, {"--plot-format", "pdf"}), 0);
  EXPECT_EQ(o.format, "pdf");
  EXPECT_NE(parse(o, {"--plot-format", "jpeg"}), 0);
}

TEST_F(PlotOptionsTest, SizeIsWidthByHeightAndDpiARange) {
  PlotOptions o;
  EXPECT_EQ(parse(o, {}), 0);
  EXPECT_EQ(o.width, 800);
  EXPECT_EQ(o.height, 560);
  EXPECT_EQ(o.dpi, 96);
  EXPECT_EQ(parse(o, {"--plot-size", "1600x1120", "--plot-dpi", "192"}), 0);
  EXPECT_EQ(o.width, 1600);
  EXPECT_EQ(o.height, 1120);
  EXPECT_EQ(o.dpi, 192);
  EXPECT_EQ(parse(o, {"--plot-size", "300X200"}), 0);
  EXPECT_EQ(o.width, 300);
  for (const char* bad : {"800", "x560", "800x", "80x560", "800x99999", "8e2x560", "-800x560"}) {
    std::string message;
    EXPECT_NE(parse(o, {"--plot-size", bad}, &message), 0) << bad;
    EXPECT_NE(message.find("WIDTHxHEIGHT"), std::string::npos) << message;
  }
  EXPECT_NE(parse(o, {"--plot-dpi", "0"}), 0);
  EXPECT_NE(parse(o, {"--plot-dpi", "5000"}), 0);
}

TEST_F(PlotOptionsTest, NoFolderWritesNothing) {
  AnalysisState s;
  fillPath(s);
  std::ostringstream err;
  EXPECT_EQ(writePathPlots(PlotOptions{}, s, 1, err), kExitCompleted);
  EXPECT_TRUE(err.str().empty());
}

#ifdef TOLVANE_WITH_PLOTS

TEST_F(PlotOptionsTest, WritesTheFiveChartsOfAPath) {
  PlotOptions o;
  ASSERT_EQ(parse(o, {"--plots", dir.string(), "--plot-format", "svg"}), 0);
  AnalysisState s;
  fillPath(s);
  std::ostringstream err;
  ASSERT_EQ(writePathPlots(o, s, 2, err), kExitCompleted) << err.str();
  // The names carry the path: family, Q and steps per unit of MCAL.
  for (const char* tag : {"cyq", "ryq", "eyq", "iyq", "dyq"}) {
    const fs::path file = dir / (std::string("path2_qshape_q0.0_2steps_") + tag + ".svg");
    ASSERT_TRUE(fs::exists(file)) << file;
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("MCAL Shrinkage Extent"), std::string::npos) << file;
  }
  std::ifstream coef(dir / "path2_qshape_q0.0_2steps_cyq.svg");
  std::stringstream text;
  text << coef.rdbuf();
  // The file's title names the path as a graph window's title does.
  EXPECT_NE(text.str().find("<title>Shrinkage Coefficients - Q-shape Q=0.0, 2 steps/MCAL</title>"),
            std::string::npos);
}

TEST_F(PlotOptionsTest, AnUnwritableFolderStopsWithItsName) {
  std::ofstream(dir.string()) << "a file, not a folder";
  PlotOptions o;
  o.dir = dir.string();
  AnalysisState s;
  fillPath(s);
  std::ostringstream err;
  EXPECT_EQ(writePathPlots(o, s, 1, err), kExitStopped);
  EXPECT_NE(err.str().find(dir.string()), std::string::npos) << err.str();
  fs::remove(dir);
}

// Width and height of a PNG file, from its header.
std::pair<int, int> pngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
  auto at = [&](int k) {
    int v = 0;
    for (int b = 0; b < 4; ++b)
      v = v * 256 + static_cast<unsigned char>(bytes[k + b]);
    return v;
  };
  return {at(16), at(20)};
}

TEST(BatchPlots, EveryPathOfARunGetsItsFiveCharts) {
  test::TempDir dir;
  const std::string input = test::sourceFile("examples/hald.ayq");
  const std::string plots = dir.file("charts");
  const std::string outName = dir.file("run");
  const char* argv[] = {"tolvane-batch", input.c_str(), "--out",  outName.c_str(),
                        "--path",        "q=0.5:4",     "--path", "garrote:8",
                        "--plots",       plots.c_str()};
  std::ostringstream out, err;
  int code = -1;
  std::optional<BatchOptions> options =
      parseBatchOptions(static_cast<int>(std::size(argv)), argv, out, err, &code);
  ASSERT_TRUE(options.has_value()) << err.str();
  EXPECT_EQ(options->path.plots.dir, plots);
  EXPECT_EQ(options->path.plots.format, "png");
  AnalysisState state;
  ASSERT_EQ(runBatch(*options, state, out, err), kExitCompleted) << err.str();
  for (const char* path : {"path1_qshape_q0.5_4steps", "path2_garotte_q"}) {
    for (const char* tag : {"cyq", "ryq", "eyq", "iyq", "dyq"}) {
      std::string name;
      for (const auto& e : fs::directory_iterator(plots)) {
        const std::string file = e.path().filename().string();
        if (file.rfind(path, 0) == 0 &&
            file.find(std::string("_") + tag + ".png") != std::string::npos)
          name = "charts/" + file;
      }
      ASSERT_FALSE(name.empty()) << path << " " << tag << "\n" << err.str();
      EXPECT_EQ(pngSize(dir.read(name)), std::make_pair(800, 560)) << name;
    }
  }
  EXPECT_NE(err.str().find("charts of path 2 in " + plots), std::string::npos) << err.str();
}

// Dots per inch of a PNG file, from its pHYs chunk (0 when it has none).
int pngDpi(const std::string& bytes) {
  const std::size_t at = bytes.find("pHYs");
  if (at == std::string::npos || at + 8 > bytes.size()) return 0;
  long perMeter = 0;
  for (int b = 0; b < 4; ++b)
    perMeter = perMeter * 256 + static_cast<unsigned char>(bytes[at + 4 + b]);
  return static_cast<int>(std::lround(perMeter * 0.0254));
}

TEST(BatchPlots, PlotSizeAndDpiShapeThePngs) {
  test::TempDir dir;
  const std::string input = test::sourceFile("examples/hald.ayq");
  const std::string plots = dir.file("charts");
  const std::string outName = dir.file("run");
  const char* argv[] = {"tolvane-batch", input.c_str(), "--out",     outName.c_str(), "--plots",
                        plots.c_str(),   "--plot-size", "1600x1000", "--plot-dpi",    "192"};
  std::ostringstream out, err;
  int code = -1;
  std::optional<BatchOptions> options =
      parseBatchOptions(static_cast<int>(std::size(argv)), argv, out, err, &code);
  ASSERT_TRUE(options.has_value()) << err.str();
  AnalysisState state;
  ASSERT_EQ(runBatch(*options, state, out, err), kExitCompleted) << err.str();
  int charts = 0;
  for (const auto& e : fs::directory_iterator(plots)) {
    const std::string bytes = dir.read("charts/" + e.path().filename().string());
    EXPECT_EQ(pngSize(bytes), std::make_pair(1600, 1000)) << e.path();
    EXPECT_EQ(pngDpi(bytes), 192) << e.path();
    ++charts;
  }
  EXPECT_EQ(charts, 6);  // the five traces and the comparison criteria
}

// Qt's warning about XDG_RUNTIME_DIR once reached the batch tool's standard
// error on every plotting run without a desktop session. The chart layer
// starts in this process here (ctest runs each test on its own).
TEST(BatchPlots, QtsRuntimeFolderWarningStaysOffStandardError) {
  test::TempDir dir;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = runtime != nullptr ? runtime : "";
  unsetenv("XDG_RUNTIME_DIR");
  const std::string errFile = dir.file("stderr.txt");
  std::fflush(stderr);
  const int kept = dup(2);
  FILE* capture = std::fopen(errFile.c_str(), "w");
  ASSERT_NE(capture, nullptr);
  dup2(fileno(capture), 2);
  PlotOptions o;
  o.dir = dir.file("charts");
  AnalysisState s;
  fillPath(s);
  std::ostringstream err;
  const int status = writePathPlots(o, s, 1, err);
  std::fflush(stderr);
  dup2(kept, 2);
  close(kept);
  std::fclose(capture);
  if (!saved.empty()) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  EXPECT_EQ(status, kExitCompleted) << err.str();
  EXPECT_EQ(dir.read("stderr.txt").find("XDG_RUNTIME_DIR"), std::string::npos)
      << dir.read("stderr.txt");
}

TEST(BatchPlots, AChartThatCannotBeWrittenStopsTheRun) {
  test::TempDir dir;
  dir.write("charts", "a file where the folder should be");
  BatchOptions options;
  options.input = test::sourceFile("examples/hald.ayq");
  options.out = dir.file("run");
  options.path.plots.dir = dir.file("charts");
  options.path.plots.format = "pdf";
  AnalysisState state;
  std::ostringstream out, err;
  EXPECT_EQ(runBatch(options, state, out, err), kExitStopped);
  EXPECT_NE(err.str().find("plots: cannot create directory"), std::string::npos) << err.str();
  // What the run wrote before stays.
  EXPECT_TRUE(dir.has("run.syq"));
  EXPECT_TRUE(dir.has("run.myq"));
}

#else

TEST(BatchPlots, TheCommandLineSaysPlottingIsUnavailable) {
  const char* argv[] = {"tolvane-batch", "x.ayq", "--plots", "charts"};
  std::ostringstream out, err;
  int code = -1;
  EXPECT_FALSE(parseBatchOptions(4, argv, out, err, &code).has_value());
  EXPECT_EQ(code, kExitUsage);
  EXPECT_NE(err.str().find("unavailable in this build"), std::string::npos) << err.str();
}

TEST_F(PlotOptionsTest, PlotsAreRefusedWithTheReason) {
  PlotOptions o;
  std::string message;
  EXPECT_NE(parse(o, {"--plots", dir.string()}, &message), 0);
  EXPECT_NE(message.find("unavailable in this build"), std::string::npos) << message;
  EXPECT_FALSE(fs::exists(dir));
  o.dir = dir.string();
  AnalysisState s;
  std::ostringstream err;
  EXPECT_EQ(writePathPlots(o, s, 1, err), kExitUsage);
  EXPECT_NE(err.str().find("unavailable"), std::string::npos);
}

#endif

}  // namespace
}  // namespace tolvane
