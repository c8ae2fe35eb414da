// Black-box tests of the real kestrel-update.exe under Wine: each case lays out a game folder,
// appends a payload to the updater, runs it as a player would (double-click: no arguments, its
// own folder as the working directory) and watches it from outside (update_watch.h).
#include <windows.h>
#undef DeleteFile  // the fixture's Commands::DeleteFile, not the system call

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/content_hash.h"
#include "engine/manifest.h"
#include "engine/path_resolve.h"
#include "engine/update_run.h"
#include "delta_payloads.h"
#include "engine/patch_format.h"
#include "engine_fixture.h"
#include "gtest/gtest.h"
#include "patchlib/manifest_writer.h"
#include "platform/text.h"
#include "update_watch.h"

namespace {

namespace fs = std::filesystem;
using fixture::Commands;

// cp932 bytes for the payload's names, written readably.
std::string J(const char* utf8) { return platform::Utf8ToCp932(utf8); }

std::wstring Wide(const std::string& cp932) {
  int size = MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), &out[0], size);
  return out;
}

std::string Narrow932(const std::wstring& text) {
  int size = WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr,
                      nullptr);
  return out;
}

std::string ReadAll(const fs::path& path, bool* ok = nullptr) {
  std::string bytes;
  FILE* in = _wfopen(path.c_str(), L"rb");
  if (ok) *ok = in != nullptr;
  if (!in) return bytes;
  char buffer[1 << 16];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, n);
  std::fclose(in);
  return bytes;
}

bool WriteAll(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (!out) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && ok;
}

// The updater stub as built (its Unix path seen through Wine's drive Z:).
std::string Stub() {
  std::wstring path = L"Z:" + Wide(KESTREL_UPDATE_EXE);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  bool ok = false;
  std::string bytes = ReadAll(path, &ok);
  EXPECT_TRUE(ok) << "cannot read the stub " << KESTREL_UPDATE_EXE;
  return bytes;
}

const char kUpdaterName[] = "kestrel-update.exe";

// Every file under `root` (relative path -> bytes), and every directory (bytes "<dir>").
std::map<std::wstring, std::string> Tree(const fs::path& root) {
  std::map<std::wstring, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::wstring name = fs::relative(entry.path(), root).wstring();
    tree[name] = entry.is_directory() ? "<dir>" : ReadAll(entry.path());
  }
  return tree;
}

// The run's temporary files "qx*.tmp" and its undo journal "qxundo".
bool HasTemporaryFiles(const fs::path& dir) {
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::wstring name = entry.path().filename().wstring();
    if (name.rfind(L"qx", 0) == 0) return true;
  }
  return false;
}

const fixture::Commands kNoCommands;

// One game folder under the test's working directory.
struct Game {
  fs::path dir;
  std::string old_archive;

  explicit Game(const std::string& label) {
    dir = fs::absolute(fs::path("runs") / label);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    fs::create_directories(dir);
    old_archive = fixture::MakeArchive({{"data/a.txt", "old-a"},
                                        {"keep.bin", std::string(5000, 'k')},
                                        {"gone.txt", "bye"},
                                        {J("表示/ソース.txt"), "sjis"}});
    WriteAll(dir / "mareld.dat", old_archive);
  }
  fs::path Exe() const { return dir / kUpdaterName; }
  // The updater with this overlay appended (none: the bare stub).
  void PutUpdater(const std::string& overlay) { WriteAll(Exe(), Stub() + overlay); }
  void PutUpdater(const Commands& commands) { PutUpdater(fixture::Deflate(commands.bytes())); }
  std::string Archive() const { return ReadAll(dir / "mareld.dat"); }
  // The folder as the updater knows it: cp932, with the trailing separator.
  std::string Cp932Dir() const { return Narrow932(dir.wstring()) + "\\"; }
  // `name` resolved as the updater resolves a command's name, in UTF-16.
  std::wstring Resolved(const std::string& name) const {
    char out[264];
    updater::ResolvePath(Cp932Dir().c_str(), name.c_str(), out);
    return Wide(out);
  }
  e2e::WatchResult Run(e2e::WatchOptions options = {}) {
    options.exe = Exe().wstring();
    return e2e::RunAndWatch(options);
  }
};

// What the same payload makes of the same folder when the engine runs it here: the tree the
// updater must leave behind.
std::map<std::wstring, std::string> Expected(const Game& game, const std::string& label) {
  Game twin(label + "-expected");
  fs::remove_all(twin.dir);
  fs::copy(game.dir, twin.dir, fs::copy_options::recursive);
  fixture::RecordingUi ui;
  EXPECT_TRUE(updater::RunUpdate(ui, Narrow932(twin.Exe().wstring()).c_str(),
                                 twin.Cp932Dir().c_str()));
  return Tree(twin.dir);
}

std::wstring Format(const wchar_t* message, const std::wstring& argument) {
  std::wstring text = message;
  size_t at = text.find(L"%s");
  if (at != std::wstring::npos) text.replace(at, 2, argument);
  return text;
}

