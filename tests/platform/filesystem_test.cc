#include "platform/filesystem.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/fault.h"
#include "platform/file.h"
#include "platform/last_failure.h"
#include "platform/module.h"
#include "platform/process.h"
#include "platform/text.h"
#include "support/links.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

using testing_support::ListDirectory;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// "表" (0x95 0x5C) ends in the code of "\"; "ソ" (0x83 0x5C) too.
const std::string kHyo = "\x95\x5C";
const std::string kSo = "\x83\x5C";

TEST(FileSystemTest, RenameNeverReplaces) {
  TempDir dir("fs");
  ASSERT_TRUE(WriteFileBytes(dir / "a", "old"));
  ASSERT_TRUE(WriteFileBytes(dir / "b", "keep"));
  EXPECT_FALSE(RenameFile((dir / "a").c_str(), (dir / "b").c_str()));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(dir / "b", &bytes));
  EXPECT_EQ(bytes, "keep");
  EXPECT_TRUE(RenameFile((dir / "a").c_str(), (dir / "c").c_str()));
  EXPECT_EQ(GetPathKind((dir / "a").c_str()), PathKind::kNone);
  ASSERT_TRUE(ReadFileBytes(dir / "c", &bytes));
  EXPECT_EQ(bytes, "old");
  EXPECT_FALSE(RenameFile((dir / "missing").c_str(), (dir / "d").c_str()));
}

TEST(FileSystemTest, ReplaceFileReplacesOrLeavesBothAlone) {
  TempDir dir("fs");
  std::string bytes;
  // Onto an existing file: the target gets the new bytes, the source goes.
  ASSERT_TRUE(WriteFileBytes(dir / "new", "fresh"));
  ASSERT_TRUE(WriteFileBytes(dir / "out", "stale"));
  EXPECT_TRUE(ReplaceFile((dir / "new").c_str(), (dir / "out").c_str()));
  ASSERT_TRUE(ReadFileBytes(dir / "out", &bytes));
  EXPECT_EQ(bytes, "fresh");
  EXPECT_EQ(GetPathKind((dir / "new").c_str()), PathKind::kNone);
  // Onto a missing name (a cp932 name whose trail byte is 0x5C).
  ASSERT_TRUE(WriteFileBytes(dir / "n2", "two"));
  EXPECT_TRUE(ReplaceFile((dir / "n2").c_str(), (dir / kSo).c_str()));
  ASSERT_TRUE(ReadFileBytes(dir / kSo, &bytes));
  EXPECT_EQ(bytes, "two");
  // A missing source fails and leaves the target alone.
  EXPECT_FALSE(ReplaceFile((dir / "gone").c_str(), (dir / "out").c_str()));
  ASSERT_TRUE(ReadFileBytes(dir / "out", &bytes));
  EXPECT_EQ(bytes, "fresh");
  // An injected fault fails like the native call: nothing moves.
  ASSERT_TRUE(WriteFileBytes(dir / "n3", "three"));
  ArmFault(1);
  EXPECT_FALSE(ReplaceFile((dir / "n3").c_str(), (dir / "out").c_str()));
  DisarmFault();
  ASSERT_TRUE(ReadFileBytes(dir / "out", &bytes));
  EXPECT_EQ(bytes, "fresh");
  ASSERT_TRUE(ReadFileBytes(dir / "n3", &bytes));
  EXPECT_EQ(bytes, "three");
}

TEST(FileSystemTest, KindsDeleteAndDirectories) {
  TempDir dir("fs");
  ASSERT_TRUE(WriteFileBytes(dir / "f", "x"));
  EXPECT_EQ(GetPathKind((dir / "f").c_str()), PathKind::kFile);
  EXPECT_EQ(GetPathKind(dir.path().c_str()), PathKind::kDirectory);
  EXPECT_EQ(GetPathKind((dir / "none").c_str()), PathKind::kNone);
  EXPECT_TRUE(MakeDirectory((dir / "sub").c_str()));
  EXPECT_FALSE(MakeDirectory((dir / "sub").c_str()));
  EXPECT_FALSE(MakeDirectory((dir / "no/such/parent").c_str()));
  EXPECT_FALSE(RemoveFile((dir / "sub").c_str()));  // not a file
  EXPECT_FALSE(RemoveEmptyDirectory(dir.path().c_str()));  // not empty
  EXPECT_TRUE(RemoveEmptyDirectory((dir / "sub").c_str()));
  EXPECT_TRUE(RemoveFile((dir / "f").c_str()));
  EXPECT_FALSE(RemoveFile((dir / "f").c_str()));
  // Directories cannot be opened as files.
  EXPECT_EQ(FileOpen(dir.path().c_str(), kFileRead), kInvalidFile);
}

