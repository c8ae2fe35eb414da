// The tools' shared front door: what a declared subcommand receives, the
// exit statuses, and the help and error pages.
#include "command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

struct Parsed {
  std::string old_dir, new_dir, out, dir, choice;
  std::vector<std::string> clear, names;
  bool verify = false, dir_given = false, ran = false;
};

struct Outcome {
  int status;
  std::string out, err;
};

// Runs a tool "t" with a subcommand shaped like build and one like extract.
Outcome RunTool(const std::vector<std::string>& args, Parsed* p) {
  tools::CommandLine cli("t", "A test tool.");
  cli.Add("build", "build things", "Builds OLD into NEW.",
          [p] {
            p->ran = true;
            return 7;
          })
      .Path("OLD", &p->old_dir, "the old directory")
      .Path("NEW", &p->new_dir, "the new directory")
      .PathOption("-o,--output", "PAYLOAD", &p->out, "the output", true)
      .PathOptions("--clear", "DIR", &p->clear, "a tree to empty first")
      .Flag("--verify", &p->verify, "check the result")
      .Choice("--to", "FORMAT", &p->choice, {"bmp", "png"}, "the format");
  cli.Add("extract", "extract things", "Extracts.",
          [p] {
            p->ran = true;
            return 0;
          })
      .Path("ARCHIVE", &p->old_dir, "the archive")
      .Paths("NAME", &p->names, "entries", false)
      .PathOption("--dir", "DIR", &p->dir, "where", false, &p->dir_given)
      .Footer("exit status: 0 fine, 1 not fine, 2 wrong command line.");
  std::vector<const char*> argv{"t"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  CaptureStdout();
  CaptureStderr();
  Outcome o;
  o.status = cli.Run(static_cast<int>(argv.size()), argv.data());
  o.out = GetCapturedStdout();
  o.err = GetCapturedStderr();
  return o;
}

TEST(CommandLine, DeclaredValuesReachTheSubcommand) {
  Parsed p;
  Outcome o = RunTool({"build", "--clear", "cache", "old", "new", "-o", "p.bin",
                   "--clear=save/", "--verify", "--to", "png"},
                  &p);
  EXPECT_EQ(o.status, 7) << o.err;  // the subcommand's own status
  EXPECT_TRUE(p.ran);
  EXPECT_EQ(p.old_dir, "old");
  EXPECT_EQ(p.new_dir, "new");
  EXPECT_EQ(p.out, "p.bin");
  EXPECT_EQ(p.clear, (std::vector<std::string>{"cache", "save/"}));
  EXPECT_TRUE(p.verify);
  EXPECT_EQ(p.choice, "png");

  Parsed q;
  o = RunTool({"extract", "a.dat", "x", "y", "--dir", ""}, &q);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(q.names, (std::vector<std::string>{"x", "y"}));
  EXPECT_TRUE(q.dir_given);  // an empty value still counts as given
  Parsed r;
  EXPECT_EQ(RunTool({"extract", "a.dat"}, &r).status, 0);
  EXPECT_FALSE(r.dir_given);
  EXPECT_TRUE(r.names.empty());
  // After "--" an argument that looks like an option is a name.
  Parsed s;
  EXPECT_EQ(RunTool({"extract", "a.dat", "--", "-odd"}, &s).status, 0);
  EXPECT_EQ(s.names, (std::vector<std::string>{"-odd"}));
}

TEST(CommandLine, WrongCommandLinesAreUsageErrorsThatSayWhatIsWrong) {
  struct Case {
    std::vector<std::string> args;
    const char* says;  // on stderr
    const char* where;
  } cases[] = {
      {{}, "usage: t SUBCOMMAND", ""},
      {{"frobnicate"}, "t: unknown subcommand 'frobnicate'", "t --help"},
      {{"build", "old"}, "t build: NEW is required", "t build --help"},
      {{"build", "old", "new"}, "t build: --output is required", "t build --help"},
      {{"build", "old", "new", "-o"}, "t build: --output", "t build --help"},
      {{"build", "a", "b", "c", "-o", "x"}, "t build: ", "t build --help"},
      {{"build", "a", "b", "-o", "x", "--bogus"}, "--bogus", "t build --help"},
      {{"build", "a", "b", "-o", "x", "--to", "gif"}, "--to", "t build --help"},
      {{"build", "a", "b", "-o", "x", "--verify=maybe"}, "--verify", "t build --help"},
      {{"help", "nothing"}, "no subcommand 'nothing'", "t --help"},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& a : c.args) joined += a + " ";
    SCOPED_TRACE(joined);
    Parsed p;
    const Outcome o = RunTool(c.args, &p);
    EXPECT_EQ(o.status, tools::kExitUsage);
    EXPECT_FALSE(p.ran);
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
    if (*c.where) {
      EXPECT_NE(o.err.find("Run '" + std::string(c.where) + "' for usage."),
                std::string::npos)
          << o.err;
    }
  }
}

TEST(CommandLine, HelpAndVersionGoToStdout) {
  Parsed p;
  Outcome o = RunTool({"build", "--help"}, &p);
  EXPECT_EQ(o.status, 0);
  EXPECT_FALSE(p.ran);
  EXPECT_EQ(o.err, "");
  // The synopsis from the declarations; the option list in one column.
  EXPECT_EQ(o.out.rfind("usage: t build OLD NEW -o PAYLOAD [--clear DIR]... "
                        "[--verify] [--to FORMAT]\n\nBuilds OLD into NEW.\n\n"
                        "arguments:\n"
                        "  OLD                   the old directory\n",
                        0),
            0u)
      << o.out;
  EXPECT_NE(o.out.find("  -o, --output PAYLOAD  the output\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\nexit status: 0 success, 1 the work failed, 2 wrong "
                       "command line.\n"),
            std::string::npos)
      << o.out;
  // The same page from "t help build" and "-h".
  EXPECT_EQ(RunTool({"help", "build"}, &p).out, o.out);
  EXPECT_EQ(RunTool({"build", "x", "-h"}, &p).out, o.out);

  o = RunTool({"extract", "--help"}, &p);
  EXPECT_EQ(o.out.rfind("usage: t extract ARCHIVE [NAME...] [--dir DIR]\n", 0), 0u)
      << o.out;
  EXPECT_NE(o.out.find("exit status: 0 fine, 1 not fine"), std::string::npos);

  for (const char* top : {"--help", "-h", "help"}) {
    o = RunTool({top}, &p);
    EXPECT_EQ(o.status, 0) << top;
    EXPECT_EQ(o.out.rfind("usage: t SUBCOMMAND [ARGS...]\n", 0), 0u) << o.out;
    EXPECT_NE(o.out.find("  build       build things\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("  extract     extract things\n"), std::string::npos) << o.out;
  }
  o = RunTool({"--version"}, &p);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.rfind("t ", 0), 0u);
  EXPECT_EQ(o.out.back(), '\n');
}

}  // namespace