// The exit status: 0 completed, 1 failed (a quit too).
void ExpectCleanDialog(const e2e::WatchResult& r, unsigned long exit_status = 0) {
  EXPECT_TRUE(r.started);
  EXPECT_TRUE(r.exited) << "the updater did not end";
  EXPECT_EQ(exit_status, r.exit_code);
  EXPECT_TRUE(r.dialog_seen);
  for (const std::string& problem : r.template_problems) ADD_FAILURE() << problem;
}

const wchar_t kTitle[] = L"Kestrel アップデータ";
const wchar_t kCompleted[] = L"Q18版からプレス版へのアップデートが完了しました。";
const wchar_t kRebuilding[] = L"リソースファイルの再構築中";
const wchar_t kUpdating[] = L"アップデート中";

void ExpectCompletion(const e2e::WatchResult& r) {
  ExpectCleanDialog(r);
  ASSERT_EQ(1u, r.boxes.size());
  const e2e::MessageBoxSeen& box = r.boxes[0];
  EXPECT_EQ(kTitle, box.caption);
  EXPECT_EQ(kCompleted, box.text);
  EXPECT_EQ(e2e::BoxIcon::kInformation, box.icon);
  EXPECT_TRUE(box.owned_by_dialog);
  EXPECT_EQ(kRebuilding, box.status);
  EXPECT_EQ(L"", box.name);
  EXPECT_EQ(30000, box.position);
  EXPECT_FALSE(r.positions.empty());
}

// The whole run as a player sees it; also run under a Western code page (see CMakeLists.txt),
// where every text must read back the same.
TEST(UpdaterGuiTexts, AllSixCommandsCompleteAndLeaveTheExpectedFolder) {
  // The Western run must really be one: scripts/wine-run takes the locale from this variable.
  const char* wine_lang = std::getenv("KESTREL_WINE_LANG");
  std::printf("system code page %u (KESTREL_WINE_LANG %s)\n", GetACP(), wine_lang ? wine_lang : "unset");
  if (wine_lang && std::string(wine_lang).rfind("C.", 0) == 0) {
    EXPECT_NE(932u, GetACP());
  }
  Game game("six-commands");
  WriteAll(game.dir / "old.txt", "old");
  WriteAll(game.dir / "tree" / "x.txt", "x");
  WriteAll(game.dir / "tree" / "sub" / "y.txt", "y");
  Commands c;
  c.WriteFile(J("新規/ファイル.txt"), "hello")
      // Large enough that the watcher, polling, sees its name even on a loaded machine.
      .WriteFile("big.bin", std::string(192 << 20, 'B'))
      .DeleteFile("old.txt")
      .MakeDirectory(J("作成/深い"))
      .EmptyTree("tree")
      .PutEntry("DATA/A.TXT", "new-a")
      .PutEntry(J("表示/追加.txt"), "added")
      .RemoveEntry("gone.txt");
  game.PutUpdater(c);
  const auto expected = Expected(game, "six-commands");
  e2e::WatchResult r = game.Run();
  ExpectCompletion(r);
  EXPECT_EQ(kUpdating, r.statuses.front());
  EXPECT_NE(r.names.end(), std::find(r.names.begin(), r.names.end(), L"big.bin"))
      << r.names.size() << " names seen";
  EXPECT_TRUE(expected == Tree(game.dir)) << "the folder differs from the engine's result";
  EXPECT_FALSE(HasTemporaryFiles(game.dir));
}

struct FailureCase {
  const char* label;
  std::function<void(Game&)> prepare;  // folder and updater
  const wchar_t* message;
  std::function<std::wstring(const Game&)> argument;  // fills "%s"; null: none
};

// Each failure message a real run can produce, with "%s" filled; after each, no temporary
// file is left and mareld.dat is as it was.
const std::vector<FailureCase>& FailureCases() {
  static const std::vector<FailureCase> cases = {
      {"no-overlay", [](Game& g) { g.PutUpdater(std::string()); }, L"ファイルが開けません", nullptr},
      {"corrupt-payload", [](Game& g) { g.PutUpdater(std::string("this is no zlib stream")); },
       L"ファイルが開けません", nullptr},
      {"missing-archive",
       [](Game& g) {
         fs::remove(g.dir / "mareld.dat");
         g.PutUpdater(Commands().PutEntry("x", "y"));
       },
       L"ファイル(%s)が開けません", [](const Game& g) { return g.Resolved("mareld.dat"); }},
      {"unknown-opcode", [](Game& g) { g.PutUpdater(Commands().WriteFile("a.txt", "a").Raw(fixture::Le32(8))); },
       L"ファイルが読み込めません", nullptr},
      {"short-opcode", [](Game& g) { g.PutUpdater(Commands().Raw("\x01\x00")); },
       L"ファイルが読み込めません", nullptr},
      {"file-over-a-directory",
       [](Game& g) {
         fs::create_directories(g.dir / "data" / Wide(J("塞ぐ.txt")));
         g.PutUpdater(Commands().WriteFile(J("data/塞ぐ.txt"), "content"));
       },
       L"ファイル(%s)が作成できません", [](const Game& g) { return g.Resolved(J("data/塞ぐ.txt")); }},
      {"directory-under-a-file",
       [](Game& g) {
         WriteAll(g.dir / "plain.txt", "plain");
         g.PutUpdater(Commands().MakeDirectory("plain.txt/sub"));
       },
       L"ディレクトリを作成できません", nullptr},
      {"delete-missing-file", [](Game& g) { g.PutUpdater(Commands().DeleteFile(J("消えた.txt"))); },
       L"ファイル(%s)が削除できません", [](const Game& g) { return g.Resolved(J("消えた.txt")); }},
      {"remove-missing-entry", [](Game& g) { g.PutUpdater(Commands().RemoveEntry(J("無い/entry.bin"))); },
       L"ファイル(%s)が削除できません", [](const Game&) { return std::wstring(L"無い/entry.bin"); }},
      {"backup-in-the-way",
       [](Game& g) {
         WriteAll(g.dir / "mareld.bak" / "inside.txt", "a directory where the backup goes");
         g.PutUpdater(Commands().PutEntry("x", "y"));
       },
       L"データファイルが作成できません。", nullptr},
  };
  return cases;
}

