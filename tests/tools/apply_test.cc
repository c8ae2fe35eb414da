// `kestrel-patch apply`, run as a process: exit status, what it prints (the
// updater's messages in UTF-8) and what it does to the game directory.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "engine/undo_journal.h"
#include "hostile_payloads.h"
#include "engine/content_hash.h"
#include "engine/manifest.h"
#include "patchlib/manifest_writer.h"
#include "platform/text.h"

namespace {

using fixture::Commands;
using fixture::Exists;
using fixture::ReadBytes;

struct Result {
  int status;
  std::string out, err;
};

// Runs `kestrel-patch ARGS` in `cwd` with output captured in files, with
// the seam's faults `faults` (KESTREL_TEST_FAULTS) when given.
Result RunTool(const std::string& args, const std::string& cwd = ".",
               const std::string& faults = "") {
  fixture::TempDir capture;
  const std::string environment =
      faults.empty() ? "" : "KESTREL_TEST_FAULTS='" + faults + "' ";
  const std::string command = "cd '" + cwd + "' && " + environment + "'" KESTREL_PATCH_EXE "' " +
                              args + " >'" + (capture / "out") + "' 2>'" +
                              (capture / "err") + "' </dev/null";
  const int raw = std::system(command.c_str());
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadBytes(capture / "out");
  r.err = ReadBytes(capture / "err");
  return r;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

struct Game {
  fixture::TempDir dir;
  std::string old_archive =
      fixture::MakeArchive({{"data/a.txt", "old-a"}, {"gone.txt", "bye"}});
  Game() { fixture::WriteBytes(dir / "mareld.dat", old_archive); }
  std::string Patch(const Commands& c, const std::string& name = "patch.exe") {
    fixture::WriteBytes(dir / name, fixture::MakeUpdater(c));
    return dir / name;
  }
  bool HasTemporaryFiles() const {
    for (const auto& name : dir.List())
      if (name.rfind("qx", 0) == 0) return true;
    return false;
  }
};

const char kCompleted[] = "Q18版からプレス版へのアップデートが完了しました。";

TEST(KestrelPatchApply, AppliesEveryCommandInThePatchDirectory) {
  Game game;
  fixture::WriteBytes(game.dir / "old.txt", "old");
  std::filesystem::create_directories(game.dir / "tree/sub");
  fixture::WriteBytes(game.dir / "tree/sub/x", "x");
  // "\x83\x65\x83\x58\x83\x67" is テスト in cp932.
  const std::string patch = game.Patch(Commands()
                                           .WriteFile("new/\x83\x65\x83\x58\x83\x67.txt", "hi")
                                           .DeleteFile("old.txt")
                                           .MakeDirectory("made")
                                           .EmptyTree("tree")
                                           .PutEntry("Data/A.txt", "new-a")
                                           .RemoveEntry("gone.txt"));
  // Off a terminal: only the updater's message and the summary...
  const std::string copy = fixture::ReadBytes(patch);
  Game quiet;
  fixture::WriteBytes(quiet.dir / "old.txt", "old");
  std::filesystem::create_directories(quiet.dir / "tree/sub");
  fixture::WriteBytes(quiet.dir / "p.exe", copy);
  Result r = RunTool("apply " + Quote(quiet.dir / "p.exe"));
  EXPECT_EQ(r.status, 0) << r.err;
  const std::size_t took = r.out.find(" in ");
  ASSERT_NE(took, std::string::npos) << r.out;
  EXPECT_EQ(r.out, std::string(kCompleted) +
                       "\napplied 6 commands (1 write, 1 delete, 1 mkdir, 1 clear, 1 put, "
                       "1 remove)" + r.out.substr(took, r.out.find(':', took) - took) +
                       ": 2 B of files written, mareld.dat 1 entry, 35 B\n");
  // ... and with --verbose every name and status line as well.
  r = RunTool("apply --verbose " + Quote(patch));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("new/テスト.txt\n"), std::string::npos) << r.out;
  for (const char* name : {"old.txt\n", "made\n", "tree\n", "Data/A.txt\n",
                           "gone.txt\n", "リソースファイルの再構築中\n"})
    EXPECT_NE(r.out.find(name), std::string::npos) << name;
  EXPECT_NE(r.out.find(std::string(kCompleted) + "\n"), std::string::npos);
  EXPECT_EQ(r.out.find('\r'), std::string::npos) << "no progress bar off a terminal";
  EXPECT_EQ(ReadBytes(game.dir / "new/テスト.txt"), "hi");
  EXPECT_FALSE(Exists(game.dir / "old.txt"));
  EXPECT_TRUE(fixture::IsDirectory(game.dir / "made"));
  EXPECT_FALSE(Exists(game.dir / "tree/sub/x"));
  EXPECT_EQ(ReadBytes(game.dir / "mareld.dat"),
            fixture::MakeArchive({{"data/a.txt", "new-a"}}));
  EXPECT_FALSE(game.HasTemporaryFiles());
  EXPECT_FALSE(Exists(game.dir / "mareld.bak"));
}

TEST(KestrelPatchApply, TakesTheGameDirectoryFromDirOrARelativePatch) {
  Game game;
  fixture::TempDir elsewhere;
  fixture::WriteBytes(elsewhere / "p.exe",
                      fixture::MakeUpdater(Commands().WriteFile("a.txt", "A")));
  Result r = RunTool("apply " + Quote(elsewhere / "p.exe") + " --dir " +
                 Quote(game.dir.path()));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(game.dir / "a.txt"), "A");
  EXPECT_FALSE(Exists(elsewhere / "a.txt"));