TEST(FileSystemTest, Cp932NamesWithBackslashTrailBytes) {
  TempDir dir("fs");
  // Both separators work, and the trail byte 0x5C is part of the name.
  std::string sub = dir.path() + "\\" + kHyo;
  ASSERT_TRUE(MakeDirectory(sub.c_str()));
  std::string file = sub + "/" + kSo + ".txt";
  ASSERT_TRUE(WriteFileBytes(file, "data"));
  EXPECT_EQ(ListDirectory(dir.path()), std::vector<std::string>{kHyo});
  EXPECT_EQ(ListDirectory(sub), std::vector<std::string>{kSo + ".txt"});
  EXPECT_EQ(GetPathKind((dir.path() + "/" + kHyo + "\\" + kSo + ".txt").c_str()),
            PathKind::kFile);
  EXPECT_EQ(Cp932ToUtf8(kHyo + kSo), "\xE8\xA1\xA8\xE3\x82\xBD");  // 表ソ
  EXPECT_EQ(Utf8ToCp932("\xE8\xA1\xA8"), kHyo);
  bool ok = true;
  // No cp932 form: question marks in its place, and the caller is told.
  std::string lossy = Utf8ToCp932("a\xF0\x9F\x98\x80", &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(lossy[0], 'a');
  EXPECT_EQ(lossy.find_first_not_of('?', 1), std::string::npos) << lossy;
  EXPECT_GT(lossy.size(), 1u);
  // Bytes that are no cp932 character: a lone lead byte, an unassigned pair.
  ok = false;
  Cp932ToUtf8(kHyo + kSo, &ok);
  EXPECT_TRUE(ok);
  for (const char* bad : {"a\x81", "\x85\x40"}) {
    ok = true;
    Cp932ToUtf8(bad, &ok);
    EXPECT_FALSE(ok) << bad;
  }
}

// Bytes code page 932 does not map, a lead byte followed by nothing or by a
// byte that cannot trail it, an unassigned pair. Converted with replacement
// characters these would all name one file.
const std::string kNotCp932[] = {"conv_\xA0",     "conv_\xFD",
                                 "conv_\x81\x20", "conv_\x81",
                                 "conv_\x85\x40", "\xFF/inside"};

TEST(FileSystemTest, Cp932NamesConvertExactlyOrNotAtAll) {
  struct Case {
    std::string cp932;
    std::string utf8;
  };
  const Case valid[] = {
      {"plain.txt", "plain.txt"},
      {kHyo + kSo, "\xE8\xA1\xA8\xE3\x82\xBD"},  // 表ソ
      {"\x87\x40", "\xE2\x91\xA0"},               // circled one
      {"\xF0\x40", "\xEE\x80\x80"},               // first user-defined
      {"\xB1", "\xEF\xBD\xB1"},                   // half-width katakana
  };
  for (const Case& c : valid) {
    std::string out;
    EXPECT_TRUE(Cp932NameToUtf8(c.cp932, &out)) << c.cp932;
    EXPECT_EQ(out, c.utf8);
  }
  for (const std::string& name : kNotCp932) {
    std::string out = "untouched";
    EXPECT_FALSE(Cp932NameToUtf8(name, &out)) << testing::PrintToString(name);
    EXPECT_EQ(out, "untouched");
  }
}

TEST(FileSystemTest, NamesThatAreNotCp932AreRefused) {
  TempDir dir("fs");
  const std::string plain = dir / "plain";
  ASSERT_TRUE(WriteFileBytes(plain, "plain"));
  for (const std::string& name : kNotCp932) {
    SCOPED_TRACE(testing::PrintToString(name));
    const std::string path = dir / name;
    EXPECT_EQ(FileOpen(path.c_str(), kFileRead | kFileWrite | kFileCreate |
                                         kFileNew),
              kInvalidFile);
    EXPECT_EQ(FileOpen(path.c_str(), kFileWrite | kFileNew), kInvalidFile);
    EXPECT_EQ(GetPathKind(path.c_str()), PathKind::kNone);
    EXPECT_FALSE(MakeDirectory(path.c_str()));
    EXPECT_FALSE(RenameFile(plain.c_str(), path.c_str()));
    EXPECT_FALSE(ReplaceFile(plain.c_str(), path.c_str()));
    FindData data;
    EXPECT_EQ(FindFirst((path + "*").c_str(), &data), nullptr);
    EXPECT_EQ(LoadModule(path.c_str()), nullptr);
    FileIdentity id;
    EXPECT_EQ(GetPathIdentity(path.c_str(), true, &id), IdentityLookup::kFailed);
  }
  // A prefix with a byte code page 932 does not map, whatever follows it.
  char made[kMaxPath];
  EXPECT_FALSE(MakeTempDirectory(dir.path().c_str(), "conv_\xA0", made));
  // Nothing was made under another name, and nothing moved.
  EXPECT_EQ(ListDirectory(dir.path()), std::vector<std::string>{"plain"});
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(plain, &bytes));
  EXPECT_EQ(bytes, "plain");
}

