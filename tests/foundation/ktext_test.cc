#include "foundation/ktext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zorl {
namespace {

// "表" in cp932 is 0x95 0x5C: its trail byte is the code of "\".
const char kHyo[] = "\x95\x5C";
// "ア" is 0x83 0x41: its trail byte is the code of "A".
const char kA[] = "\x83\x41";

std::vector<std::string> Split(const char* line) {
  KList<char> list;
  std::uint32_t n = SplitCommandLine(line, list);
  std::vector<std::string> out;
  for (auto p = list.Begin(); p != list.End(); p = list.Next(p))
    out.push_back(list.At(p).Get());
  EXPECT_EQ(n, out.size());
  return out;
}

TEST(CommandLineTest, SplitsAsDocumented) {
  struct Case {
    const char* line;
    std::vector<std::string> args;
  } cases[] = {
      {"a \"b c\"d \"\"e", {"a", "b cd", "\"e"}},
      {"", {}},
      {"  \t ", {}},
      {"one\ttwo  three", {"one", "two", "three"}},
      {"\"open to the end", {"open to the end"}},
      {"\"in \"\"quotes\"\"\"", {"in \"quotes\""}},
      {"x\"\"", {"x\""}},
      // A two-byte character whose trail byte is 0x22 never acts as a quote.
      {"\x81\x22 b", {"\x81\x22", "b"}},
      {"\x95\x5C\x83\x41 z", {"\x95\x5C\x83\x41", "z"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Split(c.line), c.args) << c.line;
}

TEST(TextTest, CopyTextCutsToBuffer) {
  char buffer[4];
  EXPECT_STREQ(CopyText(buffer, "abcdef", sizeof buffer), "abc");
  EXPECT_STREQ(CopyText(buffer, "ab", sizeof buffer), "ab");
  EXPECT_STREQ(CopyText(buffer, KRef<char>(), sizeof buffer), "");
  std::string long_name(300, 'n');
  char name[kNameBufferSize];
  CopyText(name, long_name.c_str(), sizeof name);
  EXPECT_EQ(std::string(name), std::string(263, 'n'));
  char joined[8] = "abc";
  EXPECT_STREQ(AppendText(joined, "defghij", sizeof joined), "abcdefg");
}

TEST(TextTest, ComparisonsCountBytesAndTwoByteCharacters) {
  EXPECT_EQ(CompareText("abcX", "abcY", 3), 0);
  EXPECT_EQ(CompareText("abcX", "abcY", 4), 1);
  EXPECT_EQ(CompareText("ab", "ab", 100), 0);
  EXPECT_EQ(CompareText("ab", "abc", 100), 1);

  EXPECT_EQ(CompareTextNoCase("MarEld.DAT", "mareld.dat", 264), 0);
  EXPECT_EQ(CompareTextNoCase("a", "b", 1), 1);
  // The trail byte 0x41 is not the letter "A": no case folding inside it.
  EXPECT_EQ(CompareTextNoCase("\x83\x41", "\x83\x61", 2), 1);
  EXPECT_EQ(CompareTextNoCase(kA, kA, 2), 0);
  // A two-byte character never matches single bytes.
  EXPECT_EQ(CompareTextNoCase("\x83\x41", "ab", 2), 1);
  EXPECT_EQ(CompareTextNoCase("a\x83\x41", "a\x83", 3), 1);
  EXPECT_EQ(CompareTextNoCase("ab", "AB", 100), 0);
}

TEST(TextTest, CharacterCountsAndOffsets) {
  std::string text = std::string("a") + kHyo + "b" + kA;  // 4 characters
  EXPECT_EQ(CharCount(text.c_str()), 4u);
  EXPECT_EQ(CharToByteOffset(text.c_str(), 2), 3u);
  EXPECT_EQ(CharToByteOffset(text.c_str(), 10), text.size());
  EXPECT_EQ(CharToByteLength(text.c_str(), 1, 2), 3u);
  EXPECT_EQ(CharToByteLength(text.c_str(), 3, 5), 2u);
}

TEST(TextTest, FindFirstOfComparesWholeCharacters) {
  std::string path = std::string("dir") + kHyo + "/name";
  // The 0x5C inside "表" is no backslash.
  EXPECT_EQ(FindFirstOf(path.c_str(), "\\/"), 5);
  EXPECT_EQ(FindFirstOf(path.c_str(), kHyo), 3);
  EXPECT_EQ(FindFirstOf("abc", "xyz"), -1);
  EXPECT_EQ(FindFirstOf("", "a"), -1);
}

TEST(TextTest, LowerNameOnlyTouchesSingleByteLetters) {
  char name[32];
  std::string mixed = std::string("ABC") + kA + "XyZ" + kHyo + ".DAT";
  CopyText(name, mixed.c_str(), sizeof name);
  LowerName(name);
  EXPECT_EQ(std::string(name), std::string("abc") + kA + "xyz" + kHyo + ".dat");

  char key[kNameBufferSize];
  std::string long_name = std::string(300, 'Q');
  MakeNameKey(key, long_name.c_str());
  EXPECT_EQ(std::string(key), std::string(263, 'q'));
}

}  // namespace
}  // namespace zorl
