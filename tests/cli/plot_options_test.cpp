// --plots and --plot-format: read as options, and the five charts of a path
// written (or, in a build without the graph layer, refused with a reason).
#include "cli/plot_options.hpp"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
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
  for (const char* tag : {"cyq", "ryq", "eyq", "iyq", "dyq"}) {
    const fs::path file = dir / (std::string("path2_") + tag + ".svg");
    ASSERT_TRUE(fs::exists(file)) << file;
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("MCAL Shrinkage Extent"), std::string::npos) << file;
  }
  std::ifstream coef(dir / "path2_cyq.svg");
  std::stringstream text;
  text << coef.rdbuf();
  EXPECT_NE(text.str().find("Shrinkage Coefficients"), std::string::npos);
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
  for (const char* path : {"path1", "path2"}) {
    for (const char* tag : {"cyq", "ryq", "eyq", "iyq", "dyq"}) {
      const std::string name = std::string("charts/") + path + "_" + tag + ".png";
      ASSERT_TRUE(dir.has(name)) << name << "\n" << err.str();
      EXPECT_EQ(pngSize(dir.read(name)), std::make_pair(800, 560)) << name;
    }
  }
  EXPECT_NE(err.str().find("charts of path 2 in " + plots), std::string::npos) << err.str();
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