TEST(FileSystemTest, SearchesMatchPatterns) {
  TempDir dir("fs");
  ASSERT_TRUE(WriteFileBytes(dir / "one.txt", "1"));
  ASSERT_TRUE(WriteFileBytes(dir / "two.dat", "22"));
  ASSERT_TRUE(MakeDirectory((dir / "sub").c_str()));
  FindData data;
  std::set<std::string> all;
  FindHandle h = FindFirst((dir / "*.*").c_str(), &data);
  ASSERT_NE(h, nullptr);
  do {
    all.insert(data.name);
    if (std::string(data.name) == "sub") {
      EXPECT_TRUE(data.is_directory);
    }
    if (std::string(data.name) == "two.dat") {
      EXPECT_FALSE(data.is_directory);
      EXPECT_EQ(data.size, 2u);
    }
  } while (FindNext(h, &data));
  FindClose(h);
  EXPECT_EQ(all, (std::set<std::string>{".", "..", "one.txt", "two.dat", "sub"}));

  h = FindFirst((dir / "*.dat").c_str(), &data);
  ASSERT_NE(h, nullptr);
  EXPECT_STREQ(data.name, "two.dat");
  EXPECT_FALSE(FindNext(h, &data));
  FindClose(h);
  EXPECT_EQ(FindFirst((dir / "*.none").c_str(), &data), nullptr);
  EXPECT_EQ(FindFirst((dir / "missing/*").c_str(), &data), nullptr);
  FindClose(nullptr);
}

// Lists `dir` into name -> entry, "." and ".." left out.
std::map<std::string, FindData> Entries(const std::string& dir) {
  std::map<std::string, FindData> entries;
  FindData data;
  FindHandle h = FindFirst((dir + "/*").c_str(), &data);
  if (!h) return entries;
  do {
    const std::string name = data.name;
    if (name != "." && name != "..") entries[name] = data;
  } while (FindNext(h, &data));
  FindClose(h);
  return entries;
}