TEST(UpdaterGuiTexts, EveryFailureShowsItsMessageAndCleansUp) {
  for (const FailureCase& c : FailureCases()) {
    SCOPED_TRACE(c.label);
    Game game(c.label);
    c.prepare(game);
    const std::string archive_before = ReadAll(game.dir / "mareld.dat");
    e2e::WatchResult r = game.Run();
    ExpectCleanDialog(r, 1);
    ASSERT_EQ(1u, r.boxes.size()) << "exactly one box: the error, no completion";
    const e2e::MessageBoxSeen& box = r.boxes[0];
    EXPECT_EQ(kTitle, box.caption);
    EXPECT_EQ(Format(c.message, c.argument ? c.argument(game) : L""), box.text);
    EXPECT_EQ(e2e::BoxIcon::kHand, box.icon);
    EXPECT_TRUE(box.owned_by_dialog);
    EXPECT_FALSE(HasTemporaryFiles(game.dir));
    EXPECT_EQ(archive_before, ReadAll(game.dir / "mareld.dat"));
  }
}

// Files and their times, for "as it was before" (directories by name).
std::map<std::wstring, long long> Times(const fs::path& root) {
  std::map<std::wstring, long long> times;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    times[fs::relative(entry.path(), root).wstring()] =
        entry.is_directory() ? 0 : entry.last_write_time().time_since_epoch().count();
  return times;
}

// A run that fails after its commands have written, overwritten, deleted
// and emptied (the archive's only entry cannot be read when it is
// rebuilt): after the message the folder is exactly as it was.
TEST(UpdaterGui, AFailedRunLeavesTheFolderAsItWas) {
  Game game("undone");
  game.old_archive = "KMF " + fixture::Le32(1) + fixture::Le32(1) + "a" + fixture::Le32(999) +
                     fixture::Le32(5);
  WriteAll(game.dir / "mareld.dat", game.old_archive);
  WriteAll(game.dir / "old.txt", "old");
  WriteAll(game.dir / "over.txt", "before the update");
  WriteAll(game.dir / "tree" / "x.txt", "x");
  WriteAll(game.dir / "tree" / "sub" / Wide(J("深い.txt")), "y");
  game.PutUpdater(Commands()
                      .WriteFile(J("新規/ファイル.txt"), "hello")
                      .WriteFile("over.txt", "after the update")
                      .DeleteFile("old.txt")
                      .MakeDirectory(J("作成/深い"))
                      .EmptyTree("tree")
                      .WriteFile("tree/again.txt", "again")
                      .PutEntry("b", "new"));
  const auto before = Tree(game.dir);
  const auto times = Times(game.dir);
  e2e::WatchOptions options;
  options.box_screenshot = fs::absolute("undone-box.bmp").wstring();
  e2e::WatchResult r = game.Run(options);
  ExpectCleanDialog(r, 1);
  ASSERT_EQ(1u, r.boxes.size());
  EXPECT_EQ(L"ファイルが書き出せなかった", r.boxes[0].text);
  EXPECT_EQ(e2e::BoxIcon::kHand, r.boxes[0].icon);
  EXPECT_EQ(kRebuilding, r.boxes[0].status) << "the failure came after every command";
  EXPECT_TRUE(before == Tree(game.dir)) << "the folder is put back";
  EXPECT_TRUE(times == Times(game.dir)) << "with every file's time";
}

