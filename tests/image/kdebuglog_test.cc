#include "image/kdebuglog.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace zorl {
namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

class KDebugLogTest : public ::testing::Test {
 protected:
  void TearDown() override { KDebugLogClose(); }
  std::string Contents() {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path_, &bytes));
    return bytes;
  }
  TempDir dir_{"debuglog"};
  std::string path_ = dir_ / "log.txt";
};

TEST_F(KDebugLogTest, LineEndsBecomeCrLfAndCrIsDropped) {
  ASSERT_TRUE(KDebugLogOpen(path_.c_str()));
  KDebugLogWrite("[KimgLoad] \"");
  KDebugLogWrite("a.png");
  KDebugLogWrite("\": Load Error\n");
  KDebugLogWrite("one\r\ntwo\rthree\n\n");
  KDebugLogWrite("");
  EXPECT_EQ(Contents(),
            "[KimgLoad] \"a.png\": Load Error\r\none\r\ntwothree\r\n\r\n");
}

TEST_F(KDebugLogTest, TwoByteCharactersStayWholeAcrossTheBuffer) {
  ASSERT_TRUE(KDebugLogOpen(path_.c_str()));
  // A trail byte is never read as a line end: "\x83\n" is one character.
  KDebugLogWrite("\x83\n|\n");
  // 700 bytes: one-byte letters, line ends and two-byte characters at every
  // offset modulo the file buffer, so some pairs meet its end.
  std::string piece, expected;
  for (int i = 0; piece.size() < 700; ++i) {
    if (i % 7 == 3) {
      piece += "\x82\xa0";
      expected += "\x82\xa0";
    } else if (i % 11 == 5) {
      piece += "\n";
      expected += "\r\n";
    } else {
      piece += static_cast<char>('a' + i % 26);
      expected += static_cast<char>('a' + i % 26);
    }
  }
  KDebugLogWrite(piece.c_str());
  EXPECT_EQ(Contents(), "\x83\n|\r\n" + expected);
}

TEST_F(KDebugLogTest, AppendsToAnExistingFileAndStopsWhenClosed) {
  ASSERT_TRUE(WriteFileBytes(path_, "before\r\n"));
  ASSERT_TRUE(KDebugLogOpen(path_.c_str()));
  KDebugLogWrite("first\n");
  KDebugLogClose();
  KDebugLogWrite("not in the file\n");
  EXPECT_EQ(Contents(), "before\r\nfirst\r\n");
  ASSERT_TRUE(KDebugLogOpen(path_.c_str()));
  KDebugLogWrite("again\n");
  EXPECT_EQ(Contents(), "before\r\nfirst\r\nagain\r\n");
  // A log file that cannot be opened leaves none attached.
  EXPECT_FALSE(KDebugLogOpen((dir_ / "missing/log.txt").c_str()));
  KDebugLogWrite("lost\n");
  EXPECT_EQ(Contents(), "before\r\nfirst\r\nagain\r\n");
}

}  // namespace
}  // namespace zorl