TEST(FileSystemTest, LinksAreListedAndRemovedAsThemselves) {
  TempDir dir("links");
  ASSERT_TRUE(MakeDirectory((dir / "outside").c_str()));
  ASSERT_TRUE(WriteFileBytes(dir / "outside/victim", "keep me"));
  ASSERT_TRUE(MakeDirectory((dir / "d").c_str()));
  ASSERT_TRUE(WriteFileBytes(dir / "d/plain", "p"));
  if (!testing_support::MakeDirectoryLink(dir / "outside", dir / "d/dirlink"))
    GTEST_SKIP() << "this system cannot make directory links";
  const bool file_links =
      testing_support::MakeFileLink(dir / "outside/victim", dir / "d/filelink") &&
      testing_support::MakeFileLink(dir / "nowhere", dir / "d/dangling");

  auto entries = Entries(dir / "d");
  ASSERT_EQ(entries.count("dirlink"), 1u);
  EXPECT_TRUE(entries["dirlink"].is_link);
  EXPECT_FALSE(entries["dirlink"].is_directory) << "a walk must not enter it";
  EXPECT_EQ(entries["dirlink"].size, 0u);
  EXPECT_FALSE(entries["plain"].is_link);
  EXPECT_EQ(entries["plain"].size, 1u);
  EXPECT_TRUE(IsLink((dir / "d/dirlink").c_str()));
  EXPECT_FALSE(IsLink((dir / "d/plain").c_str()));
  EXPECT_FALSE(IsLink((dir / "outside").c_str()));
  EXPECT_FALSE(IsLink((dir / "d/missing").c_str()));
  if (file_links) {
    ASSERT_EQ(entries.size(), 4u);
    for (const char* name : {"filelink", "dangling"}) {
      EXPECT_TRUE(entries[name].is_link) << name;
      EXPECT_FALSE(entries[name].is_directory) << name;
      EXPECT_TRUE(IsLink((dir / "d/" + name).c_str())) << name;
    }
  }

  // Removing a link removes the link, never what it points to.
  EXPECT_TRUE(RemoveFile((dir / "d/dirlink").c_str()));
  EXPECT_FALSE(IsLink((dir / "d/dirlink").c_str()));
  EXPECT_EQ(GetPathKind((dir / "d/dirlink").c_str()), PathKind::kNone);
  if (file_links) {
    EXPECT_TRUE(RemoveFile((dir / "d/filelink").c_str()));
    EXPECT_TRUE(RemoveFile((dir / "d/dangling").c_str()));
  }
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(dir / "outside/victim", &bytes));
  EXPECT_EQ(bytes, "keep me");
  EXPECT_EQ(Entries(dir / "d").size(), 1u);
}

TEST(FileSystemTest, IdentityIsTheFileWhateverTheName) {
  TempDir dir("identity");
  ASSERT_TRUE(WriteFileBytes(dir / "a", "a"));
  ASSERT_TRUE(WriteFileBytes(dir / "b", "a"));
  ASSERT_TRUE(MakeDirectory((dir / "sub").c_str()));
  FileIdentity a, other, same;
  ASSERT_EQ(GetPathIdentity((dir / "a").c_str(), true, &a), IdentityLookup::kFound);
  ASSERT_EQ(GetPathIdentity((dir / "b").c_str(), true, &other), IdentityLookup::kFound);
  EXPECT_NE(a, other) << "same bytes, different files";
  for (const std::string& spelling :
       {dir.path() + "//a", dir.path() + "/./a", dir.path() + "/sub/../a",
        dir.path() + "\\a"}) {
    ASSERT_EQ(GetPathIdentity(spelling.c_str(), false, &same), IdentityLookup::kFound)
        << spelling;
    EXPECT_EQ(same, a) << spelling;
  }
  FileHandle f = FileOpen((dir / "a").c_str(), kFileRead);
  ASSERT_NE(f, kInvalidFile);
  ASSERT_TRUE(GetFileIdentity(f, &same));
  EXPECT_EQ(same, a) << "an open file and its name agree";
  EXPECT_TRUE(FileClose(f));
  EXPECT_FALSE(GetFileIdentity(kInvalidFile, &same));
  if (testing_support::MakeHardLink(dir / "a", dir / "second")) {
    ASSERT_EQ(GetPathIdentity((dir / "second").c_str(), false, &same),
              IdentityLookup::kFound);
    EXPECT_EQ(same, a) << "a hard link is the same file";
  }
  ASSERT_EQ(GetPathIdentity(dir.path().c_str(), false, &same), IdentityLookup::kFound);
  EXPECT_NE(same, a) << "directories have their own identity";

  EXPECT_EQ(GetPathIdentity((dir / "missing").c_str(), true, &same),
            IdentityLookup::kMissing);
  EXPECT_EQ(GetPathIdentity((dir / "missing/x").c_str(), true, &same),
            IdentityLookup::kMissing);
  ArmFault(1);
  EXPECT_EQ(GetPathIdentity((dir / "a").c_str(), true, &same), IdentityLookup::kFailed);
  DisarmFault();

  if (testing_support::MakeFileLink(dir / "a", dir / "link")) {
    ASSERT_EQ(GetPathIdentity((dir / "link").c_str(), true, &same),
              IdentityLookup::kFound);
    EXPECT_EQ(same, a) << "followed: what opening the name reaches";
    ASSERT_EQ(GetPathIdentity((dir / "link").c_str(), false, &same),
              IdentityLookup::kFound);
    EXPECT_NE(same, a) << "not followed: the link itself";
  }
}