// A game copied from a disc: every file read-only. The real updater
// overwrites, deletes and empties them, twice in a row with two patches,
// and leaves no journal after either. (Wine takes a file without write
// permission as read-only: renaming it works, deleting it is refused.)
// Clears the read-only attribute of everything under `dir`, so that a
// folder an earlier run left can be removed.
void ClearReadOnly(const fs::path& dir) {
  std::error_code ignored;
  if (!fs::exists(dir, ignored)) return;
  for (const auto& entry : fs::recursive_directory_iterator(dir, ignored))
    SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(UpdaterGui, ReadOnlyFilesAreUpdatedTwiceInARowLeavingNoJournal) {
  ClearReadOnly(fs::absolute(fs::path("runs") / "read-only"));
  Game game("read-only");
  WriteAll(game.dir / "over.txt", "before the update");
  WriteAll(game.dir / "old.txt", "old");
  WriteAll(game.dir / "later.txt", "deleted by the second patch");
  WriteAll(game.dir / "tree" / "x.txt", "x");
  WriteAll(game.dir / "tree" / "sub" / "y.txt", "y");
  for (const char* name : {"mareld.dat", "over.txt", "old.txt", "later.txt", "tree/x.txt",
                           "tree/sub/y.txt"}) {
    const fs::path path = game.dir / name;
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY)) << name;
  }
  EXPECT_FALSE(DeleteFileW((game.dir / "old.txt").c_str())) << "a read-only file stays";
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());

  game.PutUpdater(Commands()
                      .WriteFile("over.txt", "first")
                      .DeleteFile("old.txt")
                      .EmptyTree("tree")
                      .PutEntry("b", "new"));
  ExpectCompletion(game.Run());
  EXPECT_FALSE(HasTemporaryFiles(game.dir)) << "no journal after the first patch";
  EXPECT_EQ("first", ReadAll(game.dir / "over.txt"));
  EXPECT_FALSE(fs::exists(game.dir / "old.txt"));
  EXPECT_FALSE(fs::exists(game.dir / "tree" / "x.txt"));
  EXPECT_FALSE(fs::exists(game.dir / "tree" / "sub" / "y.txt"));

  game.PutUpdater(Commands()
                      .WriteFile("over.txt", "second")
                      .DeleteFile("later.txt")
                      .PutEntry("c", "newer"));
  ExpectCompletion(game.Run());
  EXPECT_FALSE(HasTemporaryFiles(game.dir)) << "no journal after the second patch";
  EXPECT_EQ("second", ReadAll(game.dir / "over.txt"));
  EXPECT_FALSE(fs::exists(game.dir / "later.txt"));
  EXPECT_FALSE(fs::exists(game.dir / "mareld.bak"));
}

TEST(UpdaterGui, AnEmptyPayloadCompletesAndRebuildsTheArchive) {
  Game game("empty-payload");
  // Names as a foreign tool may store them (capitals): the rebuild lowers and packs them.
  game.old_archive = fixture::MakeArchive({{"Data/A.TXT", "a"}, {"KEEP.bin", "k"}});
  WriteAll(game.dir / "mareld.dat", game.old_archive);
  game.PutUpdater(kNoCommands);
  const auto expected = Expected(game, "empty-payload");
  e2e::WatchResult r = game.Run();
  ExpectCompletion(r);
  EXPECT_TRUE(expected == Tree(game.dir));
  EXPECT_NE(game.old_archive, game.Archive());
  EXPECT_EQ(fixture::MakeArchive({{"data/a.txt", "a"}, {"keep.bin", "k"}}), game.Archive());
}

TEST(UpdaterGui, AQuitDuringALongCopyEndsSilentlyAndCleansUp) {
  Game game("quit");
  game.PutUpdater(Commands().WriteFile("huge.bin", std::string(192 << 20, 'q')).PutEntry("x", "y"));
  e2e::WatchOptions options;
  options.quit_during_copy = true;
  e2e::WatchResult r = game.Run(options);
  ExpectCleanDialog(r, 1);
  EXPECT_TRUE(r.quit_posted) << "the copy was never seen under way";
  EXPECT_TRUE(r.boxes.empty()) << "a quit shows no message";
  EXPECT_FALSE(HasTemporaryFiles(game.dir));
  EXPECT_EQ(game.old_archive, game.Archive());
}

// The dialog keeps answering for the whole run: a payload that inflates to more than 128 MiB,
// and an archive of more than 256 MiB to rebuild, flush and swap. It runs alone (its own ctest
// entry, RUN_SERIAL), so other tests' load does not stand in for the updater's. The bound here
// tells a dialog whose thread does the work from one that answers late on a busy machine; the
// 250 ms target is measured by bench/run-gui-bench, which sets KESTREL_RESPONSE_LIMIT_MS.
TEST(UpdaterGui, TheDialogKeepsAnsweringThroughoutALargeRun) {
  if (!std::getenv("KESTREL_E2E_RESPONSIVENESS"))
    GTEST_SKIP() << "runs as its own ctest entry (updater_gui_responsiveness)";
  double limit_ms = e2e::kStoppedAnsweringMs;
  if (const char* limit = std::getenv("KESTREL_RESPONSE_LIMIT_MS")) limit_ms = std::atof(limit);
  Game game("responsiveness");
  std::vector<std::pair<std::string, std::string>> entries;
  for (int i = 0; i < 4; ++i)
    entries.emplace_back("reel" + std::to_string(i) + ".bin", std::string(64 << 20, static_cast<char>('a' + i)));
  game.old_archive = fixture::MakeArchive(entries);
  WriteAll(game.dir / "mareld.dat", game.old_archive);
  game.PutUpdater(Commands()
                      .WriteFile("movie.bin", std::string(120 << 20, 'm'))
                      .PutEntry("extra.bin", std::string(16 << 20, 'x')));
  e2e::WatchResult r = game.Run();
  ExpectCompletion(r);
  EXPECT_GT(r.probes, 20);
  EXPECT_LT(r.longest_answer_ms, limit_ms)
      << "over " << r.probes << " probes in " << r.seconds << " s; the slowest came "
      << r.slowest_at_seconds << " s in, then status \"" << e2e::Utf8(r.slowest_status)
      << "\", name \"" << e2e::Utf8(r.slowest_name) << "\", position " << r.slowest_position;
  std::printf("responsiveness: longest answer %.1f ms over %ld probes, run %.1f s\n",
              r.longest_answer_ms, r.probes, r.seconds);
  EXPECT_EQ(fs::file_size(game.dir / "mareld.dat"), game.old_archive.size() + 16u * 1024 * 1024 + 12 + 9);
  EXPECT_FALSE(HasTemporaryFiles(game.dir));
  EXPECT_FALSE(fs::exists(game.dir / "mareld.bak"));
}

