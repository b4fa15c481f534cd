// --plots and --plot-format: read as options, and the five charts of a path
// written (or, in a build without the graph layer, refused with a reason).
#include "cli/plot_options.hpp"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/batch_options.hpp"

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

#else

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