// The handle CreateTempFile hands over is the file under the name it
// wrote: bytes written through it are what the name reads.
TEST(FileSystemTest, CreatedTempFilesComeOpen) {
  TempDir dir("fs");
  char a[kMaxPath], b[kMaxPath];
  FileHandle fa = kInvalidFile, fb = kInvalidFile;
  ASSERT_TRUE(CreateTempFile(dir.path().c_str(), "kst", a, &fa));
  ASSERT_TRUE(CreateTempFile(dir.path().c_str(), "kst", b, &fb));
  EXPECT_STRNE(a, b);
  ASSERT_NE(fa, kInvalidFile);
  ASSERT_NE(fb, kInvalidFile);
  EXPECT_EQ(FileSize(fa), 0);
  ASSERT_EQ(FileWriteAt(fa, 0, "first", 5), 5);
  ASSERT_EQ(FileWriteAt(fb, 0, "second", 6), 6);
  char back[5] = {};
  EXPECT_EQ(FileReadAt(fa, 0, back, 5), 5);
  EXPECT_EQ(std::string(back, 5), "first");
  EXPECT_TRUE(FileClose(fa));
  EXPECT_TRUE(FileClose(fb));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(a, &bytes));
  EXPECT_EQ(bytes, "first");
  ASSERT_TRUE(ReadFileBytes(b, &bytes));
  EXPECT_EQ(bytes, "second");
  for (const std::string& name : ListDirectory(dir.path())) {
    EXPECT_EQ(name.substr(0, 3), "kst") << name;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(tolower(c));
    EXPECT_EQ(ext, ".tmp") << name;
  }
  FileHandle none = 0;
  EXPECT_FALSE(CreateTempFile((dir / "missing").c_str(), "kst", a, &none));
  EXPECT_STREQ(a, "");
  EXPECT_EQ(none, kInvalidFile);
}

TEST(FileSystemTest, TempFilesAreUniqueAndEmpty) {
  TempDir dir("fs");
  char a[kMaxPath], b[kMaxPath];
  ASSERT_TRUE(MakeTempFile(dir.path().c_str(), "qx", a));
  ASSERT_TRUE(MakeTempFile(dir.path().c_str(), "qx", b));
  EXPECT_STRNE(a, b);
  std::string bytes = "not empty";
  ASSERT_TRUE(ReadFileBytes(a, &bytes));
  EXPECT_TRUE(bytes.empty());
  for (const std::string& name : ListDirectory(dir.path())) {
    EXPECT_EQ(name.substr(0, 2), "qx") << name;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(tolower(c));
    EXPECT_EQ(ext, ".tmp") << name;
  }
  EXPECT_FALSE(MakeTempFile((dir / "missing").c_str(), "qx", a));
  EXPECT_STREQ(a, "");
}

