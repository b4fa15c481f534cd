#include "input/output_files.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "support/input_test_support.hpp"

namespace tolvane {
namespace {

TEST(OutputNames, BaseNameIsCutAtTheFirstDotOrBlank) {
  EXPECT_EQ(cutAtDotOrBlank("SALES.AYQ"), "SALES");
  EXPECT_EQ(cutAtDotOrBlank("MY DATA.AYQ"), "MY");
  EXPECT_EQ(cutAtDotOrBlank("plain"), "plain");
  EXPECT_EQ(cutAtDotOrBlank("run.1.syq"), "run");
  EXPECT_EQ(cutAtDotOrBlank(".hidden"), "");
  // Only the file name is cut: a directory keeps its dots and blanks.
  EXPECT_EQ(cutAtDotOrBlank("./out dir/v1.2/SALES2.syq"), "./out dir/v1.2/SALES2");
  EXPECT_EQ(fileNameOf("/data/in/SALES.AYQ"), "SALES.AYQ");
  EXPECT_EQ(fileNameOf("SALES.AYQ"), "SALES.AYQ");
}

TEST(OutputNames, StampHasTwentyFourCharactersAndATwoDigitDay) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 5;
  t.tm_wday = 6;
  t.tm_hour = 21;
  t.tm_min = 8;
  t.tm_sec = 27;
  EXPECT_EQ(formatStamp(t), "Sat Dec 05 21:08:27 2026\n");
  t.tm_mday = 31;
  t.tm_mon = 0;
  t.tm_wday = 0;
  t.tm_hour = 0;
  EXPECT_EQ(formatStamp(t), "Sun Jan 31 00:08:27 2026\n");
}

// Runs step 2 of a batch input for the input file `inName` in a scratch
// directory.
struct Opening {
  test::TempDir dir;
  std::unique_ptr<AnalysisState> s = std::make_unique<AnalysisState>();
  test::ScriptedDialogs dialogs;
  test::ReportLines report;
  BatchRunResult result;