// --- The player's situations: a file held by the running game, a full disk, a folder that
// needs administrator rights, and the silent mode for launchers.

const wchar_t kFilesInUse[] =
    L"ゲームなどのプログラムがファイルを使用中です。終了してから［再試行］を押してください。(%s)";
const wchar_t kNeedsAdministrator[] = L"管理者の権限がないため、アップデートできません。";
const wchar_t kNoSpace[] = L"ディスクの空き容量が足りません。(%s)";

// A Windows path for one of the build's programs (its Unix path seen through drive Z:).
std::wstring BuiltProgram(const char* unix_path) {
  std::wstring path = L"Z:" + Wide(unix_path);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

// Another program (the game) holding a file open without delete sharing, until released.
class HeldFile {
 public:
  explicit HeldFile(const fs::path& file) {
    std::wstring command = L"\"" + BuiltProgram(KESTREL_HOLD_FILE_EXE) + L"\" \"" + file.wstring() + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_)) {
      ADD_FAILURE() << "cannot start the holding program";
      return;
    }
    // Held once a rename would meet a sharing violation.
    for (int tries = 0; tries < 1000; ++tries) {
      HANDLE h = CreateFileW(file.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
      if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) return;
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
      Sleep(10);
    }
    ADD_FAILURE() << "the file was never held";
  }
  ~HeldFile() { Release(); }
  void Release() {
    if (!process_.hProcess) return;
    TerminateProcess(process_.hProcess, 0);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
  }

 private:
  PROCESS_INFORMATION process_ = {};
};

// The seam's faults for the updaters the test starts (scripts/wine-run passes the test's
// environment on); the updater removes the variable from its own environment as it reads it.
class Faults {
 public:
  explicit Faults(const wchar_t* words) { SetEnvironmentVariableW(L"KESTREL_TEST_FAULTS", words); }
  ~Faults() { SetEnvironmentVariableW(L"KESTREL_TEST_FAULTS", nullptr); }
};

Commands UpdateCommands() {
  return Commands().WriteFile("data/new.txt", "new").DeleteFile("old.txt").PutEntry("x", "y");
}

// The game holds mareld.dat: the box comes before any change and the folder stays exactly as
// it was while it waits; Cancel ends with nothing changed; after the game is closed, Retry
// completes the update.
TEST(UpdaterPlayer, AFileHeldByTheGameIsAskedAboutBeforeAnyChange) {
  for (bool retry : {false, true}) {
    SCOPED_TRACE(retry ? "retry" : "cancel");
    Game game(retry ? "held-retry" : "held-cancel");
    WriteAll(game.dir / "old.txt", "old");
    game.PutUpdater(UpdateCommands());
    const auto expected = Expected(game, retry ? "held-retry" : "held-cancel");
    const auto before = Tree(game.dir);
    HeldFile held(game.dir / "mareld.dat");
    e2e::WatchOptions options;
    options.box_screenshot = fs::absolute(retry ? "held-retry-box.bmp" : "held-cancel-box.bmp").wstring();
    bool unchanged_while_asked = false;
    options.answer = [&](const e2e::MessageBoxSeen& box) {
      if (!box.retry_cancel) return IDOK;
      unchanged_while_asked = before == Tree(game.dir);
      if (!retry) return IDCANCEL;
      held.Release();  // the player closes the game
      return IDRETRY;
    };
    e2e::WatchResult r = game.Run(options);
    ExpectCleanDialog(r, retry ? 0 : 5);
    ASSERT_LE(1u, r.boxes.size());
    const e2e::MessageBoxSeen& box = r.boxes[0];
    EXPECT_EQ(kTitle, box.caption);
    // Wine's Restart Manager names no program: the box names the file.
    EXPECT_EQ(Format(kFilesInUse, game.Resolved("mareld.dat")), box.text);
    EXPECT_TRUE(box.retry_cancel);
    EXPECT_EQ(e2e::BoxIcon::kWarning, box.icon);
    EXPECT_TRUE(box.owned_by_dialog);
    EXPECT_TRUE(unchanged_while_asked) << "the folder changed while the box waited";
    if (retry) {
      ASSERT_EQ(2u, r.boxes.size());
      EXPECT_EQ(kCompleted, r.boxes[1].text);
      EXPECT_TRUE(expected == Tree(game.dir)) << "the update completed after Retry";
    } else {
      EXPECT_EQ(1u, r.boxes.size());
      EXPECT_TRUE(before == Tree(game.dir)) << "Cancel leaves the folder as it was";
    }
  }
}