TEST(FileSystemTest, TempDirectoriesAreNewAndUnpredictable) {
  TempDir dir("fs");
  char a[kMaxPath], b[kMaxPath];
  ASSERT_TRUE(MakeTempDirectory(dir.path().c_str(), "kvf", a));
  ASSERT_TRUE(MakeTempDirectory(dir.path().c_str(), "kvf", b));
  EXPECT_STRNE(a, b);
  EXPECT_EQ(GetPathKind(a), PathKind::kDirectory);
  EXPECT_TRUE(ListDirectory(a).empty());
  const std::string name = std::string(a).substr(dir.path().size() + 1);
  EXPECT_EQ(name.substr(0, 3), "kvf");
  EXPECT_GE(name.size(), 3u + 6u) << "enough random characters: " << name;
  EXPECT_FALSE(MakeTempDirectory((dir / "missing").c_str(), "kvf", a));
  EXPECT_STREQ(a, "");
}

TEST(FileSystemTest, FifosAreNeitherFilesNorDirectories) {
  TempDir dir("fifo");
  if (!testing_support::MakeFifo(dir / "pipe")) GTEST_SKIP() << "no FIFOs here";
  EXPECT_EQ(GetPathKind((dir / "pipe").c_str()), PathKind::kOther);
  auto entries = Entries(dir.path());
  ASSERT_EQ(entries.count("pipe"), 1u);
  EXPECT_TRUE(entries["pipe"].is_other);
  EXPECT_FALSE(entries["pipe"].is_directory);
  EXPECT_FALSE(entries["pipe"].is_link);
  ASSERT_TRUE(WriteFileBytes(dir / "plain", "p"));
  EXPECT_FALSE(Entries(dir.path())["plain"].is_other);
  // It never opens, for reading or writing, and the open does not wait for
  // the other end (a test that hangs here has failed).
  for (const unsigned mode : std::initializer_list<unsigned>{
           kFileRead, kFileWrite, kFileRead | kFileWrite, kFileRead | kFileCreate})
    EXPECT_EQ(FileOpen((dir / "pipe").c_str(), mode), kInvalidFile) << mode;
  EXPECT_EQ(GetPathKind((dir / "pipe").c_str()), PathKind::kOther) << "left as it was";
}

TEST(FileSystemTest, DevicesAreNoFilesToOpen) {
  // Each system's null device (the other name is missing there).
  for (const char* device : {"/dev/null", "NUL"}) {
    EXPECT_EQ(FileOpen(device, kFileRead), kInvalidFile) << device;
    EXPECT_EQ(FileOpen(device, kFileWrite), kInvalidFile) << device;
  }
}

TEST(FileSystemTest, TheLastFailedOperationIsRemembered) {
  TempDir dir("failure");
  ForgetLastFailure();
  FailedOperation failed;
  EXPECT_FALSE(GetLastFailure(&failed));
  // Queries are answers, not failures.
  EXPECT_EQ(GetPathKind((dir / "missing").c_str()), PathKind::kNone);
  EXPECT_FALSE(GetLastFailure(&failed));

  const std::string inside_missing = dir / "missing/new.txt";
  EXPECT_EQ(FileOpen(inside_missing.c_str(), kFileWrite | kFileCreate | kFileNew),
            kInvalidFile);
  ASSERT_TRUE(GetLastFailure(&failed));
  EXPECT_EQ(failed.operation, "create");
  EXPECT_EQ(failed.path, inside_missing);
  EXPECT_NE(failed.reason, "");
  // A later success does not hide it; the next failure replaces it.
  ASSERT_TRUE(WriteFileBytes(dir / "f", "x"));
  ASSERT_TRUE(GetLastFailure(&failed));
  EXPECT_EQ(failed.operation, "create");
  EXPECT_FALSE(RemoveFile((dir / "nothing").c_str()));
  ASSERT_TRUE(GetLastFailure(&failed));
  EXPECT_EQ(failed.operation, "delete");
  ArmFault(1);
  EXPECT_FALSE(MakeDirectory((dir / "d").c_str()));
  DisarmFault();
  ASSERT_TRUE(GetLastFailure(&failed));
  EXPECT_EQ(failed.operation, "create the directory");
  EXPECT_EQ(failed.reason, "an injected fault");
  const std::vector<FailedOperation> recent = RecentFailures();
  ASSERT_EQ(recent.size(), 3u);
  EXPECT_EQ(recent[0].operation, "create");
  EXPECT_EQ(recent[1].operation, "delete");
  ForgetLastFailure();
  EXPECT_TRUE(RecentFailures().empty());
  EXPECT_FALSE(GetLastFailure(&failed));
}

