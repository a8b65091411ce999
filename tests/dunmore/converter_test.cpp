// Converting lists of files: failures that stop one file but not the conversion, repeated
// conversions, and the command line.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "cast_test_support.h"
#include "dunmore/command_line.h"
#include "dunmore/conversion_progress.h"

using casttest::Captured;
using casttest::readFile;
using dunmore::ConvertResult;

namespace {

const char kHeaderEnd[] = "Attacked Location\n";

/// The rows of a CSV text, without its two header lines.
std::string rows(const std::string& csv) {
  const std::size_t at = csv.find(kHeaderEnd);
  return at == std::string::npos ? "NO HEADER" : csv.substr(at + sizeof kHeaderEnd - 1);
}

int run(std::vector<const char*> args, Captured& c) {
  args.insert(args.begin(), "dunmore");
  return dunmore::runCommandLine(static_cast<int>(args.size()), args.data(), c.output());
}

}  // namespace

TEST(ConvertReports, FailedFilesAreReportedAndTheOthersConverted) {
  ScratchDir dir;
  const std::string good = dir.write("good.cast", "071230Dec hit.\n");
  // A token that fills the buffer, after one complete report.
  const std::string longWord =
      dir.write("long.cast", "071229Dec early.\n\n071231Dec " + std::string(600, 'x') + ".\n");
  const std::string bad = dir.write("bad.cast", "071230Dec\n071231Dec hit.\n");
  const std::string missing = dir.path("missing.cast");
  const std::string csv = dir.path("out.csv");

  Captured c;
  const ConvertResult r = dunmore::convertReports(dunmore::processReportSet(), csv,
                                                  {longWord, missing, bad, good}, c.output());
  EXPECT_EQ(r.parsed, 1);
  EXPECT_EQ(r.failed, 3);
  EXPECT_TRUE(r.csvWritten);
  EXPECT_EQ(c.err.text(), longWord + ": 2: Token buffer overflow\n: 1: Unable to open file ||" +
                              missing + "||\n\n" + bad + ": 1: Syntax error\n");
  EXPECT_EQ(c.out.text(),
            "Problem in parce.  yyparse returned 1\nProblem in parce. Could not open " + missing +
                "\nProblem in parce.  yyparse returned 1\n");
  EXPECT_EQ(rows(readFile(csv)),
            "0,1,1,,0,0,0,0.000000,0.000000,1133958540,2005,12,7,12,29,0,0,,NONE GIVEN,early,"
            "NONE GIVEN,NONE GIVEN,NONE GIVEN\n"
            "1,1,1,,0,0,0,0.000000,0.000000,1133958600,2005,12,7,12,30,0,0,,NONE GIVEN,hit,"
            "NONE GIVEN,NONE GIVEN,NONE GIVEN\n");
}

TEST(ConvertReports, EachConversionStartsEmpty) {
  ScratchDir dir;
  const std::string file = dir.write("a.cast", "071230Dec hit on x.\n071231Dec go.\n");
  const std::string csv = dir.path("out.csv");
  Captured c;
  dunmore::convertReports(dunmore::processReportSet(), csv, {file, file}, c.output());
  const std::string first = readFile(csv);
  dunmore::convertReports(dunmore::processReportSet(), csv, {file, file}, c.output());
  EXPECT_EQ(readFile(csv), first);
  EXPECT_EQ(dunmore::processReportSet().reports().size(), 4u);
  EXPECT_EQ(dunmore::processReportSet().statistics().dictionary(dunmore::kEntityText).totalUses(),
            4);
  // Without a CSV name nothing is written.
  const ConvertResult none = dunmore::convertReports(dunmore::processReportSet(), "", {file});
  EXPECT_FALSE(none.csvWritten);
  EXPECT_EQ(none.parsed, 1);
}