TEST(UpdaterPlayer, ADiskTooSmallIsToldWithBothFiguresBeforeAnyChange) {
  Game game("no-space");
  WriteAll(game.dir / "old.txt", "old");
  game.PutUpdater(UpdateCommands());
  const auto before = Tree(game.dir);
  Faults faults(L"free-space=1000");
  e2e::WatchOptions options;
  options.box_screenshot = fs::absolute("no-space-box.bmp").wstring();
  e2e::WatchResult r = game.Run(options);
  ExpectCleanDialog(r, 6);
  ASSERT_EQ(1u, r.boxes.size());
  EXPECT_EQ(Format(kNoSpace, L"必要 1 MB、空き 0 MB"), r.boxes[0].text);
  EXPECT_EQ(e2e::BoxIcon::kHand, r.boxes[0].icon);
  EXPECT_TRUE(before == Tree(game.dir));
}

// The journal folder refused (a game under Program Files) for an updater without
// administrator rights (Wine gives every program those: the seam is told to report none): the
// updater starts itself again with them (under Wine "runas" just starts it), that process
// completes the update, and the first ends with its status; the second never starts a third.
TEST(UpdaterPlayer, AFolderThatNeedsAdministratorRightsRelaunchesOnce) {
  Game game("relaunch");
  WriteAll(game.dir / "old.txt", "old");
  game.PutUpdater(UpdateCommands());
  const auto expected = Expected(game, "relaunch");
  Faults faults(L"refuse-directories;not-elevated");
  e2e::WatchResult r = game.Run();
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(0u, r.exit_code);
  EXPECT_EQ(2u, r.processes.size()) << "the updater and the one it started, no third";
  ASSERT_EQ(1u, r.boxes.size());
  EXPECT_EQ(kCompleted, r.boxes[0].text);
  EXPECT_TRUE(expected == Tree(game.dir));
  EXPECT_FALSE(HasTemporaryFiles(game.dir));
}

TEST(UpdaterPlayer, DecliningTheAdministratorPromptChangesNothing) {
  Game game("declined");
  WriteAll(game.dir / "old.txt", "old");
  game.PutUpdater(UpdateCommands());
  const auto before = Tree(game.dir);
  Faults faults(L"refuse-directories;not-elevated;decline-elevation");
  e2e::WatchOptions options;
  options.box_screenshot = fs::absolute("declined-box.bmp").wstring();
  e2e::WatchResult r = game.Run(options);
  ExpectCleanDialog(r, 7);
  EXPECT_EQ(1u, r.processes.size());
  ASSERT_EQ(1u, r.boxes.size());
  EXPECT_EQ(kNeedsAdministrator, r.boxes[0].text);
  EXPECT_TRUE(before == Tree(game.dir));
}

TEST(UpdaterPlayer, AnUnknownSwitchShowsTheUsage) {
  Game game("usage");
  game.PutUpdater(UpdateCommands());
  const auto before = Tree(game.dir);
  e2e::WatchOptions options;
  options.arguments = L"/bogus";
  options.box_screenshot = fs::absolute("usage-box.bmp").wstring();
  e2e::WatchResult r = game.Run(options);
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(2u, r.exit_code);
  ASSERT_EQ(1u, r.boxes.size());
  EXPECT_EQ(0u, r.boxes[0].text.find(L"不明なスイッチです: /bogus")) << e2e::Utf8(r.boxes[0].text);
  EXPECT_NE(std::wstring::npos, r.boxes[0].text.find(L"/silent"));
  EXPECT_TRUE(before == Tree(game.dir));
}