// The read-only attribute: kept by a rename, and (as Windows does, and
// as the host simulates) refusing deletion until it is cleared. Directory
// flushes, and which failures may pass by themselves.
TEST(FileSystemTest, ReadOnlyAttributeDirectoryFlushAndPassingFailures) {
  TempDir dir("attr");
  ASSERT_TRUE(WriteFileBytes(dir / "a", "a"));
  const std::string a = dir / "a", b = dir / "b";
  EXPECT_FALSE(IsReadOnly(a.c_str()));
  ASSERT_TRUE(SetReadOnly(a.c_str(), true));
  EXPECT_TRUE(IsReadOnly(a.c_str()));
  ASSERT_TRUE(RenameFile(a.c_str(), b.c_str())) << "a read-only file moves";
  EXPECT_TRUE(IsReadOnly(b.c_str())) << "and keeps the attribute";
  SimulateReadOnlyDeletes(true);
  EXPECT_FALSE(RemoveFile(b.c_str()));
  EXPECT_TRUE(SetReadOnly(b.c_str(), false));
  EXPECT_FALSE(IsReadOnly(b.c_str()));
  EXPECT_TRUE(RemoveFile(b.c_str()));
  SimulateReadOnlyDeletes(false);
  EXPECT_FALSE(IsReadOnly(b.c_str())) << "missing";
  EXPECT_FALSE(SetReadOnly(b.c_str(), true)) << "missing";
  EXPECT_FALSE(SetReadOnly(dir.path().c_str(), true)) << "the attribute is a file's";

  ASSERT_TRUE(WriteFileBytes(dir / "f", "f"));
  EXPECT_TRUE(FlushDirectory(dir.path().c_str()));
  EXPECT_FALSE(FlushDirectory((dir / "missing").c_str()));
  EXPECT_FALSE(FlushDirectory((dir / "f").c_str())) << "a file is no directory";

  ArmPassingFault(1);
  EXPECT_FALSE(RenameFile((dir / "f").c_str(), (dir / "g").c_str()));
  EXPECT_TRUE(LastFailureMayPass());
  ArmFault(1);
  EXPECT_FALSE(RenameFile((dir / "f").c_str(), (dir / "g").c_str()));
  EXPECT_FALSE(LastFailureMayPass());
  DisarmFault();
  EXPECT_FALSE(RenameFile((dir / "missing").c_str(), (dir / "g").c_str()));
  EXPECT_FALSE(LastFailureMayPass()) << "a missing file does not come back by waiting";
}

TEST(FileTest, PositionalTransfersAndSize) {
  TempDir dir("file");
  std::string path = dir / "f";
  FileHandle f = FileOpen(path.c_str(), kFileRead | kFileWrite | kFileCreate);
  ASSERT_NE(f, kInvalidFile);
  EXPECT_EQ(FileWriteAt(f, 10, "abc", 3), 3);
  EXPECT_EQ(FileSize(f), 13);
  char buf[8] = {};
  EXPECT_EQ(FileReadAt(f, 11, buf, 8), 2);
  EXPECT_EQ(std::string(buf, 2), "bc");
  EXPECT_EQ(FileReadAt(f, 100, buf, 8), 0);  // past the end: empty, no error
  EXPECT_TRUE(FileTruncate(f, 5));
  EXPECT_EQ(FileSize(f), 5);
  EXPECT_TRUE(FileFlush(f));
  EXPECT_TRUE(FileClose(f));
  EXPECT_FALSE(FileClose(kInvalidFile));
  EXPECT_EQ(FileOpen((dir / "missing").c_str(), kFileRead), kInvalidFile);
  EXPECT_EQ(FileOpen(path.c_str(), kFileWrite | kFileNew), kInvalidFile);
}

