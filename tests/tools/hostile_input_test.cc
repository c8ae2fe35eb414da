// The producer tools against hostile trees, archives and payloads, run as
// processes: links, FIFOs, loops, names Windows cannot hold or keep apart,
// links inside an extraction directory, planted scratch names, escape
// sequences in names, and signals in the middle of a run. Each case checks
// the exit status, that the message names the path, that nothing outside
// the intended place changed and that no temporary name is left.
#include <gtest/gtest.h>

#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine_fixture.h"
#include "tool_run.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using tool_run::Quote;
using tool_run::Write;

struct Scratch : tool_run::Scratch {
  Scratch() : tool_run::Scratch("hostile") {}
};

// Runs a tool with a time limit, so a tool that blocks (on a FIFO) fails
// the test instead of hanging it: status 124 then.
tool_run::Result Run(const char* exe, const std::string& args,
                     const std::string& cwd = ".") {
  return tool_run::Run("timeout", "60 " + Quote(exe) + " " + args, cwd);
}
tool_run::Result Patch(const std::string& args, const std::string& cwd = ".") {
  return Run(KESTREL_PATCH_EXE, args, cwd);
}
tool_run::Result Archive(const std::string& args, const std::string& cwd = ".") {
  return Run(KESTREL_ARCHIVE_EXE, args, cwd);
}

std::string Read(const std::string& path) { return fixture::ReadBytes(path); }

// Temporary names the tools make: kst*.tmp (outputs), kvf* (verify's
// scratch), anywhere below `dir`.
std::vector<std::string> Leftovers(const fs::path& dir) {
  std::vector<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(
           dir, fs::directory_options::skip_permission_denied)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("kst", 0) == 0 || name.rfind("kvf", 0) == 0)
      found.push_back(fs::relative(e.path(), dir).string());
  }
  return found;
}

// A game pair OLD/NEW in `s`, with the victim's files beside them.
void MakeGames(const Scratch& s) {
  Write(s / "old/mareld.dat", fixture::MakeArchive({{"a", "1"}}));
  Write(s / "new/mareld.dat", fixture::MakeArchive({{"a", "2"}}));
  Write(s / "old/config/plain.cfg", "old");
  Write(s / "new/config/plain.cfg", "new");
  Write(s / "victim/secret", "the victim's secret");
  Write(s / "victim/keys/id", "key");
  Write(s / "out", "keep");
}

void Link(const std::string& target, const std::string& link) {
  fs::create_symlink(target, link);
}

void ExpectVictimUntouched(const Scratch& s) {
  EXPECT_EQ(Read(s / "victim/secret"), "the victim's secret");
  EXPECT_EQ(Read(s / "victim/keys/id"), "key");
}

struct BuildCase {
  const char* what;
  std::function<void(const Scratch&)> setup;
  std::string extra;   // more arguments for build
  const char* names;   // the message must name this
};