TEST(ProgressMeter, CountsEachFileUpToItsSizeAndAMissingFileAsEmpty) {
  struct Recorder : dunmore::ProgressListener {
    std::vector<dunmore::ConversionProgress> told;
    void update(const dunmore::ConversionProgress& p) override { told.push_back(p); }
    void finish() override {}
  } listener;
  ScratchDir dir;
  const std::vector<std::string> files = {dir.write("a.cast", std::string(100, 'x')),
                                          dir.path("missing.cast"), dir.path(""),
                                          dir.write("b.cast", std::string(300, 'x'))};
  dunmore::ProgressMeter meter(files, listener);
  ASSERT_EQ(listener.told.size(), 1u);  // the start, at once
  EXPECT_EQ(listener.told[0].fileCount, 4);
  EXPECT_EQ(listener.told[0].bytesTotal, 400u);
  constexpr long kFileDone = -1;
  const struct {
    long read;  ///< bytes read, or kFileDone
    std::uint64_t bytesRead;
    int filesDone;
    int percent;
  } steps[] = {
      {40, 40, 0, 10},         {500, 100, 0, 25},        // a file grown since it was sized
      {kFileDone, 100, 1, 25}, {kFileDone, 100, 2, 25},  // the missing file and the folder
      {kFileDone, 100, 3, 25}, {150, 250, 3, 62},       {kFileDone, 400, 4, 100},
  };
  for (const auto& step : steps) {
    if (step.read == kFileDone)
      meter.fileDone();
    else
      meter.read(static_cast<std::size_t>(step.read));
    const dunmore::ConversionProgress& p = meter.progress();
    EXPECT_EQ(std::make_tuple(p.bytesRead, p.filesDone, p.percent()),
              std::make_tuple(step.bytesRead, step.filesDone, step.percent))
        << step.read;
  }
}

TEST(CommandLine, ExitStatuses) {
  ScratchDir dir;
  const std::string good = dir.write("good.cast", "071230Dec hit.\n");
  const std::string bad = dir.write("bad.cast", "words\n");
  const std::string csv = dir.path("out.csv");
  {
    Captured c;
    EXPECT_EQ(run({"--csv", csv.c_str(), good.c_str()}, c), dunmore::kExitConverted);
    EXPECT_EQ(c.out.text(), "");
    EXPECT_NE(rows(readFile(csv)).find(",hit,"), std::string::npos);
  }
  {
    Captured c;
    EXPECT_EQ(run({good.c_str(), "--csv", csv.c_str(), bad.c_str()}, c), dunmore::kExitFailed);
    EXPECT_EQ(c.err.text(), bad + ": 1: Syntax error\n");
    EXPECT_NE(rows(readFile(csv)).find(",hit,"), std::string::npos);  // still written
  }
  {
    Captured c;
    const std::string unwritable = dir.dir() + "/no/out.csv";
    EXPECT_EQ(run({"--csv", unwritable.c_str(), good.c_str()}, c), dunmore::kExitFailed);
    EXPECT_EQ(c.err.text(), "dunmore: could not write " + unwritable + "\n");
  }
  for (const std::vector<const char*>& args : {std::vector<const char*>{good.c_str()},
                                               {"--csv"},
                                               {"--csv", "a", "--csv", "b"},
                                               {"--frobnicate", "--csv", "a"}}) {
    Captured c;
    EXPECT_EQ(run(args, c), dunmore::kExitUsage);
    EXPECT_NE(c.err.text().find("Try 'dunmore --help'"), std::string::npos);
  }
  Captured help;
  EXPECT_EQ(run({"--help"}, help), dunmore::kExitConverted);
  EXPECT_EQ(help.out.text(), dunmore::kUsage);
}

TEST(CommandLine, ListingGoesToStandardOutput) {
  ScratchDir dir;
  const std::string file = dir.write("a.cast", "071230Dec hit.\n");
  const std::string csv = dir.path("out.csv");
  Captured c;
  EXPECT_EQ(run({"--listing", "--csv", csv.c_str(), "--", file.c_str()}, c), 0);
  const std::string out = c.out.text();
  EXPECT_EQ(out.rfind("LINE:\n\tDate:\t071230Dec\n", 0), 0u);
  EXPECT_NE(out.find("The max time is 071230Dec\n"), std::string::npos);
}
