// The producer workflow, run as processes: make-sample-game, kestrel-patch
// build / pack / list, then kestrel-patch apply on a copy of OLD must give
// a tree byte-identical to NEW (archive included). Bad input ends with one
// line on stderr naming the file, a non-zero status and no output file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
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
  Scratch() : tool_run::Scratch("producer") {}
};


tool_run::Result Patch(const std::string& args, const std::string& cwd = ".") {
  return tool_run::Run(KESTREL_PATCH_EXE, args, cwd);
}
tool_run::Result Archive(const std::string& args) {
  return tool_run::Run(KESTREL_ARCHIVE_EXE, args);
}

std::string Read(const std::string& path) {
  return fixture::ReadBytes(path);
}

// A minimal PE stub made here, independently of the tools' own.
std::string Stub() { return fixture::MakePe({{0x200, 0x400}}, ""); }

// One line on stderr that names `what`.
void ExpectOneLineNaming(const tool_run::Result& r, const std::string& what) {
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

// The game tree `game` against NEW: loose files byte for byte; the archive
// byte for byte when `exact`, else by names and contents (any order).
void ExpectGameIsNew(const std::string& game, const std::string& new_dir, bool exact) {
  std::vector<std::string> differences = tool_run::TreeDifferences(game, new_dir);
  if (!exact) {
    const auto it = std::find(differences.begin(), differences.end(),
                              "content differs: mareld.dat");
    if (it != differences.end()) differences.erase(it);
    EXPECT_EQ(tool_run::ArchiveByName(game + "/mareld.dat"),
              tool_run::ArchiveByName(new_dir + "/mareld.dat"));
  }
  EXPECT_EQ(differences, std::vector<std::string>());
}

// Builds, packs and applies OLD -> NEW in `s` (onto a copy of `from`,
// default OLD), expecting success. `exact`: --exact-order.
void BuildPackApply(const Scratch& s, const std::string& build_extra = "",
                    bool exact = false, const std::string& from = "old") {
  tool_run::Result r = Patch("build " + Quote(s / "old") + " " + Quote(s / "new") +
                             " -o " + Quote(s / "patch.bin") + " --verify" +
                             build_extra + (exact ? " --exact-order" : ""));
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("verify: OK"), std::string::npos) << r.out;
  Write(s / "stub.exe", Stub());
  r = Patch("pack " + Quote(s / "stub.exe") + " " + Quote(s / "patch.bin") +
            " -o " + Quote(s / "update.exe"));
  ASSERT_EQ(r.status, 0) << r.err;
  fs::remove_all(s / "game");
  fs::copy(s / from, s / "game", fs::copy_options::recursive);
  r = Patch("apply " + Quote(s / "update.exe") + " --dir " + Quote(s / "game"));
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  ExpectGameIsNew(s / "game", s / "new", exact);
}

TEST(ProducerWorkflow, SampleGameOldBecomesNewByteForByte) {
  Scratch s;
  const std::string make = std::string("python3 ") + KESTREL_SAMPLE_GAME + " " +
                           Quote(s / "sample") + " --archive-tool " +
                           Quote(KESTREL_ARCHIVE_EXE) + " >/dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  fs::rename(s / "sample/old", s / "old");
  fs::rename(s / "sample/new", s / "new");
  // The sample is what the workflow needs: a canonical archive of a few
  // hundred entries with cp932 names whose second byte is 0x5C.
  tool_run::Result r = Archive("check " + Quote(s / "new/mareld.dat"));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("canonical"), std::string::npos);
  r = Archive("list " + Quote(s / "old/mareld.dat"));
  EXPECT_NE(r.out.find("300 entries"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("表示/表題.txt"), std::string::npos);
  EXPECT_NE(r.out.find("ソース/ソ01.dat"), std::string::npos);

  // Every item whole (the six original commands), then with deltas.
  BuildPackApply(s, " --no-delta");
  tool_run::Result whole = Patch("list " + Quote(s / "update.exe"));
  ASSERT_EQ(whole.status, 0) << whole.err;
  EXPECT_EQ(whole.out.find(" patch "), std::string::npos) << whole.out;
  // One deflate run, and the stream compressed in blocks on three threads:
  // the updater reads both.
  BuildPackApply(s, " --jobs 1", true);
  BuildPackApply(s, " --jobs 3");
  // Every kind of loose-file and entry command was exercised, and the
  // listing decodes the packed updater the same way as the raw payload.
  r = Patch("list " + Quote(s / "update.exe"));
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* kind : {"0 write", "1 delete", "2 mkdir", "4 put", "5 remove", "6 patch",
                           "7 patch"})
    EXPECT_NE(r.out.find(kind), std::string::npos) << kind;
  EXPECT_NE(r.out.find("data/追加/新規ソ.txt"), std::string::npos);
  EXPECT_NE(r.out.find("mods/empty/deeper"), std::string::npos);
  EXPECT_EQ(r.err, "");
  const tool_run::Result raw = Patch("list " + Quote(s / "patch.bin"));
  EXPECT_EQ(raw.out.substr(raw.out.find('\n') + 1).size() > 0, true);
  EXPECT_NE(r.out.find(raw.out), std::string::npos);
}