TEST(HostileInput, BuildRefusesTreesThatWouldShipTheWrongThing) {
  const BuildCase cases[] = {
      {"link to a file outside",
       [](const Scratch& s) { Link(s / "victim/secret", s / "new/config/leak.cfg"); }, "",
       "new/config/leak.cfg"},
      {"link to a directory outside",
       [](const Scratch& s) { Link(s / "victim/keys", s / "new/keys"); }, "", "new/keys"},
      {"dangling link", [](const Scratch& s) { Link(s / "nowhere", s / "new/gone"); }, "",
       "new/gone"},
      {"link in OLD", [](const Scratch& s) { Link(s / "victim/secret", s / "old/x"); }, "",
       "old/x"},
      {"FIFO in NEW", [](const Scratch& s) { ::mkfifo((s / "new/pipe").c_str(), 0600); }, "",
       "new/pipe"},
      {"FIFO in OLD", [](const Scratch& s) { ::mkfifo((s / "old/pipe").c_str(), 0600); }, "",
       "old/pipe"},
      {"three links to . (followed)",
       [](const Scratch& s) {
         for (const char* n : {"l1", "l2", "l3"}) Link(".", s / (std::string("new/") + n));
       },
       " --follow-links", "loop"},
      {"dangling link (followed)",
       [](const Scratch& s) { Link(s / "nowhere", s / "new/gone"); }, " --follow-links",
       "points nowhere"},
      {"letter case", [](const Scratch& s) { Write(s / "new/config/Plain.cfg", "x"); }, "",
       "new/config/Plain.cfg"},
      {"device name con", [](const Scratch& s) { Write(s / "new/con", "x"); }, "", "new/con"},
      {"device name aux.txt", [](const Scratch& s) { Write(s / "new/sub/aux.txt", "x"); }, "",
       "new/sub/aux.txt"},
      {"device name nul.png", [](const Scratch& s) { Write(s / "new/nul.png", "x"); }, "",
       "new/nul.png"},
      {"name ending in a dot", [](const Scratch& s) { Write(s / "new/trail.", "x"); }, "",
       "new/trail."},
      {"name ending in a space", [](const Scratch& s) { Write(s / "new/space ", "x"); }, "",
       "new/space "},
      {"one cp932 code for two characters",
       [](const Scratch& s) {
         Write(s / "new/a\xE3\x80\x9C.txt", "U+301C");  // 〜
         Write(s / "new/a\xEF\xBD\x9E.txt", "U+FF5E");  // ～
       },
       "", "cp932"},
      {"--clear outside", [](const Scratch&) {}, " --clear ../elsewhere", "--clear"},
      {"--clear the game directory itself", [](const Scratch&) {}, " --clear sub/..",
       "--clear"},
  };
  for (const BuildCase& c : cases) {
    SCOPED_TRACE(c.what);
    Scratch s;
    MakeGames(s);
    c.setup(s);
    const tool_run::Result r =
        Patch("build old new -o out --verify" + c.extra, s.path.string());
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find(c.names), std::string::npos) << r.err;
    EXPECT_EQ(Read(s / "out"), "keep");
    ExpectVictimUntouched(s);
    EXPECT_EQ(Leftovers(s.path), std::vector<std::string>());
  }
}

TEST(HostileInput, BuildFollowsLinksOnlyWhenAsked) {
  Scratch s;
  MakeGames(s);
  Link(s / "victim/secret", s / "new/config/shared.cfg");
  Link(s / "victim/keys", s / "new/keys");
  tool_run::Result r = Patch("build old new -o p.bin --verify --follow-links", s.path.string());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("verify: OK"), std::string::npos) << r.out;
  r = Patch("list p.bin", s.path.string());
  EXPECT_NE(r.out.find("config/shared.cfg"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("keys/id"), std::string::npos) << r.out;
  ExpectVictimUntouched(s);
}