TEST(FileTest, OneHandleAtATimeHoldsTheLock) {
  TempDir dir("lock");
  const std::string path = dir / "journal";
  ASSERT_TRUE(WriteFileBytes(path, "records"));
  FileHandle first = FileOpen(path.c_str(), kFileRead | kFileWrite);
  FileHandle second = FileOpen(path.c_str(), kFileRead | kFileWrite);
  ASSERT_NE(first, kInvalidFile);
  ASSERT_NE(second, kInvalidFile);
  EXPECT_TRUE(FileTryLock(first));
  EXPECT_FALSE(FileTryLock(second)) << "held through the first handle";
  EXPECT_EQ(FileWriteAt(first, 7, "+", 1), 1) << "the holder still writes";
  EXPECT_TRUE(FileClose(first));
  EXPECT_TRUE(FileTryLock(second)) << "closing the holder ends the lock";
  EXPECT_TRUE(FileClose(second));
  EXPECT_FALSE(FileTryLock(kInvalidFile));
}

TEST(FileTest, StartWritebackIsAnUncountedHint) {
  // The fault sweep counts only operations whose failure shows; starting
  // writeback changes no data, so an armed fault passes it by.
  TempDir dir("writeback");
  std::string path = dir / "f";
  FileHandle f = FileOpen(path.c_str(), kFileRead | kFileWrite | kFileCreate);
  ASSERT_NE(f, kInvalidFile);
  ASSERT_EQ(FileWriteAt(f, 0, "abcdef", 6), 6);
  ArmFault(1);
  EXPECT_TRUE(FileStartWriteback(f, 0, 6));
  EXPECT_TRUE(FileStartWriteback(f, 2, 0));
  EXPECT_FALSE(FileStartWriteback(kInvalidFile, 0, 6));
  EXPECT_FALSE(FaultFired());
  EXPECT_EQ(CountedOperations(), 0);
  DisarmFault();
  char buf[6] = {};
  EXPECT_EQ(FileReadAt(f, 0, buf, 6), 6);
  EXPECT_EQ(std::string(buf, 6), "abcdef");
  EXPECT_TRUE(FileClose(f));
}

TEST(FaultTest, TheKthOperationFails) {
  TempDir dir("fault");
  ASSERT_TRUE(WriteFileBytes(dir / "f", "x"));
  ArmFault(3);
  EXPECT_EQ(GetPathKind((dir / "f").c_str()), PathKind::kFile);  // 1
  EXPECT_EQ(GetPathKind((dir / "f").c_str()), PathKind::kFile);  // 2
  EXPECT_FALSE(FaultFired());
  EXPECT_EQ(GetPathKind((dir / "f").c_str()), PathKind::kNone);  // 3 fails
  EXPECT_TRUE(FaultFired());
  EXPECT_EQ(GetPathKind((dir / "f").c_str()), PathKind::kFile);  // only once
  EXPECT_EQ(CountedOperations(), 4);
  DisarmFault();
}

TEST(FaultTest, ARunOfOperationsFails) {
  TempDir dir("fault");
  ASSERT_TRUE(WriteFileBytes(dir / "f", "x"));
  const std::string f = dir / "f";
  ArmFault(2, 3);
  EXPECT_EQ(GetPathKind(f.c_str()), PathKind::kFile);  // 1
  for (int i = 2; i <= 4; ++i)
    EXPECT_EQ(GetPathKind(f.c_str()), PathKind::kNone) << i;
  EXPECT_EQ(GetPathKind(f.c_str()), PathKind::kFile);  // 5
  EXPECT_TRUE(FaultFired());
  ArmFault(1, 0);  // nothing to fail: disarmed
  EXPECT_EQ(GetPathKind(f.c_str()), PathKind::kFile);
  EXPECT_FALSE(FaultFired());
  DisarmFault();
}

TEST(ProcessTest, ModulePathNamesThisExecutable) {
  char path[kMaxPath];
  ASSERT_TRUE(GetModulePath(path, sizeof path));
  EXPECT_EQ(GetPathKind(path), PathKind::kFile);
  EXPECT_NE(std::string(path).find("platform_tests"), std::string::npos);
  char tiny[4];
  EXPECT_FALSE(GetModulePath(tiny, sizeof tiny));
}

}  // namespace
}  // namespace platform