// Each changed item goes as a delta only where that pays: a large file
// with a few blocks changed (its deflated size is only measured as far as
// needed, so the summary says "over"), a small text edited; a file that
// shares nothing with its old content goes whole.
TEST(ProducerWorkflow, DeltasGoWhereTheyPay) {
  Scratch s;
  std::string noise;
  for (std::uint32_t x = 7, i = 0; i < (1u << 20); ++i) {
    x = x * 1103515245u + 12345u;
    noise += static_cast<char>(x >> 23);
  }
  std::string edited = noise;
  for (std::size_t at : {4096u, 500000u, 900000u}) edited.replace(at, 1000, 1000, 'e');
  std::string text;
  for (int i = 0; i < 60; ++i) text += "line " + std::to_string(i) + " of the script\n";
  Write(s / "old/big.bin", noise);
  Write(s / "new/big.bin", edited);
  Write(s / "old/script.txt", text);
  Write(s / "new/script.txt", text.substr(0, 300) + "a new line\n" + text.substr(300));
  Write(s / "old/unrelated.bin", noise.substr(0, 65536));
  Write(s / "new/unrelated.bin", noise.substr(600000, 65536));
  fs::create_directories(s / "empty");
  for (const char* archive : {"old/mareld.dat", "new/mareld.dat"})
    ASSERT_EQ(Archive("create " + Quote(s / archive) + " " + Quote(s / "empty")).status, 0);
  const tool_run::Result r = Patch("build " + Quote(s / "old") + " " + Quote(s / "new") + " -o " +
                                   Quote(s / "patch.bin"));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto line = [&r](const std::string& name) {
    const std::size_t at = r.out.find(name + ": ");
    return at == std::string::npos ? std::string() : r.out.substr(at, r.out.find('\n', at) - at);
  };
  EXPECT_NE(line("big.bin").find("1.0 MiB, over "), std::string::npos) << r.out;
  EXPECT_NE(line("script.txt").find(" deflated -> "), std::string::npos) << r.out;
  EXPECT_EQ(line("script.txt").find("over"), std::string::npos) << r.out;
  EXPECT_EQ(line("unrelated.bin"), "") << r.out;
  BuildPackApply(s);
}