// Every spelling of one tree empties that tree: the payload carries it
// once, by its plain name, and deletes nothing below it one by one.
TEST(HostileInput, ClearNamesAreReadAsTheUpdaterReadsThem) {
  for (const char* spelling : {"cache", "./cache", "cache/.", "cache\\\\", "cache/deep/..",
                               "CACHE", "Cache/"}) {
    SCOPED_TRACE(spelling);
    Scratch s;
    MakeGames(s);
    Write(s / "old/cache/a.bin", "a");
    Write(s / "old/cache/gone.bin", "g");
    Write(s / "new/cache/a.bin", "a");
    tool_run::Result r = Patch(std::string("build old new -o p.bin --verify --clear ") +
                                   Quote(spelling),
                               s.path.string());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("verify: OK"), std::string::npos);
    r = Patch("list p.bin", s.path.string());
    EXPECT_EQ(r.out.rfind("3 clear", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("  cache\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("delete"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("cache/a.bin"), std::string::npos) << r.out;
  }
}

// Another user pre-creates every name the old scratch scheme could pick
// beside the output, each a link to the victim's folder. The scratch must
// be a new directory of the run's own, and its clean-up must never reach
// through a link.
TEST(HostileInput, VerifyScratchCannotBePlantedOrFollowed) {
  Scratch s;
  MakeGames(s);
  fs::create_directory(s / "shared");
  for (unsigned n = 1; n <= 0xFFFF; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "kvf%X.tmp.d", n);
    Link(s / "victim", s / (std::string("shared/") + name));
  }
  const tool_run::Result r = Patch("build old new -o shared/p.bin --verify", s.path.string());
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  ExpectVictimUntouched(s);
  std::size_t planted = 0, other = 0;
  for (const auto& e : fs::directory_iterator(s / "shared")) {
    const std::string name = e.path().filename().string();
    if (fs::is_symlink(e.symlink_status()))
      ++planted;
    else if (name != "p.bin")
      ++other;
  }
  EXPECT_EQ(planted, 0xFFFFu);
  EXPECT_EQ(other, 0u) << "the scratch directory was removed";
}

struct ArchiveCase {
  const char* what;
  std::function<void(const Scratch&)> setup;
  std::string args;
  int status;
  const char* names;
};

TEST(HostileInput, CreateRefusesTreesThatWouldPackTheWrongThing) {
  const ArchiveCase cases[] = {
      {"link to a file outside",
       [](const Scratch& s) { Link(s / "victim/secret", s / "src/leak.cfg"); },
       "create a.dat src", 1, "src/leak.cfg"},
      {"FIFO", [](const Scratch& s) { ::mkfifo((s / "src/pipe").c_str(), 0600); },
       "create a.dat src", 1, "src/pipe"},
      {"three links to . (followed)",
       [](const Scratch& s) {
         for (const char* n : {"l1", "l2", "l3"}) Link(".", s / (std::string("src/") + n));
       },
       "create a.dat src --follow-links", 1, "loop"},
      {"letter case beyond ASCII",
       [](const Scratch& s) {
         Write(s / "src/\xEF\xBC\xA1.txt", "A");  // Ａ
         Write(s / "src/\xEF\xBD\x81.txt", "a");  // ａ
       },
       "create a.dat src", 1, "letter case"},
      {"device name", [](const Scratch& s) { Write(s / "src/aux.txt", "x"); },
       "create a.dat src", 1, "src/aux.txt"},
      {"one cp932 code for two characters",
       [](const Scratch& s) {
         Write(s / "src/a\xE3\x80\x9C", "1");
         Write(s / "src/a\xEF\xBD\x9E", "2");
       },
       "create a.dat src", 1, "cp932"},
  };
  for (const ArchiveCase& c : cases) {
    SCOPED_TRACE(c.what);
    Scratch s;
    Write(s / "src/ok.txt", "ok");
    Write(s / "victim/secret", "the victim's secret");
    Write(s / "victim/keys/id", "key");
    c.setup(s);
    const tool_run::Result r = Archive(c.args, s.path.string());
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_NE(r.err.find(c.names), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(s / "a.dat"));
    ExpectVictimUntouched(s);
    EXPECT_EQ(Leftovers(s.path), std::vector<std::string>());
  }
  // Asked to follow, a link packs what it points to.
  Scratch s;
  Write(s / "src/ok.txt", "ok");
  Write(s / "victim/secret", "shared");
  Link(s / "victim/secret", s / "src/linked.txt");
  const tool_run::Result r = Archive("create a.dat src --follow-links", s.path.string());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(s / "a.dat"),
            fixture::MakeArchive({{"linked.txt", "shared"}, {"ok.txt", "ok"}}));
}

TEST(HostileInput, ExtractNeverWritesThroughLinksNorOverwrites) {
  Scratch s;
  Write(s / "a.dat", fixture::MakeArchive({{"sub/x.txt", "through the link"},
                                           {"ok.txt", "fine"},
                                           {"exists.txt", "new"},
                                           {"linked.txt", "new"}}));
  Write(s / "elsewhere/linked-target", "outside");
  fs::create_directories(s / "dest");
  Link(s / "elsewhere", s / "dest/sub");
  Write(s / "dest/exists.txt", "old");
  fs::permissions(s / "dest/exists.txt", fs::perms::owner_read | fs::perms::owner_write);
  Link(s / "elsewhere/linked-target", s / "dest/linked.txt");

  tool_run::Result r = Archive("extract a.dat dest", s.path.string());
  EXPECT_EQ(r.status, 1);
  for (const char* named : {"dest/sub is a link", "dest/exists.txt exists",
                            "dest/linked.txt is a link"})
    EXPECT_NE(r.err.find(named), std::string::npos) << named << "\n" << r.err;
  EXPECT_NE(r.out.find("1 of 4 entries extracted"), std::string::npos) << r.out;
  EXPECT_EQ(Read(s / "dest/ok.txt"), "fine");
  EXPECT_EQ(Read(s / "dest/exists.txt"), "old");
  EXPECT_FALSE(fs::exists(s / "elsewhere/x.txt"));
  EXPECT_EQ(Read(s / "elsewhere/linked-target"), "outside");

  // --overwrite replaces a file, never a link's target.
  r = Archive("extract a.dat dest --overwrite exists.txt linked.txt", s.path.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Read(s / "dest/exists.txt"), "new");
  EXPECT_EQ(Read(s / "elsewhere/linked-target"), "outside");
  EXPECT_TRUE(fs::is_symlink(s / "dest/linked.txt"));
  EXPECT_EQ(Leftovers(s.path), std::vector<std::string>());
}