// Silent mode: no window at all, and the exit status tells each outcome.
TEST(UpdaterPlayer, SilentModeShowsNoWindowAndTellsEachOutcomeByItsExitStatus) {
  struct Case {
    const char* label;
    const wchar_t* arguments;
    const wchar_t* faults;  // null: none
    bool hold_archive;
    bool fail;  // the payload deletes a file that is not there
    unsigned long status;
  };
  const Case cases[] = {
      {"silent-completed", L"/S", nullptr, false, false, 0},
      {"silent-long", L"/SILENT", nullptr, false, false, 0},
      {"silent-failed", L"/S", nullptr, false, true, 1},
      {"silent-usage", L"/S /bogus", nullptr, false, false, 2},
      {"silent-in-use", L"/S", nullptr, true, false, 5},
      {"silent-no-space", L"/silent", L"free-space=1000", false, false, 6},
      {"silent-declined", L"/S", L"refuse-directories;not-elevated;decline-elevation", false, false, 7},
      {"silent-relaunched", L"/S", L"refuse-directories;not-elevated", false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Game game(c.label);
    WriteAll(game.dir / "old.txt", "old");
    Commands commands = UpdateCommands();
    if (c.fail) commands.DeleteFile("missing.txt");
    game.PutUpdater(commands);
    const auto expected = c.status == 0 ? Expected(game, c.label) : Tree(game.dir);
    const auto before = Tree(game.dir);
    std::unique_ptr<Faults> faults;
    if (c.faults) faults.reset(new Faults(c.faults));
    std::unique_ptr<HeldFile> held;
    if (c.hold_archive) held.reset(new HeldFile(game.dir / "mareld.dat"));
    e2e::WatchOptions options;
    options.arguments = c.arguments;
    e2e::WatchResult r = game.Run(options);
    held.reset();
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(c.status, r.exit_code);
    EXPECT_FALSE(r.visible_window_seen);
    EXPECT_FALSE(r.dialog_seen);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(0u, r.window_classes.count(L"#32770"));
    for (const std::wstring& name : r.window_classes)
      std::printf("%s: a hidden window of class %s\n", c.label, e2e::Utf8(name).c_str());
    EXPECT_TRUE((c.status == 0 ? expected : before) == Tree(game.dir));
    EXPECT_FALSE(HasTemporaryFiles(game.dir));
  }
}

// The log of a failed silent run: the command that failed, the message in Japanese and in
// English, the file operation and the system's reason, and the result.
TEST(UpdaterPlayer, TheLogOfAFailedRunSaysWhatFailedAndWhy) {
  Game game("log");
  WriteAll(game.dir / "old.txt", "old");
  game.PutUpdater(Commands().WriteFile("data/new.txt", "new").WriteFile(J("塞ぐ/中.txt"), "x"));
  fs::create_directories(game.dir / Wide(J("塞ぐ")) / Wide(J("中.txt")));
  const fs::path log = fs::absolute("runs/log.txt");
  fs::remove(log);
  e2e::WatchOptions options;
  options.arguments = L"/S \"/log=" + log.wstring() + L"\"";
  e2e::WatchResult r = game.Run(options);
  EXPECT_EQ(1u, r.exit_code);
  const std::string text = ReadAll(log);
  const std::string path = e2e::Utf8(game.Resolved(J("塞ぐ/中.txt")));
  std::printf("%s", text.c_str());
  for (const std::string& line : std::vector<std::string>{
           std::string("mode: silent\r\n"), std::string("command: data/new.txt\r\n"),
        std::string("command: 塞ぐ/中.txt\r\n"), "error: ファイル(" + path + ")が作成できません\r\n",
        "       The file (" + path + ") cannot be created.\r\n", std::string("       why: cannot "),
        std::string("result: failed, exit status 1\r\n")}) {
    EXPECT_NE(std::string::npos, text.find(line)) << line;
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

// A payload that replaces the entry data/a.txt ("old-a" -> "new-a") and writes
// readme.txt, with its manifest in `language`, the maker's texts when given.
std::string VersionedPayload(updater::MessageLanguage language, const std::string& caption,
                             const std::string& completion) {
  Commands c;
  c.WriteFile("readme.txt", "1.03").PutEntry("data/a.txt", "new-a");
  updater::Manifest m;
  m.inflated_size = c.bytes().size();
  m.language = language;
  m.caption = caption;
  m.completion = completion;
  m.records = {{updater::ManifestRecord::Kind::kLooseFile, "readme.txt", Held("1.02"),
                Held("1.03")},
               {updater::ManifestRecord::Kind::kArchiveEntry, "data/a.txt", Held("old-a"),
                Held("new-a")}};
  std::string manifest, error;
  EXPECT_TRUE(patchlib::EncodeManifest(m, &manifest, &error)) << error;
  return fixture::Deflate(c.bytes()) + manifest;
}

std::wstring FromUtf8(const std::string& utf8) {
  int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], size);
  return out;
}

}  // namespace