TEST(ProducerWorkflow, ClearReorderAndFileDirectorySwap) {
  Scratch s;
  // OLD: a cache tree and a file that becomes a directory.
  Write(s / "old/cache/a.bin", "a");
  Write(s / "old/cache/deep/b.bin", "b");
  Write(s / "old/cache/deep/gone.bin", "g");
  Write(s / "old/thing", "file in OLD");
  Write(s / "old/same.txt", "same");
  for (const char* n : {"x1", "x2", "x3", "x4"}) Write(s / (std::string("a-old/") + n), n);
  Write(s / "new/cache/a.bin", "a");  // unchanged, but the tree is cleared
  Write(s / "new/cache/deep/b.bin", "b");
  Write(s / "new/thing/inside.txt", "now a directory");
  Write(s / "new/same.txt", "same");
  for (const char* n : {"x1", "x2", "x3", "x4"}) Write(s / (std::string("a-new/") + n), n);
  Write(s / "a-new/x2", "changed");
  Write(s / "order.txt", "x1\nx4\nx2\nx3\n");  // NEW's archive reordered
  ASSERT_EQ(Archive("create " + Quote(s / "old/mareld.dat") + " " + Quote(s / "a-old")).status, 0);
  ASSERT_EQ(Archive("create " + Quote(s / "new/mareld.dat") + " " + Quote(s / "a-new") +
                    " --order " + Quote(s / "order.txt")).status, 0);
  BuildPackApply(s, " --clear cache", true);
  // The commands: what list prints before the manifest (which records the
  // cleared tree's files as well).
  auto commands = [](const tool_run::Result& listed) {
    return listed.out.substr(0, listed.out.find("\nmanifest: "));
  };
  tool_run::Result r = Patch("list " + Quote(s / "patch.bin"));
  r.out = commands(r);
  // The clear comes first; nothing in the cleared tree is deleted one by one.
  EXPECT_EQ(r.out.rfind("3 clear", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find("gone.bin"), std::string::npos);
  EXPECT_NE(r.out.find("cache/a.bin"), std::string::npos);
  EXPECT_EQ(r.out.find("same.txt"), std::string::npos);
  // Exact order: x1 stays in place; from x4 (the first change of order) all
  // is put again.
  EXPECT_EQ(r.out.find("x1"), std::string::npos);
  EXPECT_LT(r.out.find("put") , r.out.find("x4"));
  EXPECT_LT(r.out.find("x4"), r.out.find("x2"));
  EXPECT_LT(r.out.find("x2"), r.out.find("x3"));
  // By default only the changed entry travels.
  BuildPackApply(s, " --clear cache");
  r = Patch("list " + Quote(s / "patch.bin"));
  r.out = commands(r);
  EXPECT_NE(r.out.find("x2"), std::string::npos) << r.out;
  for (const char* same : {"x1", "x3", "x4"}) EXPECT_EQ(r.out.find(same), std::string::npos) << same;
}

// An archive of twelve entries changed at its start, middle or end, with an
// entry renamed (removed plus added) or only its letter case changed: both
// modes give NEW's names and contents, --exact-order NEW's bytes, and the
// default carries only what changed.
TEST(ProducerWorkflow, ArchiveChangesInBothModes) {
  std::vector<std::pair<std::string, std::string>> base;
  for (int i = 0; i < 12; ++i) {
    const std::string name = "data/e" + std::to_string(100 + i) + ".bin";
    base.emplace_back(name, std::string(1000 + i, static_cast<char>('a' + i)));
  }
  struct Case {
    const char* what;
    std::function<void(std::vector<std::pair<std::string, std::string>>&)> change;
    std::vector<std::string> carried;  // entries put by default
    int removed;
  } cases[] = {
      {"start", [](auto& e) { e[0].second = "changed"; }, {"data/e100.bin"}, 0},
      {"middle", [](auto& e) { e[6].second += "!"; }, {"data/e106.bin"}, 0},
      {"end", [](auto& e) { e[11].second[0] = 'Z'; }, {"data/e111.bin"}, 0},
      {"renamed", [](auto& e) { e[3].first = "data/renamed.bin"; }, {"data/renamed.bin"}, 1},
      {"added at the start",
       [](auto& e) { e.insert(e.begin(), {"data/a-first.bin", "new"}); },
       {"data/a-first.bin"}, 0},
      {"case only (not canonical NEW)", [](auto& e) { e[5].first = "Data/E105.BIN"; }, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scratch s;
    auto changed = base;
    c.change(changed);
    Write(s / "old/mareld.dat", fixture::MakeArchive(base));
    Write(s / "new/mareld.dat", fixture::MakeArchive(changed));
    Write(s / "old/readme.txt", "r");
    Write(s / "new/readme.txt", "r");
    BuildPackApply(s);
    tool_run::Result r = Patch("list " + Quote(s / "patch.bin"));
    std::vector<std::string> put;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("4 put", 0) == 0) put.push_back(line.substr(line.rfind(' ') + 1));
    EXPECT_EQ(put, c.carried) << r.out;
    EXPECT_EQ(r.out.find("5 remove") != std::string::npos, c.removed > 0) << r.out;
    // The carried entries are the last ones of the patched archive.
    const std::vector<std::string> order = tool_run::ArchiveOrder(s / "game/mareld.dat");
    ASSERT_GE(order.size(), put.size());
    EXPECT_TRUE(std::equal(put.begin(), put.end(), order.end() - put.size()));

    const bool canonical_new =
        fixture::ReadBytes(s / "new/mareld.dat").find("Data/") == std::string::npos;
    if (canonical_new) {
      BuildPackApply(s, "", true);
    } else {  // NEW's bytes cannot come back (names are lowered): its order does
      BuildPackApply(s, " --exact-order");
      EXPECT_EQ(tool_run::ArchiveOrder(s / "game/mareld.dat"),
                tool_run::ArchiveOrder(s / "new/mareld.dat"));
    }
  }
}

// The "compared" figure counts archive entries too: a change only in the
// archive compares every entry of equal size, in both modes.
TEST(ProducerWorkflow, TheComparedFigureCountsArchiveEntries) {
  Scratch s;
  Write(s / "old/mareld.dat", fixture::MakeArchive({{"a", std::string(1024, 'a')},
                                                    {"b", std::string(1024, 'b')},
                                                    {"c", std::string(1024, 'c')}}));
  Write(s / "new/mareld.dat", fixture::MakeArchive({{"a", std::string(1024, 'A')},
                                                    {"b", std::string(1024, 'b')},
                                                    {"c", std::string(1024, 'c')}}));
  for (const char* mode : {"", " --exact-order"}) {
    const tool_run::Result r = Patch("build " + Quote(s / "old") + " " + Quote(s / "new") +
                                     " -o " + Quote(s / "p.bin") + mode);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("compared 2.0 KiB (0 files and 3 entries of equal size)"),
              std::string::npos)
        << mode << "\n" << r.out;
    EXPECT_NE(r.out.find("archive: 3 entries in NEW (1 changed, 0 new, 2 unchanged), 0 of "
                         "OLD's removed"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(*mode ? "carried: 3 entries (1 changed, 0 new, 2 unchanged put again"
                               : "carried: 1 entry (the changed and new ones"),
              std::string::npos)
        << r.out;
  }
}

// A second patch built from canonical trees applies to the archive a first
// default-mode patch left (whose order differs from the one it was built
// from): names and contents are what the game finds.
TEST(ProducerWorkflow, ASecondPatchAppliesOnTopOfAFirst) {
  Scratch s;
  std::vector<std::pair<std::string, std::string>> v1, v2, v3;
  for (int i = 0; i < 8; ++i) v1.emplace_back("e" + std::to_string(i), std::string(50, 'a' + i));
  v2 = v1;
  v2[0].second = "first patch";
  v2.emplace_back("e8", "added");
  v3 = v2;
  v3[1].second = "second patch";
  v3.erase(v3.begin() + 4);
  Write(s / "old/mareld.dat", fixture::MakeArchive(v1));
  Write(s / "new/mareld.dat", fixture::MakeArchive(v2));
  BuildPackApply(s);
  EXPECT_NE(tool_run::ArchiveOrder(s / "game/mareld.dat"), tool_run::ArchiveOrder(s / "new/mareld.dat"));
  // The player's archive now: v2's entries in another order.
  fs::rename(s / "game", s / "player");
  fs::remove_all(s / "old");
  fs::rename(s / "new", s / "old");
  Write(s / "new/mareld.dat", fixture::MakeArchive(v3));
  BuildPackApply(s, "", false, "player");
}
TEST(ProducerWorkflow, PackRefusesAnOverlayUnlessReplacing) {
  Scratch s;
  const std::string payload = fixture::Deflate(fixture::Commands().DeleteFile("a").bytes());
  Write(s / "p.bin", payload);
  Write(s / "carrying.exe", Stub() + "OLDPAYLOAD");
  Write(s / "out.exe", "keep");
  tool_run::Result r = Patch("pack " + Quote(s / "carrying.exe") + " " + Quote(s / "p.bin") +
                             " -o " + Quote(s / "out.exe"));
  ExpectOneLineNaming(r, "carrying.exe");
  EXPECT_EQ(Read(s / "out.exe"), "keep");
  r = Patch("pack " + Quote(s / "carrying.exe") + " " + Quote(s / "p.bin") + " -o " +
            Quote(s / "out.exe") + " --replace");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(s / "out.exe"), Stub() + payload);
  // Packing onto the output itself replaces its payload in place.
  r = Patch("pack " + Quote(s / "out.exe") + " " + Quote(s / "p.bin") + " -o " +
            Quote(s / "out.exe") + " --replace");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(s / "out.exe"), Stub() + payload);
  EXPECT_EQ(tool_run::NamesStartingWith(s.path.string(), "kst"), std::vector<std::string>());
}

