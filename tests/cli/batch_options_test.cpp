#include "cli/batch_options.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace tolvane {
namespace {

struct Parsed {
  std::optional<BatchOptions> options;
  int exitCode = -1;
  std::string out, err;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "tolvane-batch");
  std::ostringstream out, err;
  Parsed p;
  p.options = parseBatchOptions(static_cast<int>(args.size()), args.data(), out, err, &p.exitCode);
  p.out = out.str();
  p.err = err.str();
  return p;
}

TEST(BatchOptions, DefaultsAnswerTheDialogsLikeOk) {
  const Parsed p = parse({"data.ayq"});
  ASSERT_TRUE(p.options);
  EXPECT_EQ(p.options->input, "data.ayq");
  EXPECT_EQ(p.options->out, "");
  EXPECT_EQ(p.options->ifExists, IfExists::kAbort);
  EXPECT_EQ(p.options->response, "");
  EXPECT_TRUE(p.options->predictors.empty());
  EXPECT_TRUE(p.options->leaveOut.empty());
  EXPECT_EQ(p.options->scale, kCenterRescale);
  EXPECT_FALSE(p.options->first);
  EXPECT_FALSE(p.options->last);
  EXPECT_EQ(p.options->precision, Precision::kDouble);
}

TEST(BatchOptions, PrecisionIsSingleOrDouble) {
  const Parsed single = parse({"--precision", "Single", "data.ayq"});
  ASSERT_TRUE(single.options) << single.err;
  EXPECT_EQ(single.options->precision, Precision::kSingle);
  const Parsed dbl = parse({"--precision", "double", "data.ayq"});
  ASSERT_TRUE(dbl.options) << dbl.err;
  EXPECT_EQ(dbl.options->precision, Precision::kDouble);
  const Parsed bad = parse({"--precision", "half", "data.ayq"});
  EXPECT_FALSE(bad.options);
  EXPECT_EQ(bad.exitCode, kExitUsage);
}

TEST(BatchOptions, EveryOptionIsRead) {
  const Parsed p =
      parse({"--out", "run1", "--if-exists", "Append", "--response", "y", "--predictors", "x1,x2",
             "--scale", "reexpress", "--first", "2", "--last", "12", "data.ayq"});
  ASSERT_TRUE(p.options) << p.err;
  EXPECT_EQ(p.options->out, "run1");
  EXPECT_EQ(p.options->ifExists, IfExists::kAppend);
  EXPECT_EQ(p.options->response, "y");
  EXPECT_EQ(p.options->predictors, (std::vector<std::string>{"x1", "x2"}));
  EXPECT_EQ(p.options->scale, kReExpress);
  EXPECT_EQ(p.options->first, 2);
  EXPECT_EQ(p.options->last, 12);
  EXPECT_EQ(parse({"d.ayq", "--leave-out", "a,b", "--leave-out", "c"}).options->leaveOut,
            (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(parse({"d.ayq", "--scale", "center"}).options->scale, kCenterOnly);
  EXPECT_EQ(parse({"d.ayq", "--if-exists", "overwrite"}).options->ifExists, IfExists::kOverwrite);
}

TEST(BatchOptions, UsageErrorsExitWithTwo) {
  for (const auto& args :
       std::vector<std::vector<const char*>>{{},
                                             {"d.ayq", "--if-exists", "maybe"},
                                             {"d.ayq", "--scale", "log"},
                                             {"d.ayq", "--predictors", "a,b", "--leave-out", "c"},
                                             {"d.ayq", "--first", "10000"},
                                             {"d.ayq", "--last", "-1"},
                                             {"d.ayq", "--no-such-option"},
                                             {"a.ayq", "b.ayq"}}) {
    const Parsed p = parse(args);
    EXPECT_FALSE(p.options);
    EXPECT_EQ(p.exitCode, kExitUsage);
    EXPECT_FALSE(p.err.empty());
  }
}

TEST(BatchOptions, HelpExplainsEveryOptionAndTheExitStatus) {
  const Parsed p = parse({"--help"});
  EXPECT_FALSE(p.options);
  EXPECT_EQ(p.exitCode, 0);
  for (const char* part : {"--out", "--if-exists", "--response", "--predictors", "--leave-out",
                           "--scale", "--first", "--last", "NEXTLINE", "Exit status", ".syq"}) {
    EXPECT_NE(p.out.find(part), std::string::npos) << part;
  }
}

}  // namespace
}  // namespace tolvane
