#include "foundation/kfile.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/kexcept.h"
#include "platform/fault.h"
#include "platform/filesystem.h"
#include "support/temp_dir.h"

namespace zorl {
namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// 1000 bytes whose value is the offset modulo 251, so any misplaced read
// shows.
std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 251);
  return s;
}

class KFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ / "data.bin";
    ASSERT_TRUE(WriteFileBytes(path_, Pattern(1000)));
  }
  TempDir dir_{"kfile"};
  std::string path_;
};

TEST_F(KFileTest, OpenModes) {
  KFile f;
  EXPECT_FALSE(f.Open(KFILE_READ, (dir_ / "missing").c_str()));
  EXPECT_FALSE(f.IsOpen());
  ASSERT_TRUE(f.Open(KFILE_READ, path_.c_str()));
  // A second open is refused and the open file is untouched.
  EXPECT_FALSE(f.Open(KFILE_READ, (dir_ / "other").c_str()));
  EXPECT_EQ(f.GetSize(), 1000);
  EXPECT_STREQ(f.GetName(), path_.c_str());
  EXPECT_TRUE(f.Close());
  EXPECT_FALSE(f.Close());

  // 15: read and write, create or empty.
  ASSERT_TRUE(f.Open(15, path_.c_str()));
  EXPECT_EQ(f.GetSize(), 0);
  EXPECT_EQ(f.Write("abc", 3), 3);
  f.Close();
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(path_, &bytes));
  EXPECT_EQ(bytes, "abc");

  // 8 alone: only a new file.
  EXPECT_FALSE(f.Open(KFILE_WRITE | KFILE_NEW, path_.c_str()));
  EXPECT_TRUE(f.Open(KFILE_WRITE | KFILE_NEW, (dir_ / "fresh").c_str()));
  f.Close();
  // 4 alone: open always, keeping the content.
  ASSERT_TRUE(f.Open(KFILE_READ | KFILE_CREATE, path_.c_str()));
  EXPECT_EQ(f.GetSize(), 3);
}

// Neither KFILE_READ nor KFILE_WRITE: the file opens (or is made) as the
// create bits say, answers its size, and every transfer fails.
TEST_F(KFileTest, ModesWithoutAccessOpenButNeverTransfer) {
  struct Case {
    unsigned mode;
    bool existing;
    bool opens;
    long size_after;  // of the file on disk; -1: still missing
  };
  const Case cases[] = {
      {0, true, true, 1000},
      {0, false, false, -1},
      {KFILE_CREATE, true, true, 1000},
      {KFILE_CREATE, false, true, 0},
      {KFILE_NEW, true, false, 1000},
      {KFILE_NEW, false, true, 0},
      {KFILE_CREATE | KFILE_NEW, true, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "mode " << c.mode << (c.existing ? " on a file" : " on nothing"));
    const std::string path = c.existing ? path_ : dir_ / "absent";
    KFile f;
    EXPECT_EQ(f.Open(c.mode, path.c_str()), c.opens);
    if (c.opens) {
      char buf[8];
      EXPECT_EQ(f.Read(4, buf), -1);
      EXPECT_EQ(f.Write("abcd", 4), -1);
      EXPECT_FALSE(f.Flush());
      EXPECT_EQ(f.GetSize(), c.size_after);
      EXPECT_TRUE(f.Close());
    }
    std::string bytes;
    if (c.size_after < 0) {
      EXPECT_FALSE(ReadFileBytes(path, &bytes));
    } else {
      ASSERT_TRUE(ReadFileBytes(path, &bytes));
      EXPECT_EQ(static_cast<long>(bytes.size()), c.size_after);
      if (c.size_after > 0) {
        EXPECT_EQ(bytes, Pattern(1000));
      }
    }
    ASSERT_TRUE(WriteFileBytes(path_, Pattern(1000)));
    platform::RemoveFile((dir_ / "absent").c_str());
  }
}