// Two codes of one character ("Ⅰ": NEC 0x8754 and IBM 0xFA4A) and two
// cases of a full-width letter are different entries to the game but one
// file to Windows (and one UTF-8 name on Linux).
// A FIFO where a file is expected is refused at once: opening it would
// wait for a writer, and neither Ctrl-C nor SIGTERM could end that wait.
TEST(HostileInput, AFifoInPlaceOfAFileIsRefusedWithoutWaiting) {
  Scratch s;
  ASSERT_EQ(::mkfifo((s / "pipe").c_str(), 0600), 0);
  Write(s / "a.dat", fixture::MakeArchive({{"a", "1"}}));
  Write(s / "game/mareld.dat", fixture::MakeArchive({{"a", "1"}}));
  Write(s / "fifo-game/up.exe",
        fixture::MakeUpdater(fixture::Commands().WriteFile("x.txt", "x")));
  ASSERT_EQ(::mkfifo((s / "fifo-game/mareld.dat").c_str(), 0600), 0);
  const std::string fifo = "pipe: not a file (a FIFO, socket or device)";
  const struct {
    const char* exe;
    std::string args;
    int status;
    std::string says;
  } cases[] = {
      {KESTREL_ARCHIVE_EXE, "list pipe", 1, fifo},
      {KESTREL_ARCHIVE_EXE, "check pipe", 1, fifo},
      {KESTREL_ARCHIVE_EXE, "extract pipe out", 1, fifo},
      {KESTREL_ARCHIVE_EXE, "diff a.dat pipe", 1, fifo},
      {KESTREL_ARCHIVE_EXE, "add a.dat pipe x", 1, "pipe: cannot open the file"},
      {KESTREL_PATCH_EXE, "list pipe", 1, fifo},
      {KESTREL_PATCH_EXE, "pack pipe a.dat -o u.exe", 1, "pipe: cannot open the stub"},
      {KESTREL_PATCH_EXE, "apply pipe --dir game", 3, "pipe is not a file, not an updater"},
      {KESTREL_PATCH_EXE, "apply fifo-game/up.exe", 3,
       "fifo-game/mareld.dat is not a file: not a game folder"},
  };
  for (const auto& c : cases) {
    const tool_run::Result r = ::Run(c.exe, c.args, s.path.string());
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
  }
  EXPECT_EQ(Read(s / "a.dat"), fixture::MakeArchive({{"a", "1"}}));
  EXPECT_FALSE(fs::exists(s / "u.exe"));
}

