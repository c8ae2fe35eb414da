// Names made safe to show, and JSON that stays valid for any name.
#include "display_name.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "json_output.h"

namespace {

struct NameCase {
  const char* what;
  std::string name;     // cp932 bytes
  std::string escaped;  // EscapeName
  std::string utf8;     // Utf8Name
};

const NameCase kNames[] = {
    {"plain", "data/readme.txt", "data/readme.txt", "data/readme.txt"},
    {"cp932 with trail byte 0x5C", "\x95\x5C/\x83\x5C.bin", "\x95\x5C/\x83\x5C.bin",
     "\xE8\xA1\xA8/\xE3\x82\xBD.bin"},  // 表/ソ.bin
    {"escape sequence", "a\x1b[2Kb", "a\\x1b[2Kb", "a\\x1b[2Kb"},
    {"tab, newline, DEL", "t\tn\nd\x7f", "t\\x09n\\x0ad\\x7f", "t\\x09n\\x0ad\\x7f"},
    {"lone lead byte at the end", "ab\x81", "ab\\x81", "ab\\x81"},
    {"lead byte before a control character", "\x81\n", "\\x81\\x0a", "\\x81\\x0a"},
    {"pair that is no character", "x\x85\x40y", "x\\x85@y", "x\\x85@y"},
    {"valid character after an invalid one", "\x85\x40\x95\x5C", "\\x85@\x95\x5C",
     "\\x85@\xE8\xA1\xA8"},
    {"quotes and backslashes stay", "a\"b\\c", "a\"b\\c", "a\"b\\c"},
    {"empty", "", "", ""},
};

TEST(DisplayName, ControlCharactersAndNonCharactersAreEscaped) {
  for (const NameCase& c : kNames) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(tools::EscapeName(c.name), c.escaped);
    EXPECT_EQ(tools::Utf8Name(c.name), c.utf8);
  }
}

TEST(DisplayName, EveryByteGivesValidUtf8AndNoControlCharacter) {
  for (int a = 0; a < 256; ++a) {
    for (int b : {0x00, 0x0A, 0x1B, 0x40, 0x5C, 0x7F, 0x80, 0xA0, 0xFC, 0xFF}) {
      const std::string name{static_cast<char>(a), static_cast<char>(b), 'z'};
      const std::string utf8 = tools::Utf8Name(name);
      // nlohmann/json refuses (throws on) invalid UTF-8 by default.
      EXPECT_NO_THROW(nlohmann::json(utf8).dump()) << a << " " << b;
      for (unsigned char c : utf8) EXPECT_FALSE(c < 0x20 || c == 0x7F) << a << " " << b;
    }
  }
}

TEST(JsonOutput, AListingParsesBackWithItsNames) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    tools::JsonObjectWriter writer(file);
    writer.Member("kind", "test");
    writer.BeginList("entries");
    for (const NameCase& c : kNames)
      writer.Add({{"name", tools::Utf8Name(c.name)}, {"size", 1}});
    writer.EndList();
    writer.BeginList("empty");
    writer.EndList();
    writer.Member("count", 10);
    writer.Finish();
  }
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    text.append(buffer, n);
  std::fclose(file);
  const nlohmann::json parsed = nlohmann::json::parse(text);
  ASSERT_EQ(parsed["entries"].size(), sizeof kNames / sizeof *kNames);
  for (std::size_t i = 0; i < parsed["entries"].size(); ++i)
    EXPECT_EQ(parsed["entries"][i]["name"], kNames[i].utf8);
  EXPECT_EQ(parsed["count"], 10);
  EXPECT_EQ(parsed["kind"], "test");
  EXPECT_EQ(parsed["empty"], nlohmann::json::array());
}

}  // namespace