TEST_F(KFileTest, ViewArithmetic) {
  KFile f;
  ASSERT_TRUE(f.Open(KFILE_READ, path_.c_str()));
  KFile v;
  ASSERT_TRUE(v.OpenView(f, 100, 50));
  EXPECT_EQ(v.GetSize(), 50);
  unsigned char buf[80];
  EXPECT_EQ(v.Read(80, buf), 50);
  for (int i = 0; i < 50; ++i) ASSERT_EQ(buf[i], (100 + i) % 251);
  EXPECT_EQ(v.Read(1, buf), -1);  // the limit is a failure, not an empty read
  EXPECT_EQ(v.Tell(), 50);

  // Seeking to the end with offset 0 lands on the limit.
  EXPECT_TRUE(v.Seek(KSEEK_BEGIN, 10));
  EXPECT_TRUE(v.Seek(KSEEK_END, 0));
  EXPECT_EQ(v.Tell(), 50);
  EXPECT_TRUE(v.Seek(KSEEK_END, -5));
  EXPECT_EQ(v.Read(10, buf), 5);
  EXPECT_EQ(buf[0], 145);

  // A view of a view narrows further; the length is cut to what remains.
  KFile vv;
  ASSERT_TRUE(vv.OpenView(v, 40, 100));
  EXPECT_EQ(vv.GetSize(), 10);
  EXPECT_EQ(vv.Read(100, buf), 10);
  EXPECT_EQ(buf[0], 140);
  // A view past its source's window is empty, never a huge wrapped one.
  KFile beyond;
  ASSERT_TRUE(beyond.OpenView(v, 60, -1));
  EXPECT_EQ(beyond.GetSize(), 0);
  EXPECT_EQ(beyond.Read(1, buf), -1);

  // Offset -1 starts at the source's position.
  f.Seek(KSEEK_BEGIN, 990);
  KFile tail;
  ASSERT_TRUE(tail.OpenView(f, -1, -1));
  EXPECT_EQ(tail.GetSize(), 10);
  EXPECT_EQ(tail.Read(100, buf), 10);  // physical end: a short read
  EXPECT_EQ(tail.Read(100, buf), 0);   // then an empty one
  EXPECT_EQ(buf[0], 990 % 251);
}

TEST_F(KFileTest, ViewsUsedAlternatelyReadTheirOwnBytes) {
  KFile f;
  ASSERT_TRUE(f.Open(KFILE_READ, path_.c_str()));
  KFile a, b;
  ASSERT_TRUE(a.OpenView(f, 0, 500));
  ASSERT_TRUE(b.OpenView(f, 500, 500));
  unsigned char x, y;
  for (int i = 0; i < 500; ++i) {
    ASSERT_EQ(a.Read(1, &x), 1);
    ASSERT_EQ(b.Read(1, &y), 1);
    ASSERT_EQ(x, i % 251);
    ASSERT_EQ(y, (500 + i) % 251);
  }
  // The source keeps its own position too.
  EXPECT_EQ(f.Tell(), 0);
}

TEST_F(KFileTest, LastSharerClosesTheHandle) {
  KFile view;
  {
    KFile f;
    ASSERT_TRUE(f.Open(KFILE_READ, path_.c_str()));
    ASSERT_TRUE(view.OpenView(f, 0, -1));
    platform::ResetOperationCount();
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(platform::CountedOperations(), 0);  // no native close yet
  }
  unsigned char buf[4];
  EXPECT_EQ(view.Read(4, buf), 4);
  platform::ResetOperationCount();
  EXPECT_TRUE(view.Close());
  EXPECT_EQ(platform::CountedOperations(), 1);  // the native close
  // Copies are whole-window views of their source.
  KFile f;
  ASSERT_TRUE(f.Open(KFILE_READ, path_.c_str()));
  KFile copy(f);
  EXPECT_EQ(copy.GetSize(), 1000);
  KFile assigned;
  assigned = copy;
  EXPECT_TRUE(assigned.Seek(KSEEK_BEGIN, 999));
  EXPECT_EQ(assigned.Read(4, buf), 1);
}

TEST_F(KFileTest, FileSeeksClampAndFail) {
  KFile f;
  ASSERT_TRUE(f.Open(KFILE_READ, path_.c_str()));
  KFile v;
  ASSERT_TRUE(v.OpenView(f, 100, 50));
  struct Step {
    std::uint32_t origin;
    std::int32_t offset;
    bool ok;
    std::int32_t position;
  } steps[] = {
      {KSEEK_BEGIN, 20, true, 20},   {KSEEK_BEGIN, -1, false, 0},
      {KSEEK_BEGIN, 60, false, 50},  {KSEEK_CURRENT, -10, true, 40},
      {KSEEK_CURRENT, 11, false, 50}, {KSEEK_CURRENT, -51, false, 0},
      {KSEEK_END, 1, false, 50},     {KSEEK_END, -51, false, 0},
      {KSEEK_END, -50, true, 0},     {3, 0, false, 0},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(v.Seek(s.origin, s.offset), s.ok) << s.origin << " " << s.offset;
    EXPECT_EQ(v.Tell(), s.position) << s.origin << " " << s.offset;
  }
  // Without a limit, the end is the file's.
  EXPECT_TRUE(f.Seek(KSEEK_END, -1));
  EXPECT_EQ(f.Tell(), 999);
  EXPECT_FALSE(f.Seek(KSEEK_END, 5));
  EXPECT_EQ(f.Tell(), 1000);
  EXPECT_FALSE(f.Seek(KSEEK_END, -2000));
  EXPECT_EQ(f.Tell(), 1000);  // before the start of the file: no move
  EXPECT_TRUE(f.Seek(KSEEK_BEGIN, 5000));  // past the end of a file is fine
  unsigned char b;
  EXPECT_EQ(f.Read(1, &b), 0);
}

