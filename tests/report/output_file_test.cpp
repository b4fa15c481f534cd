#include "report/output_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/file_size_limit.hpp"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "tolvane-out-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~Scratch() {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, ec);
    fs::remove_all(dir_, ec);
  }
  std::string file(const std::string& name) const { return dir_ + "/" + name; }
  std::string read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(file(name), std::ios::binary) << text;
  }
  int entries() const {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_))
      ++n;
    return n;
  }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

TEST(OutputFile, TheTargetIsUntouchedUntilCommitAndWholeAfterIt) {
  Scratch d;
  d.write("run.syq", "old results\n");
  OutputFile out;
  ASSERT_TRUE(out.open(d.file("run.syq"))) << out.error();
  std::fprintf(out.stream(), "new %d\n", 1);
  ASSERT_TRUE(out.write("more\n"));
  ASSERT_TRUE(out.flush());
  EXPECT_EQ(d.read("run.syq"), "old results\n");
  EXPECT_EQ(d.entries(), 2);  // the old file and the temporary beside it
  ASSERT_TRUE(out.commit()) << out.error();
  EXPECT_EQ(d.read("run.syq"), "new 1\nmore\n");
  // Writes after the commit go on into the file in place.
  out.write("later\n");
  ASSERT_TRUE(out.close());
  EXPECT_EQ(d.read("run.syq"), "new 1\nmore\nlater\n");
  EXPECT_EQ(d.entries(), 1);
}

TEST(OutputFile, DiscardedOrNeverCommittedLeavesTheOldFileAndNoTemporary) {
  Scratch d;
  d.write("run.syq", "old\n");
  {
    OutputFile out;
    ASSERT_TRUE(out.open(d.file("run.syq")));
    out.write("half");
  }  // destroyed uncommitted
  EXPECT_EQ(d.read("run.syq"), "old\n");
  EXPECT_EQ(d.entries(), 1);
  OutputFile out;
  ASSERT_TRUE(out.open(d.file("new.syq")));
  out.discard();
  EXPECT_FALSE(fs::exists(d.file("new.syq")));
  EXPECT_EQ(d.entries(), 1);
}

TEST(OutputFile, AppendStartsFromACopyAndRevertCutsBackToIt) {
  Scratch d;
  d.write("run.syq", "first run\n");
  OutputFile out;
  ASSERT_TRUE(out.open(d.file("run.syq"), OutputFile::Start::kCopyOfTarget));
  out.write("second run\n");
  ASSERT_TRUE(out.commit());
  EXPECT_EQ(d.read("run.syq"), "first run\nsecond run\n");
  out.revert();
  EXPECT_EQ(d.read("run.syq"), "first run\n");

  // A new file taken back after its commit is gone.
  OutputFile fresh;
  ASSERT_TRUE(fresh.open(d.file("fresh.syq")));
  fresh.write("x");
  ASSERT_TRUE(fresh.commit());
  fresh.revert();
  EXPECT_FALSE(fs::exists(d.file("fresh.syq")));
}

TEST(OutputFile, AFullDeviceFailsTheWriteFlushAndCloseWithItsReason) {
  const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (fd < 0) GTEST_SKIP() << "no /dev/full here";
  OutputFile out;
  ASSERT_TRUE(out.openOnDescriptor(fd, "run.myq"));
  // More than a stream buffer, so that the failure comes during the writes.
  const std::string block(100000, 'x');
  EXPECT_FALSE(out.write(block));
  EXPECT_FALSE(out.flush());
  EXPECT_FALSE(out.close());
  EXPECT_EQ(out.error(), "cannot write run.myq: No space left on device");

  // A short text fails only when flushed; no success is reported before.
  const int fd2 = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  OutputFile small;
  ASSERT_TRUE(small.openOnDescriptor(fd2, "run.syq"));
  std::fputs("short\n", small.stream());
  EXPECT_FALSE(small.close());
  EXPECT_EQ(small.error(), "cannot write run.syq: No space left on device");
}

TEST(OutputFile, UnwritablePlacesAreRefusedWithTheSystemsReason) {
  Scratch d;
  OutputFile out;
  EXPECT_FALSE(out.open(d.file("no/such/run.syq")));
  EXPECT_EQ(out.error(),
            "cannot open " + d.file("no/such/run.syq") + ": No such file or directory");
  fs::create_directory(d.file("folder"));
  EXPECT_FALSE(out.open(d.file("folder")));
  EXPECT_EQ(out.error(), "cannot open " + d.file("folder") + ": Is a directory");
  if (::geteuid() != 0) {  // root may write anyway
    d.write("locked.syq", "keep\n");
    ::chmod(d.file("locked.syq").c_str(), 0444);
    EXPECT_FALSE(out.open(d.file("locked.syq")));
    EXPECT_EQ(d.read("locked.syq"), "keep\n");
  }
}

TEST(OutputFile, AWholeTextGoesInAtOnceOrNotAtAll) {
  Scratch d;
  d.write("table.csv", "old\n");
  const Status written = writeFileAtomically(d.file("table.csv"), "a,b\n1,2\n");
  ASSERT_TRUE(written.ok()) << written.message;
  EXPECT_EQ(d.read("table.csv"), "a,b\n1,2\n");

  // A writer that takes a file name: its temporary goes in place by rename.
  const std::string temporary = temporaryPathFor(d.file("plot.png"));
  EXPECT_EQ(fs::path(temporary).parent_path(), fs::path(d.dir()));
  d.write(fs::path(temporary).filename().string(), "image");
  const Status replaced = replaceFile(temporary, d.file("plot.png"));
  ASSERT_TRUE(replaced.ok()) << replaced.message;
  EXPECT_EQ(d.read("plot.png"), "image");
  EXPECT_FALSE(fs::exists(temporary));
}

// A write that fails part way (here at a limit on file sizes, as on a full
// disk), or one that cannot start, leaves the older file byte for byte and
// nothing beside it; the message names the target and the reason.
TEST(OutputFile, AWholeTextThatFailsLeavesTheOlderFileAndNoTemporary) {
  Scratch d;
  d.write("table.csv", "old,table\n1,2\n");
  Status why;
  {
    test::FileSizeLimit limit(4096);
    why = writeFileAtomically(d.file("table.csv"), std::string(100000, 'x'));
  }
  EXPECT_EQ(why.message, "cannot write " + d.file("table.csv") + ": File too large");
  EXPECT_EQ(why.file, d.file("table.csv"));
  EXPECT_EQ(d.read("table.csv"), "old,table\n1,2\n");
  EXPECT_EQ(d.entries(), 1);

  fs::create_directory(d.file("folder"));
  EXPECT_EQ(writeFileAtomically(d.file("folder"), "x").message,
            "cannot write " + d.file("folder") + ": it is a folder");
  why = writeFileAtomically("", "x");
  EXPECT_FALSE(why.ok());
  EXPECT_EQ(why.message, "no output file name given");
  EXPECT_EQ(writeFileAtomically(d.file("none/table.csv"), "x").message,
            "cannot write " + d.file("none/table.csv") + ": No such file or directory");
  EXPECT_EQ(d.entries(), 2);  // the table and the folder
}

}  // namespace
}  // namespace tolvane
