#include "foundation/kstring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zorl {
namespace {

const char kHyo[] = "\x95\x5C";  // trail byte 0x5C
const char kA[] = "\x83\x41";    // trail byte "A"

TEST(KStringTest, CapacityGrowsInStepsOf32AndNeverShrinks) {
  KString s;
  EXPECT_EQ(s.Capacity(), 0u);
  EXPECT_STREQ(s.Text(), "");
  s.Reserve(1);
  EXPECT_EQ(s.Capacity(), 32u);
  s.Reserve(33);
  EXPECT_EQ(s.Capacity(), 64u);
  s.Reserve(10);
  EXPECT_EQ(s.Capacity(), 64u);
  s.Assign("x");
  EXPECT_EQ(s.Capacity(), 64u);
  KString t;
  t.Assign(std::string(31, 'a').c_str());  // 31 + NUL fits in 32
  EXPECT_EQ(t.Capacity(), 32u);
  t.Append("b");  // 33 needed
  EXPECT_EQ(t.Capacity(), 64u);
  EXPECT_EQ(t.Length(), 32u);
}

TEST(KStringTest, EditsKeepTerminatorAndCopiesAreDeep) {
  KString s("game");
  s.Append("/data");
  EXPECT_TRUE(s.Equals("game/data"));
  EXPECT_EQ(s.Length(), 9u);
  KString copy(s);
  copy.Append("!");
  EXPECT_STREQ(s.Text(), "game/data");
  EXPECT_STREQ(copy.Text(), "game/data!");
  s.Assign("");
  EXPECT_EQ(s.Length(), 0u);
  EXPECT_STREQ(s.Text(), "");
  s.Assign("abcdef", 2, 3);
  EXPECT_STREQ(s.Text(), "cde");
  // Appending a string to itself reads the old bytes, not the new ones.
  s.Append(s.Text());
  EXPECT_STREQ(s.Text(), "cdecde");
  KString c = KString::Concat("hello", 1, 3, "world", 2, 2);
  EXPECT_STREQ(c.Text(), "ellrl");
  EXPECT_TRUE(c.Equals("ll", 1, 2));
  EXPECT_FALSE(c.Equals("ll", 2, 2));
  EXPECT_FALSE(c.Equals("ll", 4, 2));  // runs past the end
}

TEST(KStringTest, SplitAtFirstCharacterOfSet) {
  KString s("key=value=more");
  KString before = s.SplitBefore("=");
  EXPECT_STREQ(before.Text(), "key");
  EXPECT_STREQ(s.Text(), "value=more");

  KString t("key=value");
  KString after = t.SplitAfter("=");
  EXPECT_STREQ(after.Text(), "value");
  EXPECT_STREQ(t.Text(), "key");

  // No separator: the whole text comes back and the source is emptied.
  KString u("plain");
  EXPECT_STREQ(u.SplitAfter("=").Text(), "plain");
  EXPECT_TRUE(u.IsEmpty());
  KString v("plain");
  EXPECT_STREQ(v.SplitBefore("=").Text(), "plain");
  EXPECT_TRUE(v.IsEmpty());

  // A two-byte separator is dropped whole; a trail byte never separates.
  KString w((std::string("a") + kHyo + "b\\c").c_str());
  KString head = w.SplitBefore("\\");
  EXPECT_EQ(std::string(head.Text()), std::string("a") + kHyo + "b");
  EXPECT_STREQ(w.Text(), "c");
  KString x((std::string("x") + kA + "y").c_str());
  EXPECT_STREQ(x.SplitBefore(kA).Text(), "x");
  EXPECT_STREQ(x.Text(), "y");

  KString y("name.ext;rest");
  y.CutAt(";.");
  EXPECT_STREQ(y.Text(), "name");
  EXPECT_EQ(y.Length(), 4u);
}

// A lead byte at the very end has no trail byte: as a separator it is one
// byte wide, and only a set holding that lone byte matches it.
TEST(KStringTest, SplitAtALoneLeadByteDropsOneByte) {
  struct Case {
    const char* text;
    const char* set;
    const char* before;  // what stays before the separator
    const char* after;   // what follows it
  };
  const Case cases[] = {
      {"abc\x81", "\x81", "abc", ""},
      {"\x81", "\x81", "", ""},
      {"abc\xFC", "=\xFC", "abc", ""},
      // A whole pair is no match for its lead byte alone.
      {"ab\x82\xA0", "\x82", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    KString s(c.text), t(c.text), u(c.text);
    KString before = s.SplitBefore(c.set);
    KString after = t.SplitAfter(c.set);
    u.CutAt(c.set);
    if (!c.before) {  // no separator: the whole text comes back
      EXPECT_STREQ(before.Text(), c.text);
      EXPECT_TRUE(s.IsEmpty());
      EXPECT_STREQ(after.Text(), c.text);
      EXPECT_TRUE(t.IsEmpty());
      EXPECT_STREQ(u.Text(), c.text);
      continue;
    }
    EXPECT_STREQ(before.Text(), c.before);
    EXPECT_STREQ(s.Text(), c.after);
    EXPECT_EQ(s.Length(), std::strlen(c.after));
    EXPECT_STREQ(after.Text(), c.after);
    EXPECT_EQ(after.Length(), std::strlen(c.after));
    EXPECT_STREQ(t.Text(), c.before);
    EXPECT_STREQ(u.Text(), c.before);
    EXPECT_EQ(u.Length(), std::strlen(c.before));
  }
}

TEST(KStringTest, WideConversionKeepsTwoByteCharactersWhole) {
  KString s((std::string("a") + kHyo + kA).c_str());
  EXPECT_EQ(s.CharCount(), 3u);
  std::vector<std::uint16_t> wide = s.ToWide();
  EXPECT_EQ(wide, (std::vector<std::uint16_t>{0x61, 0x955C, 0x8341}));
  KString back;
  back.AssignWide(wide.data(), wide.size());
  EXPECT_TRUE(back.Equals(s.Text()));
}

TEST(KStringTest, LowerNameLeavesTwoByteCharacters) {
  KString s((std::string("ABC") + kA + "D").c_str());
  s.LowerName();
  EXPECT_EQ(std::string(s.Text()), std::string("abc") + kA + "d");
}

}  // namespace
}  // namespace zorl