TEST_F(KFileTest, EveryViewOfAFileHasTheFilesIdentity) {
  KFile file, view, other;
  ASSERT_TRUE(file.Open(KFILE_READ, path_.c_str()));
  ASSERT_TRUE(view.OpenView(file, 100, 50));
  ASSERT_TRUE(WriteFileBytes(dir_ / "other.bin", Pattern(1000)));
  ASSERT_TRUE(other.Open(KFILE_READ, (dir_ / "other.bin").c_str()));
  platform::FileIdentity a, b, c;
  ASSERT_TRUE(file.GetIdentity(&a));
  ASSERT_TRUE(view.GetIdentity(&b));
  ASSERT_TRUE(other.GetIdentity(&c));
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c) << "the same bytes in another file";
  KFile memory, closed;
  ASSERT_TRUE(memory.OpenMemory("m", 10, KMEM_READ));
  EXPECT_FALSE(memory.GetIdentity(&c));
  EXPECT_FALSE(closed.GetIdentity(&c));
}

TEST(KFileMemoryTest, NamesAndSizes) {
  KFile m;
  EXPECT_FALSE(m.OpenMemory(KRef<char>(), 0, KMEM_READ));
  ASSERT_TRUE(m.OpenMemory(KRef<char>(), 8, KMEM_READ | KMEM_WRITE));
  EXPECT_STREQ(m.GetName(), "(In Memory)");
  EXPECT_FALSE(m.OpenMemory("again", 8, KMEM_READ));
  m.Close();
  ASSERT_TRUE(m.OpenMemory("", 8, KMEM_READ));
  EXPECT_STREQ(m.GetName(), "");
  std::string long_name(300, 'x');
  m.SetName(long_name.c_str());
  EXPECT_EQ(std::string(m.GetName()), std::string(263, 'x'));
}

TEST(KFileMemoryTest, TransfersNeverGrowTheBlock) {
  KFile m;
  ASSERT_TRUE(m.OpenMemory("m", 8, KMEM_READ | KMEM_WRITE));
  ASSERT_TRUE(m.Seek(KSEEK_BEGIN, 4));
  EXPECT_EQ(m.Write("0123456789", 10), 4);
  EXPECT_EQ(m.Write("x", 1), -1);  // at the end of the block
  EXPECT_EQ(m.Tell(), -1);         // ... the position is past the last byte
  ASSERT_TRUE(m.Seek(KSEEK_BEGIN, 0));
  m.Write("abcd", 4);
  ASSERT_TRUE(m.Seek(KSEEK_BEGIN, 0));
  char buf[16] = {};
  // A huge count must be cut, never wrap past the block.
  EXPECT_EQ(m.Read(0xFFFFFFFFu, buf), 8);
  EXPECT_EQ(std::string(buf, 8), "abcd0123");
  // Access bits are honoured.
  KFile ro;
  ASSERT_TRUE(ro.OpenMemory("ro", 4, KMEM_READ));
  EXPECT_EQ(ro.Write("a", 1), -1);
  KFile wo;
  ASSERT_TRUE(wo.OpenMemory("wo", 4, KMEM_WRITE));
  EXPECT_EQ(wo.Read(1, buf), -1);
  // Views of memory share the block.
  KFile v;
  ASSERT_TRUE(v.OpenView(m, 2, 4));
  EXPECT_EQ(v.Read(0xFFFFFFFFu, buf), 4);
  EXPECT_EQ(std::string(buf, 4), "cd01");
}