TEST(ProducerWorkflow, ListWarnsAboutNamesOutsideTheGame) {
  Scratch s;
  Write(s / "p.bin", fixture::Deflate(fixture::Commands()
                                          .WriteFile("../evil.txt", "x")
                                          .DeleteFile("ok/fine.txt")
                                          .PutEntry("../not-a-path", "y")
                                          .bytes()));
  const tool_run::Result r = Patch("list " + Quote(s / "p.bin"));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("../evil.txt resolves outside"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("fine.txt"), std::string::npos);
  EXPECT_EQ(r.err.find("not-a-path"), std::string::npos);  // an entry, not a path
  EXPECT_NE(r.out.find("3 commands"), std::string::npos);
}

// Bad input: each case breaks one thing; the tool must say which file, fail,
// and leave the existing output file alone.
TEST(ProducerWorkflow, BadInputNamesTheFileAndWritesNothing) {
  struct Case {
    const char* what;
    std::function<void(Scratch&)> spoil;
    std::string args;  // relative to the scratch directory
    const char* named;
  };
  const std::string good_payload =
      fixture::Deflate(fixture::Commands().DeleteFile("a").bytes());
  const std::string long_dir = std::string(200, 'd') + "/" + std::string(70, 'f');
  const Case cases[] = {
      {"missing OLD", [](Scratch& s) { fs::remove_all(s.path / "old"); },
       "build old new -o out", "old"},
      {"corrupt NEW archive", [](Scratch& s) { Write(s / "new/mareld.dat", "KMF junk"); },
       "build old new -o out", "new/mareld.dat"},
      {"NEW without archive", [](Scratch& s) { fs::remove(s.path / "new/mareld.dat"); },
       "build old new -o out", "new/mareld.dat"},
      {"unreadable NEW file",
       [](Scratch& s) {
         Write(s / "new/locked", "secret");
         fs::permissions(s.path / "new/locked", fs::perms::none);
       },
       "build old new -o out", "new/locked"},
      {"name longer than 262 bytes",
       [long_dir](Scratch& s) { Write(s / ("new/" + long_dir), "x"); },
       "build old new -o out", "longer than 262"},
      {"directory in OLD, file in NEW",
       [](Scratch& s) {
         Write(s / "old/d/in.txt", "x");
         Write(s / "new/d", "now a file");
       },
       "build old new -o out", "new/d"},
      {"name Windows cannot hold", [](Scratch& s) { Write(s / "new/a:b", "x"); },
       "build old new -o out", "new/a:b"},
      {"stub not a PE file", [](Scratch& s) { Write(s / "stub.exe", "just text"); },
       "pack stub.exe p.bin -o out", "stub.exe"},
      {"corrupt payload", [](Scratch& s) { Write(s / "p.bin", "not zlib at all"); },
       "pack stub.exe p.bin -o out", "p.bin"},
      {"missing payload", [](Scratch& s) { fs::remove(s.path / "p.bin"); },
       "pack stub.exe p.bin -o out", "p.bin"},
      {"truncated payload for list",
       [good_payload](Scratch& s) { Write(s / "p.bin", good_payload.substr(0, 6)); },
       "list p.bin", "p.bin"},
      {"updater without payload", [](Scratch&) {}, "list stub.exe", "stub.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scratch s;
    Write(s / "old/mareld.dat", fixture::MakeArchive({{"a", "1"}}));
    Write(s / "new/mareld.dat", fixture::MakeArchive({{"a", "2"}}));
    Write(s / "old/f.txt", "f");
    Write(s / "new/f.txt", "g");
    Write(s / "stub.exe", Stub());
    Write(s / "p.bin", good_payload);
    Write(s / "out", "keep");
    c.spoil(s);
    if (std::string(c.what) == "unreadable NEW file" && ::geteuid() == 0)
      continue;  // permissions do not stop root from reading
    const tool_run::Result r = Patch(c.args, s.path.string());
    ExpectOneLineNaming(r, c.named);
    EXPECT_EQ(Read(s / "out"), "keep");
    EXPECT_EQ(tool_run::NamesStartingWith(s.path.string(), "kst"), std::vector<std::string>());
  }
}

TEST(ProducerWorkflow, EveryCommandHasHelp) {
  for (const char* sub : {"build", "pack", "list"}) {
    const tool_run::Result r = Patch(std::string(sub) + " --help");
    EXPECT_EQ(r.status, 0) << sub;
    EXPECT_EQ(r.out.rfind(std::string("usage: kestrel-patch ") + sub, 0), 0u) << r.out;
  }
  const tool_run::Result version = Patch("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("kestrel-patch ", 0), 0u);
  EXPECT_EQ(Patch("build onlyone -o x").status, 2);
  EXPECT_EQ(Patch("build old new").status, 2);  // -o is required
  EXPECT_EQ(Patch("build old new -o x --clear").status, 2);
  EXPECT_EQ(Patch("pack a b").status, 2);
  EXPECT_EQ(Patch("list").status, 2);
}

}  // namespace

// The manifest as the producer writes, lists and packs it: by default after
// the stream, its records what OLD and NEW hold; --no-manifest leaves the
// stream exactly as it was before manifests.
TEST(ProducerWorkflow, TheManifestIsWrittenListedAndGuarded) {
  Scratch s;
  Write(s / "old/readme.txt", "1.02");
  Write(s / "old/gone.txt", "bye");
  Write(s / "old/same.txt", "same");
  Write(s / "new/readme.txt", "1.03!");
  Write(s / "new/same.txt", "same");
  Write(s / "a-old/e.bin", "old-e");
  Write(s / "a-new/e.bin", "new-e");
  ASSERT_EQ(Archive("create " + Quote(s / "old/mareld.dat") + " " + Quote(s / "a-old")).status, 0);
  ASSERT_EQ(Archive("create " + Quote(s / "new/mareld.dat") + " " + Quote(s / "a-new")).status, 0);
  const std::string dirs = Quote(s / "old") + " " + Quote(s / "new");
  tool_run::Result r = Patch("build " + dirs + " -o " + Quote(s / "with.bin") +
                             " --verify --from-label 1.02 --to-label 1.03 --caption 'Caf\xc3\xa9' "
                             "--completion-text 'Done' --language en");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("manifest: 3 records"), std::string::npos) << r.out;
  r = Patch("build " + dirs + " -o " + Quote(s / "without.bin") + " --no-manifest");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string with = Read(s / "with.bin"), without = Read(s / "without.bin");
  ASSERT_GT(with.size(), without.size());
  EXPECT_EQ(with.substr(0, without.size()), without) << "the stream itself changed";
  EXPECT_EQ(Patch("build " + dirs + " -o " + Quote(s / "x.bin") + " --no-manifest --caption x")
                .status,
            2);

  r = Patch("list --json " + Quote(s / "with.bin"));
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json listed = nlohmann::json::parse(r.out);
  const nlohmann::json& m = listed["manifest"];
  EXPECT_EQ(m["from_label"], "1.02");
  EXPECT_EQ(m["to_label"], "1.03");
  EXPECT_EQ(m["caption"], "Caf\xc3\xa9");
  EXPECT_EQ(m["completion_text"], "Done");
  EXPECT_EQ(m["language"], "en");
  EXPECT_EQ(m["inflated_size"], listed["inflated_bytes"]);
  std::map<std::string, nlohmann::json> records;
  for (const auto& record : m["records"]) records[record["name"]] = record;
  ASSERT_EQ(records.size(), 3u) << m.dump();  // same.txt is untouched
  EXPECT_EQ(records["readme.txt"]["before"]["size"], 4);
  EXPECT_EQ(records["readme.txt"]["after"]["size"], 5);
  EXPECT_EQ(records["gone.txt"]["after"]["state"], "absent");
  EXPECT_EQ(records["e.bin"]["kind"], "entry");
  EXPECT_NE(records["e.bin"]["before"]["xxh3_128"], records["e.bin"]["after"]["xxh3_128"]);
  r = Patch("list --json " + Quote(s / "without.bin"));
  EXPECT_TRUE(nlohmann::json::parse(r.out)["manifest"].is_null()) << r.out;

  // pack keeps the manifest byte for byte and refuses a damaged or cut one.
  Write(s / "stub.exe", Stub());
  r = Patch("pack " + Quote(s / "stub.exe") + " " + Quote(s / "with.bin") + " -o " +
            Quote(s / "update.exe"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(s / "update.exe").substr(Stub().size()), with);
  std::string damaged = with;
  damaged[damaged.size() - 30] ^= 1;
  Write(s / "damaged.bin", damaged);
  Write(s / "cut.bin", with.substr(0, with.size() - 3));
  for (const char* bad : {"damaged.bin", "cut.bin"}) {
    r = Patch("pack " + Quote(s / "stub.exe") + " " + Quote(s / bad) + " -o " +
              Quote(s / "bad.exe"));
    ExpectOneLineNaming(r, "version manifest");
    EXPECT_FALSE(fs::exists(s / "bad.exe")) << bad;
  }
}
