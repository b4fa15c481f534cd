// Every bundled example run through tolvane-batch must write the summary and
// trace files kept in tests/golden, byte for byte apart from the date stamp.
// The runs are listed in tests/golden/cases; scripts/update-goldens rewrites
// the files after a deliberate change, for review before they are committed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch_options.hpp"
#include "cli/run_batch.hpp"
#include "support/engine_state_setup.hpp"
#include "support/input_test_support.hpp"

namespace tolvane {
namespace {

struct GoldenCase {
  std::string name;
  std::string input;  // relative to the source tree
  std::vector<std::string> options;
};

std::string goldenDir() {
  return test::sourceFile("tests/golden");
}

std::vector<GoldenCase> readCases() {
  std::vector<GoldenCase> cases;
  std::ifstream in(goldenDir() + "/cases");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    GoldenCase c;
    if (!(words >> c.name) || c.name[0] == '#' || !(words >> c.input)) continue;
    for (std::string w; words >> w;)
      c.options.push_back(w);
    cases.push_back(std::move(c));
  }
  return cases;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The one line that changes from run to run: the summary's date stamp.
bool isDateStamp(const std::string& line) {
  return line.rfind("Date/Time Stamp : ", 0) == 0;
}

// Empty when `actual` equals the golden file, else where they first differ.
std::string firstDifference(const std::string& goldenPath, const std::string& actual) {
  if (!std::filesystem::exists(goldenPath)) {
    return goldenPath + " is missing; run scripts/update-goldens";
  }
  const std::vector<std::string> want = test::splitLines(readFile(goldenPath)),
                                 got = test::splitLines(actual);
  const std::size_t n = std::max(want.size(), got.size());
  for (std::size_t i = 0; i < n; ++i) {
    const std::string* w = i < want.size() ? &want[i] : nullptr;
    const std::string* g = i < got.size() ? &got[i] : nullptr;
    if (w && g && (*w == *g || (isDateStamp(*w) && isDateStamp(*g)))) continue;
    std::ostringstream why;
    why << goldenPath << ":" << i + 1 << ": first differing line\n"
        << "  golden: " << (w ? "\"" + *w + "\"" : "(end of file)") << "\n"
        << "  now:    " << (g ? "\"" + *g + "\"" : "(end of file)") << "\n"
        << "If the change is intended, run scripts/update-goldens and review its diff.";
    return why.str();
  }
  // Same lines: only the end of the last line can differ.
  const std::string golden = readFile(goldenPath);
  if (golden.empty() != actual.empty() || (!golden.empty() && golden.back() != actual.back())) {
    return goldenPath + ": same lines, but the last line ends differently";
  }
  return {};
}

class GoldenFiles : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenFiles, RunWritesTheGoldenSummaryAndTraceFiles) {
  const GoldenCase& c = GetParam();
  test::TempDir dir;
  std::vector<std::string> args = {"tolvane-batch", test::sourceFile(c.input)};
  args.insert(args.end(), c.options.begin(), c.options.end());
  for (const char* a : {"--out", "", "--if-exists", "overwrite"})
    args.emplace_back(a);
  args[args.size() - 3] = dir.file(c.name);
  std::vector<const char*> argv;
  for (const std::string& a : args)
    argv.push_back(a.c_str());

  std::ostringstream out, err;
  int exitCode = 0;
  const std::optional<BatchOptions> options =
      parseBatchOptions(static_cast<int>(argv.size()), argv.data(), out, err, &exitCode);
  ASSERT_TRUE(options) << err.str();
  const auto state = std::make_unique<AnalysisState>();
  ASSERT_EQ(runBatch(*options, *state, out, err), kExitCompleted) << err.str();

  for (const char* ext : {".syq", ".myq"}) {
    const std::string file = c.name + ext;
    const std::string why = firstDifference(goldenDir() + "/" + file, dir.read(file));
    EXPECT_TRUE(why.empty()) << why;
  }
}

INSTANTIATE_TEST_SUITE_P(Examples, GoldenFiles, ::testing::ValuesIn(readCases()),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) {
                           return info.param.name;
                         });

// Each bundled example has at least one golden run, and each golden file
// belongs to a listed run.
TEST(GoldenFilesList, CoversEveryExampleAndNothingElse) {
  const std::vector<GoldenCase> cases = readCases();
  ASSERT_FALSE(cases.empty()) << goldenDir() << "/cases lists no run";
  std::set<std::string> inputs, names;
  for (const GoldenCase& c : cases) {
    inputs.insert(c.input);
    EXPECT_TRUE(names.insert(c.name).second) << "run " << c.name << " is listed twice";
  }
  for (const auto& e : std::filesystem::directory_iterator(test::sourceFile("examples"))) {
    const std::string ext = e.path().extension().string();
    if (ext != ".ayq" && ext != ".csv") continue;
    const std::string rel = "examples/" + e.path().filename().string();
    EXPECT_TRUE(inputs.count(rel)) << rel << " has no run in " << goldenDir() << "/cases";
  }
  for (const auto& e : std::filesystem::directory_iterator(goldenDir())) {
    const std::string ext = e.path().extension().string();
    if (ext != ".syq" && ext != ".myq") continue;
    EXPECT_TRUE(names.count(e.path().stem().string()))
        << e.path().string() << " belongs to no run in " << goldenDir() << "/cases";
  }
}

}  // namespace
}  // namespace tolvane