TEST(HostileInput, NamesThatAreOneFileAreReportedAndNotExtracted) {
  Scratch s;
  Write(s / "a.dat", fixture::MakeArchive({{"\x87\x54.txt", "NEC"},
                                           {"\xFA\x4A.txt", "IBM"},
                                           {"\x82\x60", "upper"},
                                           {"\x82\x81", "lower"},
                                           {"plain.txt", "p"}}));
  tool_run::Result r = Archive("check a.dat", s.path.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("one file name with record 0"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("one file name with record 2"), std::string::npos) << r.out;
  r = Archive("extract a.dat out", s.path.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("\xE2\x85\xA0.txt and \xE2\x85\xA0.txt"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("87 54 2e 74 78 74 and fa 4a 2e 74 78 74"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("\xEF\xBC\xA1 and \xEF\xBD\x81"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("1 of 5 entries extracted"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(s / "out/\xE2\x85\xA0.txt"));
  EXPECT_EQ(Read(s / "out/plain.txt"), "p");
}

// A name with escape sequences must not reach the terminal raw: it could
// erase the "outside the game directory" warning.
TEST(HostileInput, NamesAreShownWithControlCharactersEscaped) {
  Scratch s;
  const std::string erase = "\x1b[1A\x1b[2K";
  Write(s / "p.bin", fixture::Deflate(fixture::Commands()
                                          .WriteFile("../evil" + erase + ".txt", "x")
                                          .PutEntry("entry" + erase, "y")
                                          .bytes()));
  tool_run::Result r = Patch("list p.bin", s.path.string());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ((r.out + r.err).find('\x1b'), std::string::npos);
  EXPECT_NE(r.out.find("../evil\\x1b[1A\\x1b[2K.txt   <-- OUTSIDE"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("warning: ../evil\\x1b[1A\\x1b[2K.txt resolves outside"),
            std::string::npos)
      << r.err;
  Write(s / "a.dat", fixture::MakeArchive({{"entry" + erase, "z"}}));
  for (const char* args : {"list a.dat", "check a.dat", "extract a.dat out"}) {
    r = Archive(args, s.path.string());
    EXPECT_EQ((r.out + r.err).find('\x1b'), std::string::npos) << args;
  }
}

// Starts `exe args...` in `cwd`, waits until `ready` says the run is under
// way, sends SIGTERM and returns the exit status (or -1 when the run ended
// before it was ready: the test then cannot tell anything).
int TerminateWhenReady(const char* exe, const std::vector<std::string>& args,
                       const std::string& cwd, const std::function<bool()>& ready) {
  std::vector<std::string> all{exe};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  const fs::path here = fs::current_path();
  fs::current_path(cwd);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, exe, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  fs::current_path(here);
  if (spawned != 0) return -2;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool sent = false;
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid, &status, WNOHANG) == pid) return sent ? WEXITSTATUS(status) : -1;
    if (!sent && ready()) {
      kill(pid, SIGTERM);
      sent = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -3;
}

std::string RandomBytes(std::size_t n) {
  std::mt19937_64 rng(42);
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i + 8 <= n; i += 8) {
    const std::uint64_t v = rng();
    std::memcpy(&bytes[i], &v, 8);
  }
  return bytes;
}

bool HasLeftovers(const fs::path& dir) { return !Leftovers(dir).empty(); }

TEST(HostileInput, SignalsCleanUpBuildAndCreate) {
  Scratch s;
  MakeGames(s);
  // Large, incompressible and equal in both trees: build spends its time
  // comparing and deflating, verify copying and comparing.
  const std::string big = RandomBytes(96u << 20);
  Write(s / "old/big.bin", big);
  Write(s / "new/big.bin", big);
  Write(s / "new/big2.bin", big);
  // While build writes the payload.
  int status = TerminateWhenReady(KESTREL_PATCH_EXE, {"build", "old", "new", "-o", "p.bin"},
                                  s.path.string(), [&] { return HasLeftovers(s.path); });
  ASSERT_NE(status, -1) << "the build ended before it could be interrupted";
  EXPECT_EQ(status, 1);
  EXPECT_EQ(Leftovers(s.path), std::vector<std::string>());
  EXPECT_FALSE(fs::exists(s / "p.bin"));
  // While verify works in its scratch copy of OLD.
  status = TerminateWhenReady(
      KESTREL_PATCH_EXE, {"build", "old", "new", "-o", "p.bin", "--verify"}, s.path.string(),
      [&] {
        for (const std::string& name : Leftovers(s.path))
          if (name.rfind("kvf", 0) == 0) return true;
        return false;
      });
  ASSERT_NE(status, -1) << "the verify ended before it could be interrupted";
  EXPECT_EQ(status, 1);
  EXPECT_EQ(Leftovers(s.path), std::vector<std::string>());
  EXPECT_FALSE(fs::exists(s / "p.bin"));
  // While create writes the archive.
  status = TerminateWhenReady(KESTREL_ARCHIVE_EXE, {"create", "a.dat", "new"},
                              s.path.string(), [&] { return HasLeftovers(s.path); });
  ASSERT_NE(status, -1) << "create ended before it could be interrupted";
  EXPECT_EQ(status, 1);
  EXPECT_EQ(Leftovers(s.path), std::vector<std::string>());
  EXPECT_FALSE(fs::exists(s / "a.dat"));
}

}  // namespace