// The same updater three times: on the version it was made for (completes), on the folder it
// made (already applied, nothing changed), on another version (refused, nothing changed); in
// each language the maker can choose, with and without the maker's texts. Also run under a
// Western code page, where "auto" must pick English and every text still read back whole.
TEST(UpdaterGuiTexts, TheVersionCheckInTheMakersWordsAndLanguage) {
  const bool japanese_ui = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
  std::printf("code page %u, UI language %04x\n", GetACP(), GetUserDefaultUILanguage());
  if (GetACP() == 1252) EXPECT_FALSE(japanese_ui) << "auto would not be tried in English";
  // é and ✓ have no cp932 form: only the wide API shows them.
  const std::string caption = "Caf\xc3\xa9 Quest \xe2\x80\x94 \xe3\x82\xa2\xe3\x83\x83\xe3\x83\x97";
  const std::string completion = "Caf\xc3\xa9 Quest 1.03 \xe2\x9c\x93 \xe5\xae\x8c\xe4\xba\x86";
  struct Case {
    const char* label;
    updater::MessageLanguage language;
    bool makers_texts;
    bool english;
  } cases[] = {
      {"ja-makers", updater::MessageLanguage::kJapanese, true, false},
      {"en-own", updater::MessageLanguage::kEnglish, false, true},
      {"en-makers", updater::MessageLanguage::kEnglish, true, true},
      {"auto-own", updater::MessageLanguage::kAuto, false, !japanese_ui},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::wstring title = c.makers_texts ? FromUtf8(caption)
                               : c.english    ? L"Kestrel Updater"
                                              : kTitle;
    Game game(std::string("version-") + c.label);
    WriteAll(game.dir / "readme.txt", "1.02");
    WriteAll(game.dir / "mareld.dat",
             fixture::MakeArchive({{"data/a.txt", "old-a"}, {"keep.bin", "k"}}));
    game.PutUpdater(VersionedPayload(c.language, c.makers_texts ? caption : "",
                                     c.makers_texts ? completion : ""));
    e2e::WatchOptions options;
    options.caption = title;
    options.box_screenshot = L"version-" + FromUtf8(c.label) + L"-complete.bmp";

    e2e::WatchResult done = game.Run(options);
    ExpectCleanDialog(done);
    ASSERT_EQ(1u, done.boxes.size());
    EXPECT_EQ(title, done.boxes[0].caption);
    EXPECT_EQ(title, done.dialog_caption);
    EXPECT_EQ(c.makers_texts ? FromUtf8(completion)
              : c.english    ? L"The update from the Q18 version to the press version is complete."
                             : kCompleted,
              done.boxes[0].text);
    EXPECT_EQ(e2e::BoxIcon::kInformation, done.boxes[0].icon);
    EXPECT_EQ(c.english ? L"Rebuilding the resource file" : kRebuilding, done.boxes[0].status);
    EXPECT_EQ("1.03", ReadAll(game.dir / "readme.txt"));

    const auto updated = Tree(game.dir);
    options.box_screenshot = L"version-" + FromUtf8(c.label) + L"-applied.bmp";
    e2e::WatchResult again = game.Run(options);
    ExpectCleanDialog(again);
    ASSERT_EQ(1u, again.boxes.size());
    EXPECT_EQ(title, again.boxes[0].caption);
    EXPECT_EQ(c.english ? L"This update has already been applied."
                        : L"このアップデートは既に適用されています。",
              again.boxes[0].text);
    EXPECT_EQ(e2e::BoxIcon::kInformation, again.boxes[0].icon);
    EXPECT_TRUE(again.boxes[0].owned_by_dialog);
    EXPECT_TRUE(updated == Tree(game.dir)) << "a second run changed the folder";

    WriteAll(game.dir / "readme.txt", "1.01");
    WriteAll(game.dir / "mareld.dat",
             fixture::MakeArchive({{"data/a.txt", "old-a"}, {"keep.bin", "k"}}));
    const auto other = Tree(game.dir);
    options.box_screenshot = L"version-" + FromUtf8(c.label) + L"-wrong.bmp";
    e2e::WatchResult wrong = game.Run(options);
    ExpectCleanDialog(wrong, 4);
    ASSERT_EQ(1u, wrong.boxes.size());
    EXPECT_EQ(title, wrong.boxes[0].caption);
    EXPECT_EQ(c.english ? L"This update does not fit the version of the game in this folder. "
                          L"(readme.txt)"
                        : L"お使いのゲームのバージョンにはこのアップデートを適用できません。"
                          L"(readme.txt)",
              wrong.boxes[0].text);
    EXPECT_EQ(e2e::BoxIcon::kHand, wrong.boxes[0].icon);
    EXPECT_TRUE(wrong.boxes[0].owned_by_dialog);
    EXPECT_TRUE(other == Tree(game.dir)) << "a refused run changed the folder";
    EXPECT_FALSE(HasTemporaryFiles(game.dir));
  }
}

// The packed updater rebuilds a loose file and an entry from deltas against
// their old contents, as the manifest records them: the folder ends as the
// engine makes it, with nothing temporary left.
TEST(UpdaterGuiTexts, DeltasPatchALooseFileAndAnEntry) {
  Game game("deltas");
  std::string old_exe(300000, '\0');
  for (std::size_t i = 0; i < old_exe.size(); ++i)
    old_exe[i] = static_cast<char>((i * 2654435761u) >> 13);
  std::string new_exe = old_exe.substr(0, 100000) + "a new function" + old_exe.substr(100000);
  new_exe[250000] ^= 0x5A;
  const std::string old_entry(5000, 'k');
  const std::string new_entry = std::string(2500, 'k') + "patched" + std::string(2500, 'k');
  WriteAll(game.dir / "game.exe", old_exe);
  Commands c;
  c.Raw(fixture::DeltaCommand(updater::kOpPatchFile, "game.exe", old_exe, new_exe))
      .Raw(fixture::DeltaCommand(updater::kOpPatchEntry, "KEEP.BIN", old_entry, new_entry));
  updater::Manifest m;
  m.inflated_size = c.bytes().size();
  m.records = {{updater::ManifestRecord::Kind::kLooseFile, "game.exe",
                fixture::FileState(old_exe), fixture::FileState(new_exe)},
               {updater::ManifestRecord::Kind::kArchiveEntry, "keep.bin",
                fixture::FileState(old_entry), fixture::FileState(new_entry)}};
  game.PutUpdater(fixture::Deflate(c.bytes()) + fixture::ManifestBytes(m));
  const auto expected = Expected(game, "deltas");
  e2e::WatchResult r = game.Run();
  ExpectCompletion(r);
  EXPECT_TRUE(new_exe == ReadAll(game.dir / "game.exe"));
  EXPECT_TRUE(expected == Tree(game.dir)) << "the folder differs from the engine's result";
  EXPECT_NE(std::string::npos, ReadAll(game.dir / "mareld.dat").find(new_entry));
  EXPECT_FALSE(HasTemporaryFiles(game.dir));
}