TEST(KFileMemoryTest, SeeksOnMemory) {
  KFile m;
  ASSERT_TRUE(m.OpenMemory("m", 10, KMEM_READ));
  // Landing exactly on the end fails and leaves the position there, while
  // seeking from the end by 0 succeeds.
  EXPECT_FALSE(m.Seek(KSEEK_BEGIN, 10));
  EXPECT_EQ(m.Seek(KSEEK_END, 0), true);
  EXPECT_TRUE(m.Seek(KSEEK_BEGIN, 9));
  EXPECT_FALSE(m.Seek(KSEEK_CURRENT, 1));
  EXPECT_TRUE(m.Seek(KSEEK_CURRENT, -3));
  EXPECT_FALSE(m.Seek(KSEEK_CURRENT, -20));
  EXPECT_TRUE(m.Seek(KSEEK_END, -10));
  EXPECT_FALSE(m.Seek(KSEEK_END, -11));
  EXPECT_FALSE(m.Seek(KSEEK_END, 1));
  EXPECT_FALSE(m.Seek(KSEEK_BEGIN, -1));
}

TEST(KFileThrowTest, ThrowModeIsSavedAndRestored) {
  KFile m;
  ASSERT_TRUE(m.OpenMemory("m", 4, KMEM_READ));
  char buf[8];
  EXPECT_FALSE(m.GetThrowMode());
  EXPECT_EQ(m.Seek(KSEEK_BEGIN, 9), false);  // no throw while the switch is off
  bool saved = m.SetThrowMode(true);
  EXPECT_FALSE(saved);
  try {
    m.Read(1, buf);
    FAIL() << "expected KExceptFile";
  } catch (const KExcept& e) {  // caught through its base
    EXPECT_STREQ(e.Text(), "KExceptFile");
    EXPECT_NE(dynamic_cast<const KExceptFile*>(&e), nullptr);
  }
  EXPECT_THROW(m.Seek(KSEEK_BEGIN, -1), KExceptFile);
  EXPECT_THROW(m.Seek(7, 0), KExceptFile);
  // A view copies the switch; SetEnd never throws.
  KFile v;
  ASSERT_TRUE(v.OpenView(m, 0, 2));
  EXPECT_TRUE(v.GetThrowMode());
  v.Seek(KSEEK_END, 0);
  EXPECT_THROW(v.Read(1, buf), KExceptFile);
  EXPECT_TRUE(m.SetThrowMode(saved));
  EXPECT_FALSE(m.GetThrowMode());
  EXPECT_TRUE(m.Seek(KSEEK_END, 0));
  EXPECT_EQ(m.Read(1, buf), -1);
  // Close clears the switch.
  v.Close();
  EXPECT_FALSE(v.GetThrowMode());
  KFile closed;
  closed.SetThrowMode(true);
  EXPECT_THROW(closed.GetSize(), KExceptFile);
  EXPECT_FALSE(closed.SetEnd());
}

TEST(KExceptTest, TextIsBoundedAndCopied) {
  std::string long_text(400, 'e');
  KExcept e(long_text.c_str());
  EXPECT_EQ(std::string(e.Text()), std::string(255, 'e'));
  KExceptFile f;
  KExceptFile g(f);
  EXPECT_STREQ(g.Text(), "KExceptFile");
}

TEST_F(KFileTest, SetEndTruncatesAtThePosition) {
  KFile f;
  ASSERT_TRUE(f.Open(KFILE_READ | KFILE_WRITE, path_.c_str()));
  ASSERT_TRUE(f.Seek(KSEEK_BEGIN, 300));
  EXPECT_TRUE(f.SetEnd());
  EXPECT_EQ(f.GetSize(), 300);
  EXPECT_TRUE(f.Flush());
  // Writing past the end extends the file.
  ASSERT_TRUE(f.Seek(KSEEK_BEGIN, 400));
  EXPECT_EQ(f.Write("z", 1), 1);
  EXPECT_EQ(f.GetSize(), 401);
}

TEST_F(KFileTest, InjectedFailuresComeBackAsResults) {
  KFile f;
  ASSERT_TRUE(f.Open(KFILE_READ, path_.c_str()));
  unsigned char buf[4];
  platform::ArmFault(1);
  EXPECT_EQ(f.Read(4, buf), -1);
  EXPECT_TRUE(platform::FaultFired());
  EXPECT_EQ(f.Tell(), 0);  // a failed transfer does not move
  EXPECT_EQ(f.Read(4, buf), 4);
  platform::ArmFault(1);
  KFile g;
  EXPECT_FALSE(g.Open(KFILE_READ, path_.c_str()));
  EXPECT_FALSE(g.IsOpen());
  platform::DisarmFault();
}

}  // namespace
}  // namespace zorl