  // A relative PATCH: its directory is taken below the working directory.
  game.Patch(Commands().WriteFile("b.txt", "B"), "rel.exe");
  r = RunTool("apply rel.exe", game.dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(game.dir / "b.txt"), "B");
  r = RunTool("apply --dir=. ./rel.exe", game.dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
}

// Each failure: the updater's message as it stands, then a line saying in
// English what went wrong and where, and the exit status (3: not an
// updater, not a game folder; 1: a failed run).
TEST(KestrelPatchApply, PrintsTheUpdatersMessagesAReasonAndTheStatus) {
  struct Case {
    const char* what;
    std::function<void(Game&)> setup;
    Commands commands;
    std::function<std::string(Game&)> message;
    std::function<std::string(Game&)> reason;
    int status;
  };
  auto says = [](const char* text) {
    return [text](Game&) { return std::string(text); };
  };
  auto no_setup = [](Game&) {};
  const Case cases[] = {
      {"archive missing",
       [](Game& g) { std::filesystem::remove(g.dir / "mareld.dat"); }, Commands(),
       [](Game& g) { return "ファイル(" + (g.dir / "mareld.dat") + ")が開けません"; },
       [](Game& g) { return g.dir.path() + " has no mareld.dat: not a game folder"; }, 3},
      {"archive is no archive",
       [](Game& g) { fixture::WriteBytes(g.dir / "mareld.dat", "KMG whatever"); }, Commands(),
       [](Game& g) { return "ファイル(" + (g.dir / "mareld.dat") + ")が開けません"; },
       [](Game& g) {
         return g.dir / "mareld.dat" + " is not a resource archive: bad magic";
       },
       3},
      {"archive cut short",
       [](Game& g) {
         fixture::WriteBytes(g.dir / "mareld.dat", g.old_archive.substr(0, 20));
       },
       Commands(),
       [](Game& g) { return "ファイル(" + (g.dir / "mareld.dat") + ")が開けません"; },
       says("is a damaged archive: record 0: directory ends early"), 3},
      {"unknown opcode", no_setup, Commands().Raw(fixture::Le32(9)),
       says("ファイルが読み込めません"),
       says("the command stream breaks the updater's format: unknown opcode 9 at offset 0"),
       1},
      {"file cannot be created",
       [](Game& g) { std::filesystem::create_directory(g.dir / "d"); },
       Commands().WriteFile("d", "x"),
       [](Game& g) { return "ファイル(" + (g.dir / "d") + ")が作成できません"; },
       [](Game& g) { return g.dir / "d"; }, 1},
      {"directory cannot be created",
       [](Game& g) { fixture::WriteBytes(g.dir / "f", "x"); },
       Commands().MakeDirectory("f/g"), says("ディレクトリを作成できません"),
       [](Game& g) { return "cannot create the directory " + (g.dir / "f"); },
       1},
      {"file cannot be deleted", no_setup, Commands().DeleteFile("nothing"),
       [](Game& g) { return "ファイル(" + (g.dir / "nothing") + ")が削除できません"; },
       [](Game& g) { return "the patch deletes " + (g.dir / "nothing") + ", which is not there"; },
       1},
      {"entry missing", no_setup, Commands().RemoveEntry("NoSuch"),
       says("ファイル(NoSuch)が削除できません"),
       says("the patch removes the entry NoSuch, which mareld.dat does not hold"), 1},
      {"archive cannot be written",
       [](Game& g) {
         g.old_archive = "KMF " + fixture::Le32(1) + fixture::Le32(1) + "a" +
                         fixture::Le32(500) + fixture::Le32(1);
         fixture::WriteBytes(g.dir / "mareld.dat", g.old_archive);
       },
       Commands(), says("ファイルが書き出せなかった"), says("mareld.dat"), 1},
      {"archive cannot be swapped",
       [](Game& g) { std::filesystem::create_directory(g.dir / "mareld.bak"); },
       Commands(), says("データファイルが作成できません。"),
       [](Game& g) { return g.dir / "mareld.bak"; }, 1},
  };
  for (const Case& c : cases) {
    Game game;
    c.setup(game);
    const std::string before = ReadBytes(game.dir / "mareld.dat");
    const Result r = RunTool("apply " + Quote(game.Patch(c.commands)));
    EXPECT_EQ(r.status, c.status) << c.what;
    const std::string reason = "kestrel-patch apply: ";
    ASSERT_EQ(r.err.rfind(c.message(game) + "\n" + reason, 0), 0u) << c.what << "\n" << r.err;
    EXPECT_NE(r.err.find(c.reason(game), c.message(game).size()), std::string::npos)
        << c.what << "\n" << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << c.what << "\n" << r.err;
    EXPECT_EQ(r.out.find(kCompleted), std::string::npos) << c.what;
    EXPECT_EQ(ReadBytes(game.dir / "mareld.dat"), before) << c.what;
    EXPECT_FALSE(game.HasTemporaryFiles()) << c.what;
  }

  // Not an updater, or a damaged one.
  Game bare;
  const std::string updater = fixture::MakeUpdater(Commands().WriteFile("a.txt", std::string(3000, 'a')));
  struct Input {
    const char* what;
    std::string bytes;
    const char* reason;
    int status;
  } inputs[] = {
      {"not an executable", "just text", "is not a Windows executable", 3},
      {"no payload", fixture::MakePe({{0x200, 0x200}}, ""),
       "carries no payload after its image (the image ends at byte 1024", 3},
      {"executable cut short", fixture::MakePe({{0x200, 0x200}}, "").substr(0, 700),
       "is cut short: its image ends at byte 1024, the file at byte 700", 3},
      {"payload cut short", updater.substr(0, updater.size() - 6),
       "the payload is cut short: its zlib stream breaks off at byte", 1},
      {"payload damaged", updater.substr(0, 1026) + "\xff\xff\xff" + updater.substr(1029),
       "the payload is damaged: zlib says \"", 1},
  };
  for (const Input& in : inputs) {
    fixture::WriteBytes(bare.dir / "u.exe", in.bytes);
    const Result r = RunTool("apply " + Quote(bare.dir / "u.exe"));
    EXPECT_EQ(r.status, in.status) << in.what;
    EXPECT_EQ(r.err.rfind("ファイルが開けません\nkestrel-patch apply: ", 0), 0u) << in.what << r.err;
    EXPECT_NE(r.err.find(in.reason), std::string::npos) << in.what << "\n" << r.err;
  }
  // --help lists the statuses.
  Result help = RunTool("apply --help");
  std::replace(help.out.begin(), help.out.end(), '\n', ' ');
  EXPECT_NE(help.out.find("3 PATCH is not an updater"), std::string::npos) << help.out;
}

// Runs `kestrel-patch ARGS` on a pseudo-terminal 100 columns wide and
// returns everything it wrote there (stdout and stderr alike).
std::string RunOnTerminal(const std::vector<std::string>& args, int* status) {
  std::vector<std::string> all{KESTREL_PATCH_EXE};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  struct winsize size = {};
  size.ws_row = 24;
  size.ws_col = 100;
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
  if (pid == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string out;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the child has closed the terminal
    out.append(buffer, static_cast<std::size_t>(n));
  }
  close(master);
  int raw = 0;
  waitpid(pid, &raw, 0);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

TEST(KestrelPatchApply, OnATerminalOneLiveLineThenTheSummary) {
  Game game;
  Commands commands;
  for (int i = 0; i < 300; ++i)
    commands.PutEntry("entry" + std::to_string(i), std::string(100 + i, 'e'));
  commands.WriteFile("big.bin", std::string(1 << 20, 'b'));
  const std::string patch = game.Patch(commands);
  int status = -1;
  const std::string shown = RunOnTerminal({"apply", patch}, &status);
  EXPECT_EQ(status, 0) << shown;
  // The live line is redrawn in place: carriage returns, no line per
  // command, the bar with the share and the count.
  EXPECT_NE(shown.find('\r'), std::string::npos);
  EXPECT_NE(shown.find("] 100.0%  301/301  rebuilding mareld.dat"), std::string::npos) << shown;
  EXPECT_NE(shown.find("/301  entry"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("entry299\r\n"), std::string::npos) << "names have no lines of their own";
  // Then the completion message and the summary, each on a line (the
  // terminal turns "\n" into "\r\n").
  const std::size_t done = shown.find(std::string(kCompleted) + "\r\n");
  ASSERT_NE(done, std::string::npos) << shown;
  const std::string rest = shown.substr(done + std::string(kCompleted).size() + 2);
  EXPECT_EQ(rest.rfind("applied 301 commands (1 write, 300 put) in ", 0), 0u) << rest;
  EXPECT_NE(rest.find(" s: 1.0 MiB of files written, mareld.dat 302 entries, "), std::string::npos)
      << rest;
  EXPECT_EQ(std::count(rest.begin(), rest.end(), '\n'), 1) << rest;
  // Every line fits the terminal.
  std::size_t longest = 0, at = 0;
  for (char c : shown) {
    at = (c == '\r' || c == '\n') ? 0 : at + 1;
    longest = std::max(longest, at);
  }
  EXPECT_LE(longest, 200u);  // the summary may wrap; the live line never does
  for (std::size_t p = shown.find('['); p != std::string::npos; p = shown.find('[', p + 1)) {
    const std::size_t end = shown.find_first_of("\r\n", p);
    EXPECT_LT(end - p, 100u) << shown.substr(p, end - p);
  }

  // --verbose on a terminal: the names as lines, the live line below them.
  Game again;
  const std::string verbose_patch = again.Patch(Commands().WriteFile("a.txt", "A").PutEntry("e", "E"));
  const std::string verbose = RunOnTerminal({"apply", "--verbose", verbose_patch}, &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(verbose.find("a.txt\r\n"), std::string::npos) << verbose;
  EXPECT_NE(verbose.find("e\r\n"), std::string::npos) << verbose;
}

TEST(KestrelPatch, CommandLine) {
  Result r = RunTool("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("apply"), std::string::npos);
  r = RunTool("apply --help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: kestrel-patch apply PATCH [--dir GAME]"),
            std::string::npos);
  EXPECT_EQ(RunTool("").status, 2);
  EXPECT_EQ(RunTool("frobnicate").status, 2);
  EXPECT_EQ(RunTool("apply").status, 2);
  EXPECT_EQ(RunTool("apply a b").status, 2);
  EXPECT_EQ(RunTool("apply a --dir").status, 2);
  EXPECT_EQ(RunTool("apply a --bogus").status, 2);
  r = RunTool("apply /nonexistent/patch.exe");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "ファイルが開けません\n"
                   "kestrel-patch apply: /nonexistent/patch.exe: no such file\n");
}

TEST(KestrelPatchApply, HostilePayloadsFailWithTheMessageAndChangeNothing) {
  int run = 0;
  for (const fixture::HostileCase& c : fixture::HostilePayloads()) {
    fixture::HostileGame game(c.dir_length);
    if (c.setup && !c.setup(game)) continue;
    ++run;
    fixture::WriteBytes(game.exe, fixture::MakeUpdater(c.commands(game)));
    const fixture::Snapshot before = fixture::TakeSnapshot(game.dir, true);
    // Rooted names (DIR//mareld.dat) resolve inside the game directory.
    const Result r = RunTool("apply " + Quote(game.exe));
    EXPECT_EQ(r.status, 1) << c.what;
    ASSERT_FALSE(r.err.empty()) << c.what;
    bool ok = true;
    // The updater's message is the first line; the reason follows.
    const std::string shown = platform::Utf8ToCp932(r.err.substr(0, r.err.find('\n')), &ok);
    EXPECT_TRUE(ok && c.expected(shown, game))
        << c.what << ": want " << c.expected_text << ", got " << r.err;
    EXPECT_EQ(r.out.find(kCompleted), std::string::npos) << c.what;
    const fixture::Snapshot after = fixture::TakeSnapshot(game.dir, true);
    EXPECT_EQ(after, before) << c.what << "\n" << fixture::Diff(before, after);
  }
  EXPECT_GT(run, 40);
}

TEST(KestrelPatchApply, DryRunShowsEveryCommandAndChangesNothing) {
  Game game;
  fixture::WriteBytes(game.dir / "old.txt", "old");
  std::filesystem::create_directories(game.dir / "tree/sub");
  fixture::WriteBytes(game.dir / "tree/a", "a");
  fixture::WriteBytes(game.dir / "tree/sub/b", "b");
  const std::string patch = game.Patch(Commands()
                                           .WriteFile("new.txt", "hello")
                                           .WriteFile("old.txt", "again!")
                                           .DeleteFile("old.txt")
                                           .MakeDirectory("made")
                                           .MakeDirectory("tree")
                                           .EmptyTree("tree")
                                           .PutEntry("Data/A.txt", "new-a")
                                           .PutEntry("n\x83\x65.bin", "nn")
                                           .RemoveEntry("gone.txt"));
  const fixture::Snapshot before = fixture::TakeSnapshot(game.dir.path(), true);
  const Result r = RunTool("apply --dry-run " + Quote(patch));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* line :
       {"write   create               5  new.txt\n", "write   overwrite            6  old.txt\n",
        "delete                          old.txt\n", "mkdir   new                     made\n",
        "mkdir   exists                  tree\n", "clear                  2 files  tree\n",
        "put     replace              5  Data/A.txt\n", "put     new                  2  nテ.bin\n",
        "remove                          gone.txt\n",
        "\n9 commands:\n"
        "  files:        1 created, 1 overwritten (11 bytes), 1 deleted\n"
        "  directories:  1 made, 1 tree emptied (2 files)\n"
        "  entries:      1 added, 1 replaced (7 bytes), 1 removed\n"
        "dry run: nothing was changed\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "in:\n" << r.out;
  EXPECT_EQ(r.out.find(kCompleted), std::string::npos);
  const fixture::Snapshot after = fixture::TakeSnapshot(game.dir.path(), true);
  EXPECT_EQ(after, before) << fixture::Diff(before, after);

  // A stream that fails the check: the commands before the fault, the
  // updater's message, status 1, still nothing changed.
  const std::string broken =
      game.Patch(Commands().WriteFile("new.txt", "x").DeleteFile("missing"), "broken.exe");
  const fixture::Snapshot before_broken = fixture::TakeSnapshot(game.dir.path(), true);
  const Result f = RunTool("apply --dry-run " + Quote(broken));
  EXPECT_EQ(f.status, 1);
  EXPECT_NE(f.out.find("new.txt"), std::string::npos) << f.out;
  EXPECT_EQ(f.err, "ファイル(" + (game.dir / "missing") + ")が削除できません\n"
                   "kestrel-patch apply: the patch deletes " + (game.dir / "missing") +
                   ", which is not there\n");
  EXPECT_EQ(f.out.find("dry run"), std::string::npos);
  EXPECT_EQ(fixture::TakeSnapshot(game.dir.path(), true), before_broken);
}

TEST(KestrelPatchApply, NamesOutsideTheGameDirectoryAreRefusedUnlessAllowed) {
  struct Case {
    const char* what;
    std::string name;  // relative to the game directory's parent when not rooted
  };
  fixture::TempDir root;
  const std::string game_dir = root / "game";
  const std::vector<Case> cases = {
      {"a drive letter", "C:escaped.txt"},
      {"going up", "../escaped.txt"},
      {"going up inside", "sub/../../escaped.txt"},
      {"rooted", root / "escaped.txt"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(game_dir);
    std::filesystem::remove(root / "escaped.txt");
    std::filesystem::create_directories(game_dir + "/sub");
    fixture::WriteBytes(game_dir + "/mareld.dat", fixture::MakeArchive({}));
    fixture::WriteBytes(game_dir + "/patch.exe",
                        fixture::MakeUpdater(Commands()
                                                 .WriteFile("sub/../fine.txt", "ok")
                                                 .WriteFile(c.name, "out")));
    const fixture::Snapshot before = fixture::TakeSnapshot(root.path(), true);
    Result r = RunTool("apply " + Quote(game_dir + "/patch.exe"), root.path());
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_NE(r.err.find("resolves outside the game directory"), std::string::npos)
        << c.what << ": " << r.err;
    EXPECT_NE(r.err.find("  " + c.name + "\n"), std::string::npos) << c.what << ": " << r.err;
    EXPECT_EQ(r.err.find("fine.txt"), std::string::npos) << c.what;
    EXPECT_NE(r.err.find("--allow-outside"), std::string::npos) << c.what;
    EXPECT_EQ(fixture::TakeSnapshot(root.path(), true), before) << c.what;

    r = RunTool("apply --dry-run " + Quote(game_dir + "/patch.exe"), root.path());
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_NE(r.out.find(c.name + "   <-- outside the game directory"), std::string::npos)
        << c.what << ": " << r.out;

    r = RunTool("apply --allow-outside " + Quote(game_dir + "/patch.exe"), root.path());
    EXPECT_EQ(r.status, 0) << c.what << ": " << r.err;
    EXPECT_EQ(ReadBytes(game_dir + "/fine.txt"), "ok") << c.what;
  }
  // Where the allowed ones went: the updater's own resolution.
  EXPECT_EQ(ReadBytes(root / "escaped.txt"), "out");
}

TEST(KestrelPatchRecover, ReportsWhatItPutBackAndLeavesADamagedJournal) {
  Game game;
  fixture::WriteBytes(game.dir / "a.txt", "old a");
  const fixture::Snapshot before = fixture::TakeSnapshot(game.dir.path(), true);
  Result r = RunTool("recover --dir " + Quote(game.dir.path()));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("nothing to recover"), std::string::npos) << r.out;
  // A GAME that is no directory is not a folder with nothing to recover.
  for (const std::string& wrong : {game.dir / "missing", game.dir / "a.txt"}) {
    r = RunTool("recover --dir " + Quote(wrong));
    EXPECT_EQ(r.status, 3) << wrong;
    EXPECT_EQ(r.err, "kestrel-patch recover: " + wrong + " is not a directory: not a game folder\n");
    EXPECT_EQ(r.out, "");
  }

  {  // an update killed after it replaced a.txt and made a directory
    updater::UndoJournal journal;
    ASSERT_TRUE(journal.Create(game.dir.path().c_str()));
    const std::string a = game.dir / "a.txt", made = game.dir / "made";
    ASSERT_TRUE(journal.MoveAside(a.c_str()));
    ASSERT_TRUE(journal.WillCreateFile(a.c_str()));
    fixture::WriteBytes(a, "new a");
    ASSERT_TRUE(journal.WillCreateDirectory(made.c_str()));
    std::filesystem::create_directory(made);
    journal.Close();
  }
  // A dry run does not recover, so it does not run either.
  const std::string patch = game.Patch(Commands().WriteFile("b.txt", "b"));
  r = RunTool("apply --dry-run " + Quote(patch));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("kestrel-patch recover"), std::string::npos) << r.err;
  std::filesystem::remove(patch);

  // Damaged: left in place, reported, nothing put back.
  const std::string record = game.dir / "qxundo/journal";
  const std::string bytes = ReadBytes(record);
  fixture::WriteBytes(record, bytes.substr(0, bytes.size() - 3) + "xyz");
  r = RunTool("recover --dir " + Quote(game.dir.path()));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot be read whole"), std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(game.dir / "a.txt"), "new a");

  fixture::WriteBytes(record, bytes);
  r = RunTool("recover --dir " + Quote(game.dir.path()));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "an interrupted update had not completed; " + game.dir.path() +
                " is put back as it was before it:\n"
                "  removed directory " + (game.dir / "made") + "\n"
                "  removed           " + (game.dir / "a.txt") + "\n"
                "  put back          " + (game.dir / "a.txt") + "\n");
  const fixture::Snapshot after = fixture::TakeSnapshot(game.dir.path(), true);
  EXPECT_TRUE(after == before) << fixture::Diff(before, after);
}

// What stands in the way before the first change: each refusal exits with
// its status, says why on stderr and changes nothing. The situations are
// made through the seam (KESTREL_TEST_FAULTS): a POSIX system lets any
// program rename a file another holds, and root may write anywhere.
TEST(KestrelPatchApply, RefusalsBeforeTheFirstChangeExitWithTheirStatus) {
  struct Case {
    const char* label;
    std::string faults;  // "%s": the game folder
    int status;
    std::vector<std::string> err;
  };
  const std::vector<Case> cases = {
      {"held archive", "in-use=%s/mareld.dat", 5,
       {"ゲームなどのプログラムがファイルを使用中です。", "files in use by another program",
        "  file:    %s/mareld.dat\n"}},
      {"held file", "in-use=%s/old.txt", 5, {"  file:    %s/old.txt\n"}},
      {"full disk", "free-space=10", 1,
       {"ディスクの空き容量が足りません。(必要 1 MB、空き 0 MB)",
        "not enough free disk space in %s (Not enough free disk space. (needed 1 MB, free 0 MB))"}},
      {"folder refused", "refuse-directories;not-elevated", 1,
       {"%s is not writable: its undo journal (qxundo) cannot be created there"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Game game;
    fixture::WriteBytes(game.dir / "old.txt", "old");
    const std::string patch =
        game.Patch(Commands().WriteFile("new.txt", "n").DeleteFile("old.txt").PutEntry("x", "y"));
    const auto before = fixture::TakeSnapshot(game.dir.path(), true);
    auto fill = [&game](std::string text) {
      const std::size_t at = text.find("%s");
      if (at != std::string::npos) text.replace(at, 2, game.dir.path());
      return text;
    };
    const Result r = RunTool("apply " + Quote(patch), ".", fill(c.faults));
    EXPECT_EQ(c.status, r.status) << r.err;
    for (const std::string& line : c.err)
      EXPECT_NE(std::string::npos, r.err.find(fill(line))) << fill(line) << "\nin:\n" << r.err;
    EXPECT_EQ(before, fixture::TakeSnapshot(game.dir.path(), true));
  }
}

}  // namespace

namespace {

updater::ItemState Held(const std::string& content) {
  updater::ItemState s;
  s.kind = updater::ItemState::Kind::kFile;
  s.size = content.size();
  s.hash = updater::HashBytes(content.data(), content.size());
  return s;
}

// A patch of `files` loose files f0.txt... from "old-N" to "new-N", with
// its manifest.
std::string VersionedPatch(int files) {
  Commands commands;
  updater::Manifest m;
  m.from_label = "1.02";
  m.to_label = "1.03";
  for (int i = 0; i < files; ++i) {
    const std::string name = "f" + std::to_string(i) + ".txt";
    commands.WriteFile(name, "new-" + std::to_string(i));
    m.records.push_back({updater::ManifestRecord::Kind::kLooseFile, name,
                         Held("old-" + std::to_string(i)), Held("new-" + std::to_string(i))});
  }
  m.inflated_size = commands.bytes().size();
  std::string manifest, error;
  EXPECT_TRUE(patchlib::EncodeManifest(m, &manifest, &error)) << error;
  return fixture::MakeUpdater(commands) + manifest;
}

}  // namespace

TEST(KestrelPatchApply, ComparesTheVersionFirstAndSaysWhatItFound) {
  Game game;
  for (int i = 0; i < 25; ++i)
    fixture::WriteBytes(game.dir / ("f" + std::to_string(i) + ".txt"), "old-" + std::to_string(i));
  const std::string exe = game.dir / "patch.exe";
  fixture::WriteBytes(exe, VersionedPatch(25));

  const Result dry = RunTool("apply --dry-run " + Quote(exe));
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_NE(dry.out.find("is the version this patch (1.02 -> 1.03) applies to (25 items"),
            std::string::npos)
      << dry.out;

  const Result first = RunTool("apply " + Quote(exe));
  EXPECT_EQ(first.status, 0) << first.err;
  const fixture::Snapshot updated = fixture::TakeSnapshot(game.dir.path());
  const Result second = RunTool("apply " + Quote(exe));
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.out, "このアップデートは既に適用されています。\n" + game.dir.path() +
                            " is already up to date (1.02 -> 1.03): every one of the 25 items "
                            "is as the patch leaves it; nothing was changed\n");
  EXPECT_EQ(fixture::TakeSnapshot(game.dir.path()), updated);

  // Another version: 21 files fit neither state; 20 are listed unless --all.
  for (int i = 0; i < 21; ++i)
    fixture::WriteBytes(game.dir / ("f" + std::to_string(i) + ".txt"), "1.01");
  const fixture::Snapshot other = fixture::TakeSnapshot(game.dir.path());
  for (const char* all : {"", " --all"}) {
    const Result r = RunTool("apply " + Quote(exe) + all);
    EXPECT_EQ(r.status, 4) << all;
    EXPECT_EQ(r.err.rfind("お使いのゲームのバージョンにはこのアップデートを適用できません。(f0.txt)\n", 0), 0u)
        << r.err;
    EXPECT_NE(r.err.find("21 of 25 items fit neither"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("  file  f0.txt\n      before: 5 bytes, xxh3-128 " +
                         Held("old-0").hash.Hex() + "\n      after:  5 bytes, xxh3-128 " +
                         Held("new-0").hash.Hex() + "\n      found:  4 bytes\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("f20.txt") != std::string::npos, *all != '\0') << r.err;
    EXPECT_EQ(r.err.find("... and 1 more (--all lists every one)") != std::string::npos,
              *all == '\0')
        << r.err;
    EXPECT_TRUE(fixture::TakeSnapshot(game.dir.path()) == other) << all;
  }
  const Result dry_other = RunTool("apply --dry-run " + Quote(exe));
  EXPECT_EQ(dry_other.status, 4);

  // A damaged download: the manifest's checksum fails.
  std::string damaged = fixture::ReadBytes(exe);
  damaged[damaged.size() - 30] ^= 1;
  fixture::WriteBytes(exe, damaged);
  const fixture::Snapshot before_broken = fixture::TakeSnapshot(game.dir.path());
  const Result broken = RunTool("apply " + Quote(exe));
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(broken.err.rfind("ファイルが開けません\nkestrel-patch apply: the version manifest at "
                             "the end of ",
                             0),
            0u)
      << broken.err;
  EXPECT_NE(broken.err.find("is damaged"), std::string::npos) << broken.err;
  EXPECT_TRUE(fixture::TakeSnapshot(game.dir.path()) == before_broken);
}
