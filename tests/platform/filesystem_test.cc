#include "platform/filesystem.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/fault.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/text.h"
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
