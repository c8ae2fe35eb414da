// kestrel-archive run as a process: packing, listing, extracting (with
// cp932 names and names that would escape), editing through a temporary
// file, and checking corrupt directories.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "engine_fixture.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

using tool_run::Quote;
using tool_run::Write;

// A scratch directory of this test file's own.
struct Scratch : tool_run::Scratch {
  Scratch() : tool_run::Scratch("archive") {}
};


tool_run::Result Tool(const std::string& args) {
  return tool_run::Run(KESTREL_ARCHIVE_EXE, args);
}


std::string Le32(std::uint32_t v) { return fixture::Le32(v); }

TEST(KestrelArchive, CreateIsCanonicalAndExtractGivesTheFilesBack) {
  Scratch s;
  Write(s / "src/Readme.TXT", "hello");
  Write(s / "src/表/ソース.bin", std::string("\0\x01\x02", 3));
  Write(s / "src/sub/b.dat", "bbb");
  tool_run::Result r = Tool("create " + Quote(s / "a.dat") + " " + Quote(s / "src"));
  ASSERT_EQ(r.status, 0) << r.err;
  // Names lowered, sorted by their cp932 bytes, contents packed after the
  // directory: exactly the archive the engine's writer makes of them.
  EXPECT_EQ(fixture::ReadBytes(s / "a.dat"),
            fixture::MakeArchive({{"readme.txt", "hello"},
                                  {"sub/b.dat", "bbb"},
                                  {"\x95\x5C/\x83\x5C\x81[\x83X.bin",
                                   std::string("\0\x01\x02", 3)}}));
  r = Tool("list --json " + Quote(s / "a.dat"));
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json listing = nlohmann::json::parse(r.out);
  EXPECT_EQ(listing["count"], 3);
  EXPECT_EQ(listing["total_size"], 11);
  ASSERT_EQ(listing["entries"].size(), 3u);
  EXPECT_EQ(listing["entries"][2]["name"], "表/ソース.bin");
  EXPECT_EQ(listing["entries"][2]["size"], 3);
  EXPECT_EQ(listing["entries"][0]["offset"], 8 + 3 * 12 + 10 + 9 + 13);
  r = Tool("extract " + Quote(s / "a.dat") + " " + Quote(s / "out"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(tool_run::TreeDifferences(s / "out", s / "src"),
            (std::vector<std::string>{"missing: Readme.TXT", "extra: readme.txt"}));
  EXPECT_EQ(fixture::ReadBytes(s / "out/readme.txt"), "hello");
  EXPECT_EQ(fixture::ReadBytes(s / "out/表/ソース.bin"), std::string("\0\x01\x02", 3));
  // Only the named entries, found regardless of letter case.
  r = Tool("extract " + Quote(s / "a.dat") + " " + Quote(s / "one") + " SUB/B.DAT");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(tool_run::TreeDifferences(s / "one", s / "src"),
            (std::vector<std::string>{"missing: Readme.TXT", "missing: 表",
                                      "missing: 表/ソース.bin"}));
  EXPECT_EQ(fixture::ReadBytes(s / "one/sub/b.dat"), "bbb");
}

TEST(KestrelArchive, ExtractRefusesNamesThatLeaveTheDirectory) {
  Scratch s;
  Write(s / "evil.dat", fixture::MakeArchive({{"../escaped.txt", "x"},
                                              {"/abs.txt", "x"},
                                              {"c:drive.txt", "x"},
                                              {"ok/fine.txt", "fine"},
                                              {"a\\..\\..\\back.txt", "x"}}));
  const tool_run::Result r = Tool("extract " + Quote(s / "evil.dat") + " " + Quote(s / "out"));
  EXPECT_EQ(r.status, 1);
  for (const char* name : {"../escaped.txt", "/abs.txt", "c:drive.txt", "back.txt"})
    EXPECT_NE(r.err.find(name), std::string::npos) << name << "\n" << r.err;
  EXPECT_EQ(fixture::ReadBytes(s / "out/ok/fine.txt"), "fine");
  EXPECT_FALSE(fs::exists(s / "escaped.txt"));
  EXPECT_FALSE(fs::exists(s / "back.txt"));
  EXPECT_FALSE(fs::exists("/abs.txt"));
}

TEST(KestrelArchive, EditsReplaceTheArchiveWholeOrNotAtAll) {
  Scratch s;
  Write(s / "a.dat", fixture::MakeArchive({{"one", "1"}, {"two", "22"}, {"three", "333"}}));
  Write(s / "new.txt", "NEW");
  ASSERT_EQ(Tool("add " + Quote(s / "a.dat") + " " + Quote(s / "new.txt")).status, 0);
  ASSERT_EQ(Tool("replace " + Quote(s / "a.dat") + " " + Quote(s / "new.txt") + " TWO").status, 0);
  ASSERT_EQ(Tool("remove " + Quote(s / "a.dat") + " one").status, 0);
  EXPECT_EQ(fixture::ReadBytes(s / "a.dat"),
            fixture::MakeArchive({{"two", "NEW"}, {"three", "333"}, {"new.txt", "NEW"}}));
  const std::string before = fixture::ReadBytes(s / "a.dat");
  const std::string failing[] = {
      "add " + Quote(s / "a.dat") + " " + Quote(s / "new.txt"),  // exists
      "replace " + Quote(s / "a.dat") + " " + Quote(s / "new.txt") + " missing",
      "remove " + Quote(s / "a.dat") + " two missing",  // all or nothing
      "add " + Quote(s / "a.dat") + " " + Quote(s / "no-such-file"),
  };
  for (const std::string& args : failing) {
    const tool_run::Result r = Tool(args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_NE(r.err, "") << args;
    EXPECT_EQ(fixture::ReadBytes(s / "a.dat"), before) << args;
  }
  // FILE that ends in a separator gives no entry name: a wrong command line.
  const tool_run::Result r = Tool("add " + Quote(s / "a.dat") + " " + Quote(s.path.string() + "/"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("ends without a file name to give the entry (give NAME)"),
            std::string::npos) << r.err;
  EXPECT_EQ(fixture::ReadBytes(s / "a.dat"), before);
  EXPECT_EQ(tool_run::NamesStartingWith(s.path.string(), "kst"), std::vector<std::string>());
}

TEST(KestrelArchive, CheckNamesEachProblem) {
  const std::string good = fixture::MakeArchive({{"a", "xx"}, {"b", "y"}});
  // "KMF ", 1 entry, name length, name, offset, size (+ content).
  auto one = [](const std::string& name, std::uint32_t offset, std::uint32_t size,
                const std::string& content) {
    return "KMF " + Le32(1) + Le32(static_cast<std::uint32_t>(name.size())) + name +
           Le32(offset) + Le32(size) + content;
  };
  struct Case {
    const char* what;
    std::string bytes;
    int status;
    const char* says;
  } cases[] = {
      {"canonical", good, 0, "valid, 2 entries, canonical"},
      {"gap before content", one("a", 22, 1, "-x"), 0, "not canonical"},
      {"upper-case name", one("A", 21, 1, "x"), 0, "names not lowered"},
      {"bad magic", "KMG " + good.substr(4), 1, "bad magic"},
      {"short header", "KMF ", 1, "header"},
      {"truncated directory", good.substr(0, 14), 1, "directory ends early"},
      {"name length 264", "KMF " + Le32(1) + Le32(264) + std::string(272, 'a'), 1,
       "name length 264 above 263"},
      {"content past the end", one("a", 21, 5, "x"), 1, "passes the end"},
      {"duplicate after lowering",
       "KMF " + Le32(2) + Le32(1) + "a" + Le32(0) + Le32(0) + Le32(1) + "A" + Le32(0) + Le32(0),
       1, "duplicate name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scratch s;
    Write(s / "x.dat", c.bytes);
    const tool_run::Result r = Tool("check " + Quote(s / "x.dat"));
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
  }
  // ARCHIVE that names nothing, or a directory.
  Scratch s;
  fs::create_directory(s / "dir");
  for (const auto& [name, says] : {std::pair<std::string, std::string>{"missing", "no such file"},
                                   {"dir", "a directory, not a file"}}) {
    const tool_run::Result r = Tool("check " + Quote(s / name));
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_EQ(r.err, "kestrel-archive: " + (s / name) + ": " + says + "\n");
  }
}

// A directory with 25 problems: 20 listed and a count, or all with --all.
TEST(KestrelArchive, CheckListsTwentyProblemsUnlessAll) {
  std::string directory;
  for (int i = 0; i < 25; ++i) {
    const std::string name = "e" + std::to_string(100 + i);
    directory += Le32(4) + name + Le32(1000) + Le32(10);  // past the end
  }
  Scratch s;
  Write(s / "x.dat", "KMF " + Le32(25) + directory);
  tool_run::Result r = Tool("check " + Quote(s / "x.dat"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 22) << r.out;
  EXPECT_NE(r.out.find("record 19: \"e119\""), std::string::npos);
  EXPECT_EQ(r.out.find("record 20:"), std::string::npos);
  EXPECT_NE(r.out.find("... and 5 more (--all lists every one)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("INVALID (25 problems)"), std::string::npos);
  r = Tool("check --all " + Quote(s / "x.dat"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 26) << r.out;
  EXPECT_NE(r.out.find("record 24: \"e124\""), std::string::npos);
}

TEST(KestrelArchive, CreateWithAnOrderFile) {
  Scratch s;
  for (const char* n : {"a", "b", "c"}) Write(s / (std::string("src/") + n), n);
  Write(s / "order", "# reversed\nC\nb\n\na\n");
  tool_run::Result r = Tool("create " + Quote(s / "x.dat") + " " + Quote(s / "src") +
                            " --order " + Quote(s / "order"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fixture::ReadBytes(s / "x.dat"),
            fixture::MakeArchive({{"c", "c"}, {"b", "b"}, {"a", "a"}}));
  // An order that misses a file, or names one that is not there, is refused
  // and writes nothing.
  for (const char* order : {"a\nb\n", "a\nb\nc\nd\n", "a\nb\nc\nc\n"}) {
    Write(s / "order", order);
    r = Tool("create " + Quote(s / "y.dat") + " " + Quote(s / "src") + " --order " +
             Quote(s / "order"));
    EXPECT_EQ(r.status, 1) << order;
    EXPECT_FALSE(fs::exists(s / "y.dat"));
  }
  // Two files whose names differ only in case cannot both be entries.
  Write(s / "src/A", "A");
  r = Tool("create " + Quote(s / "z.dat") + " " + Quote(s / "src"));
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(s / "z.dat"));
}

// diff: what only A has, what only B has, what both have with other
// contents, by name whatever the order and the letter case.
TEST(KestrelArchive, DiffComparesByNameAndContent) {
  Scratch s;
  Write(s / "a.dat", fixture::MakeArchive({{"same", "1"}, {"gone", "22"}, {"changed", "333"},
                                          {"resized", "4"}}));
  Write(s / "b.dat", fixture::MakeArchive({{"NEW", "55555"}, {"Changed", "334"},
                                          {"resized", "4444"}, {"SAME", "1"}}));
  tool_run::Result r = Tool("diff " + Quote(s / "a.dat") + " " + Quote(s / "b.dat"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("-          2               gone\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("+                        5  new\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("~          3 ->          3  changed\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("~          1 ->          4  resized\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 only in A, 1 only in B, 2 changed (12 B of B's content), 1 "
                       "unchanged; the order differs"),
            std::string::npos)
      << r.out;
  r = Tool("diff --json " + Quote(s / "a.dat") + " " + Quote(s / "b.dat"));
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json diff = nlohmann::json::parse(r.out);
  EXPECT_EQ(diff["only_in_a"], nlohmann::json::parse(R"([{"name":"gone","size":2}])"));
  EXPECT_EQ(diff["only_in_b"], nlohmann::json::parse(R"([{"name":"new","size":5}])"));
  EXPECT_EQ(diff["changed"], nlohmann::json::parse(
                                 R"([{"name":"changed","size_a":3,"size_b":3},
                                     {"name":"resized","size_a":1,"size_b":4}])"));
  EXPECT_EQ(diff["unchanged"], 1);
  EXPECT_EQ(diff["same_order"], false);
  r = Tool("diff --json " + Quote(s / "a.dat") + " " + Quote(s / "a.dat"));
  EXPECT_EQ(nlohmann::json::parse(r.out)["same_order"], true);
  EXPECT_EQ(Tool("diff " + Quote(s / "a.dat") + " " + Quote(s / "missing.dat")).status, 1);
}

// Names from a hostile archive: control characters, bytes that are no cp932
// character, quotes (loaded names are lowered). The listing shows them escaped and stays one line per
// entry; the JSON parses and carries the same escaped names.
TEST(KestrelArchive, ListShowsAnyNameSafely) {
  Scratch s;
  Write(s / "odd.dat", fixture::MakeArchive({{"a\x1b[2Kb", "1"},
                                             {"x\x85\x40\xff\x81", "22"},
                                             {"q\"u\\o\nte", "333"},
                                             {"\x95\x5C.txt", "4"}}));
  tool_run::Result r = Tool("list " + Quote(s / "odd.dat"));
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* shown : {"a\\x1b[2kb\n", "x\\x85@\\xff\\x81\n",
                            "q\"u\\o\\x0ate\n", "表.txt\n"})
    EXPECT_NE(r.out.find(shown), std::string::npos) << shown << "\n" << r.out;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 5) << r.out;

  r = Tool("list --json " + Quote(s / "odd.dat"));
  ASSERT_EQ(r.status, 0) << r.err;
  nlohmann::json listing;
  ASSERT_NO_THROW(listing = nlohmann::json::parse(r.out)) << r.out;
  std::vector<std::string> names;
  for (const auto& entry : listing["entries"]) names.push_back(entry["name"]);
  EXPECT_EQ(names, (std::vector<std::string>{"a\\x1b[2kb", "x\\x85@\\xff\\x81",
                                             "q\"u\\o\\x0ate", "表.txt"}));
}

TEST(KestrelArchive, HelpVersionAndUsage) {
  for (const char* sub : {"list", "extract", "create", "add", "remove", "replace", "check",
                          "diff"}) {
    const tool_run::Result r = Tool(std::string(sub) + " --help");
    EXPECT_EQ(r.status, 0) << sub;
    EXPECT_EQ(r.out.rfind(std::string("usage: kestrel-archive ") + sub, 0), 0u) << sub;
    const tool_run::Result wrong = Tool(sub);
    EXPECT_EQ(wrong.status, 2) << sub;
    EXPECT_EQ(wrong.err.rfind(std::string("kestrel-archive ") + sub + ": ", 0), 0u)
        << wrong.err;
  }
  EXPECT_EQ(Tool("").status, 2);
  EXPECT_EQ(Tool("--help").status, 0);
  const tool_run::Result version = Tool("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("kestrel-archive ", 0), 0u);
  // A path the game's code page cannot hold is a wrong command line.
  const tool_run::Result emoji = Tool("list 'a\xF0\x9F\x98\x80.dat'");
  EXPECT_EQ(emoji.status, 2);
  EXPECT_NE(emoji.err.find("ARCHIVE: 'a\xF0\x9F\x98\x80.dat' has characters that cp932"),
            std::string::npos)
      << emoji.err;
}

}  // namespace