  BatchRunResult open(const std::string& inName = "SALES.AYQ") {
    s->INNAME = inName;
    s->files.directory = dir.path();
    result = openOutputFiles(*s, dialogs, 1'000'000'000);
    // As the run does once its data are read: the files go in place.
    if (result.completed() && commit) result = commitOutputFiles(*s);
    s->files.flushBoth();
    return result;
  }
  // Answers the existing-files dialog with `answer` and records the files it named.
  void answer(int a) {
    dialogs.onFilesExist = [this, a](FilesExistDialogModel& d) {
      named = d.existingFiles();
      d.click(a);
      d.ok();
      return true;
    };
  }
  std::vector<std::string> named;
  bool commit = true;
};

TEST(OutputFiles, DefaultNamesFollowTheInputFileAndGetStamped) {
  Opening o;
  ASSERT_TRUE(o.open().completed()) << o.result.message;
  EXPECT_EQ(o.s->files.SUMMNAME, "SALES.syq");
  EXPECT_EQ(o.s->files.TRACENAME, "SALES.myq");
  EXPECT_EQ(o.dialogs.filesExistCalls, 0);
  const std::string summary = o.dir.read("SALES.syq");
  EXPECT_TRUE(std::regex_match(summary, std::regex("Date/Time Stamp : [A-Z][a-z]{2} [A-Z][a-z]{2} "
                                                   "[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} 2001\n"
                                                   "The Tolvane Batch Input file is SALES.AYQ\n")))
      << summary;
  EXPECT_EQ(o.dir.read("SALES.myq"), "");
  ASSERT_EQ(o.report.lines().size(), 3u);
  EXPECT_EQ(o.report.lines()[0], "    ");
  EXPECT_EQ(o.report.lines()[1], "    " + summary.substr(0, summary.find('\n')));
  EXPECT_EQ(o.report.lines()[2], "    The Tolvane Batch Input file is SALES.AYQ");
}

TEST(OutputFiles, ABlankInTheInputNameEndsTheBaseName) {
  Opening o;
  ASSERT_TRUE(o.open("MY DATA.txt").completed());
  EXPECT_TRUE(o.dir.has("MY.syq"));
  EXPECT_TRUE(o.dir.has("MY.myq"));
  EXPECT_NE(o.dir.read("MY.syq").find("file is MY.AYQ\n"), std::string::npos);
}

TEST(OutputFiles, TheNameDialogEditsCancelsOrIsClosed) {
  Opening edited;
  edited.dialogs.onFileName = [](FileNameDialogModel& d) {
    EXPECT_EQ(d.field(), "SALES");
    d.setField("Q3");
    d.ok();
    return true;
  };
  ASSERT_TRUE(edited.open().completed());
  EXPECT_TRUE(edited.dir.has("Q3.syq"));
  // The input file line still names the input file.
  EXPECT_NE(edited.dir.read("Q3.syq").find("file is SALES.AYQ\n"), std::string::npos);

  Opening cancelled;
  cancelled.dialogs.onFileName = [](FileNameDialogModel& d) {
    d.cancel();
    return true;
  };
  EXPECT_EQ(cancelled.open().code, StatusCode::kCancelled);
  EXPECT_FALSE(cancelled.s->files.summOpen());
  EXPECT_TRUE(std::filesystem::is_empty(cancelled.dir.path()));
  EXPECT_TRUE(cancelled.report.lines().empty());

  Opening closed;
  closed.dialogs.onFileName = [](FileNameDialogModel& d) {
    d.setField("IGNORED");
    d.closeBox();
    return true;
  };
  ASSERT_TRUE(closed.open().completed());
  EXPECT_TRUE(closed.dir.has("SALES.syq"));
}

TEST(OutputFiles, AnEmptyNameIsRefusedAndMakesNoHiddenFiles) {
  for (const char* name : {"", "   ", "sub/"}) {
    Opening o;
    o.dialogs.onFileName = [name](FileNameDialogModel& d) {
      d.setField(name);
      EXPECT_FALSE(d.ok());
      EXPECT_EQ(d.exit(), FileNameDialogModel::Exit::kOpen);  // the dialog stays open
      return true;
    };
    EXPECT_EQ(o.open().code, StatusCode::kStopped) << name;
    EXPECT_EQ(o.result.message,
              std::string(FileNameDialogModel::kEmptyName) + " Batch input stopped.");
    EXPECT_TRUE(std::filesystem::is_empty(o.dir.path())) << name;
  }
  // The close box over an input name with nothing before its first dot.
  Opening dotted;
  dotted.dialogs.onFileName = [](FileNameDialogModel& d) {
    d.closeBox();
    return true;
  };
  EXPECT_EQ(dotted.open(".hidden.ayq").code, StatusCode::kStopped);
  EXPECT_TRUE(std::filesystem::is_empty(dotted.dir.path()));
}

TEST(OutputFiles, AppendKeepsWhatTheFilesHeld) {
  Opening o;
  o.dir.write("SALES.syq", "earlier summary\n");
  o.answer(FilesExistDialogModel::kAppend);
  ASSERT_TRUE(o.open().completed());
  EXPECT_EQ(o.s->FILECHOICE, 2);
  EXPECT_EQ(o.named, std::vector<std::string>{"SALES.syq"});
  const std::string summary = o.dir.read("SALES.syq");
  EXPECT_EQ(summary.rfind("earlier summary\nDate/Time Stamp : ", 0), 0u) << summary;
  EXPECT_TRUE(o.dir.has("SALES.myq"));  // opened for appending although it did not exist
}

TEST(OutputFiles, OverwriteEmptiesBothFiles) {
  Opening o;
  o.dir.write("SALES.syq", "earlier summary\n");
  o.dir.write("SALES.myq", "earlier matrices\n");
  o.answer(FilesExistDialogModel::kOverwrite);
  ASSERT_TRUE(o.open().completed());
  EXPECT_EQ(o.named, (std::vector<std::string>{"SALES.syq", "SALES.myq"}));
  EXPECT_EQ(o.dir.read("SALES.syq").find("earlier"), std::string::npos);
  EXPECT_EQ(o.dir.read("SALES.myq"), "");
}

TEST(OutputFiles, AbortLeavesTheExistingFilesAlone) {
  Opening o;
  o.dir.write("SALES.syq", "earlier summary\n");
  o.answer(FilesExistDialogModel::kAbort);
  EXPECT_EQ(o.open().code, StatusCode::kCancelled);
  EXPECT_EQ(o.dir.read("SALES.syq"), "earlier summary\n");
  EXPECT_FALSE(o.dir.has("SALES.myq"));
  EXPECT_FALSE(o.s->files.summOpen());
}

TEST(OutputFiles, AnExistingTraceFileAloneIsAskedAbout) {
  Opening o;
  o.dir.write("SALES.myq", "earlier matrices\n");
  o.answer(FilesExistDialogModel::kAbort);
  EXPECT_EQ(o.open().code, StatusCode::kCancelled);
  EXPECT_EQ(o.named, std::vector<std::string>{"SALES.myq"});
  EXPECT_EQ(o.dir.read("SALES.myq"), "earlier matrices\n");
}

TEST(OutputFiles, ClosingTheExistingFilesDialogAbortsAndEmptiesNothing) {
  // Closing it once meant Overwrite: the way out emptied the files.
  for (bool esc : {false, true}) {
    Opening o;
    o.dir.write("SALES.syq", "earlier summary\n");
    o.dialogs.onFilesExist = [esc](FilesExistDialogModel& d) {
      d.click(FilesExistDialogModel::kOverwrite);
      esc ? d.escape() : d.closeBox();
      return true;
    };
    EXPECT_EQ(o.open().code, StatusCode::kCancelled);
    EXPECT_EQ(o.dir.read("SALES.syq"), "earlier summary\n");
    EXPECT_FALSE(o.dir.has("SALES.myq"));
  }
}

TEST(OutputFiles, AChangedNameIsTestedAgain) {
  Opening o;
  o.dir.write("SALES.syq", "first\n");
  o.dir.write("SALES2.syq", "second\n");
  std::vector<std::string> shown;
  o.dialogs.onFileName = [&shown](FileNameDialogModel& d) {
    shown.push_back(d.field());
    d.setField(shown.size() == 1 ? "SALES" : shown.size() == 2 ? "SALES2" : "SALES3");
    d.ok();
    return true;
  };
  int asked = 0;
  o.dialogs.onFilesExist = [&asked](FilesExistDialogModel& d) {
    ++asked;
    d.click(FilesExistDialogModel::kChangeName);
    d.ok();
    return true;
  };
  ASSERT_TRUE(o.open().completed()) << o.result.message;
  EXPECT_EQ(shown, (std::vector<std::string>{"SALES", "SALES", "SALES2"}));
  EXPECT_EQ(asked, 2);  // SALES and SALES2 both exist; SALES3 does not
  EXPECT_EQ(o.s->files.SUMMNAME, "SALES3.syq");
  EXPECT_EQ(o.dir.read("SALES.syq"), "first\n");
  EXPECT_EQ(o.dir.read("SALES2.syq"), "second\n");
  EXPECT_TRUE(o.dir.has("SALES3.myq"));
}

TEST(OutputFiles, CancellingTheChangedNameEndsTheRun) {
  Opening o;
  o.dir.write("SALES.syq", "first\n");
  int calls = 0;
  o.dialogs.onFileName = [&calls](FileNameDialogModel& d) {
    if (++calls == 1) {
      d.ok();
    } else {
      d.escape();
    }
    return true;
  };
  o.answer(FilesExistDialogModel::kChangeName);
  EXPECT_EQ(o.open().code, StatusCode::kCancelled);
  EXPECT_EQ(o.dir.read("SALES.syq"), "first\n");
}

TEST(OutputFiles, AFileThatCannotBeOpenedIsReportedAndNothingIsEmptied) {
  Opening o;
  std::filesystem::create_directory(o.dir.file("SALES.myq"));  // a directory, not a file
  o.dir.write("SALES.syq", "kept\n");
  o.answer(FilesExistDialogModel::kOverwrite);
  EXPECT_EQ(o.open().code, StatusCode::kStopped);
  const std::string expected = "Cannot open " + o.dir.file("SALES.myq") + ": Is a directory.";
  EXPECT_EQ(o.result.message, expected);
  std::string shown;
  for (const std::string& l : o.report.lines())
    shown += (shown.empty() ? "" : " ") + l.substr(4);
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(o.dir.read("SALES.syq"), "kept\n");
  EXPECT_FALSE(o.s->files.summOpen());
  EXPECT_FALSE(o.s->files.traceOpen());

  // A summary file created for the attempt does not stay behind.
  Opening fresh;
  std::filesystem::create_directory(fresh.dir.file("SALES.myq"));
  fresh.answer(FilesExistDialogModel::kOverwrite);
  EXPECT_EQ(fresh.open().code, StatusCode::kStopped);
  EXPECT_FALSE(fresh.dir.has("SALES.syq"));
}

TEST(OutputFiles, AMissingDirectoryIsReported) {
  Opening o;
  o.s->INNAME = "SALES.AYQ";
  o.s->files.directory = o.dir.file("no/such/dir");
  o.result = openOutputFiles(*o.s, o.dialogs, 0);
  EXPECT_EQ(o.result.code, StatusCode::kStopped);
  EXPECT_EQ(o.s->files.SUMMNAME, "");
  EXPECT_EQ(o.result.message,
            "Cannot open " + o.dir.file("no/such/dir/SALES.syq") + ": No such file or directory.");
  for (const std::string& line : o.report.lines())
    EXPECT_LE(line.size(), 80u);
}

TEST(OutputFiles, ThePreviousRunsFilesAreFlushedAndClosedFirst) {
  Opening o;
  ASSERT_TRUE(o.open().completed());
  std::FILE* first = o.s->files.SUMMFILE;
  std::fputs("end of the first run\n", first);  // still buffered
  o.answer(FilesExistDialogModel::kAppend);
  ASSERT_TRUE(o.open().completed());
  const std::string summary = o.dir.read("SALES.syq");
  const std::size_t end = summary.find("end of the first run\n");
  ASSERT_NE(end, std::string::npos);
  EXPECT_NE(summary.find("Date/Time Stamp", end), std::string::npos);  // the second stamp follows
}

}  // namespace
}  // namespace tolvane
