// The producer library's name checks and its command stream round trip.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/patch_format.h"
#include "patchlib/command_decoder.h"
#include "patchlib/command_writer.h"
#include "patchlib/entry_name.h"

namespace patchlib {
namespace {

TEST(EntryName, RelativePathsAndResolution) {
  struct Case {
    std::string name;
    bool safe;     // extractable below a directory
    bool inside;   // the updater resolves it inside the game directory
  } cases[] = {
      {"a.txt", true, true},
      {"dir/sub/a.txt", true, true},
      {"\x95\x5C/\x83\x5C.txt", true, true},  // trail bytes 0x5C: no separators
      {"../a.txt", false, false},
      {"a/../../b.txt", false, false},  // kept literally, then climbed by the OS
      {"a/../b.txt", false, true},
      {"..\\a.txt", false, false},
      {".../a.txt", false, false},      // three dots climb two levels
      {"/abs.txt", false, false},
      {"\\abs.txt", false, false},
      {"D:x.txt", false, false},
      {"a//b", false, true},
      {"", false, false},
      {"a?b", false, true},
      {"..x/a.txt", true, true},        // dots and more: an ordinary name
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(SafeRelativePath(c.name, &why), c.safe) << c.name;
    EXPECT_EQ(ResolvesInsideGame(c.name), c.inside) << c.name;
  }
}

TEST(CommandStream, WrittenCommandsDecodeBackAndLongNamesAreRefused) {
  zorl::KFile out, content;
  ASSERT_TRUE(out.OpenMemory("out", 4096, zorl::KMEM_READ | zorl::KMEM_WRITE));
  ASSERT_TRUE(content.OpenMemory("content", 3, zorl::KMEM_READ | zorl::KMEM_WRITE));
  ASSERT_EQ(content.Write("abc", 3), 3);
  CommandWriter writer(out);
  ASSERT_TRUE(writer.EmptyTree("cache"));
  ASSERT_TRUE(writer.WriteFile("d/\x95\x5C.txt", content, 3));
  ASSERT_TRUE(writer.PutEntry("e", content, 3));
  ASSERT_TRUE(writer.RemoveEntry("gone"));
  EXPECT_FALSE(writer.DeleteFile(std::string(263, 'x')));
  EXPECT_NE(writer.error().find("262"), std::string::npos);
  // After a failure the stream is unusable, so no half stream can be kept.
  EXPECT_FALSE(writer.Finish());

  zorl::KFile out2;
  ASSERT_TRUE(out2.OpenMemory("out2", 4096, zorl::KMEM_READ | zorl::KMEM_WRITE));
  CommandWriter ok(out2);
  ASSERT_TRUE(ok.WriteFile(std::string(262, 'n'), content, 3));
  ASSERT_TRUE(ok.MakeDirectory("m"));
  ASSERT_TRUE(ok.Finish());
  EXPECT_EQ(ok.count(updater::kOpWriteFile), 1u);
  EXPECT_EQ(ok.raw_bytes(), 4u + 4 + 262 + 4 + 3 + 4 + 4 + 1);
  zorl::KFile in;
  ASSERT_TRUE(in.OpenView(out2, 0, static_cast<std::int32_t>(ok.compressed_bytes())));
  InflateReader reader(in);
  std::vector<DecodedCommand> seen;
  std::string error;
  ASSERT_TRUE(DecodeCommands(reader, [&](const DecodedCommand& c) { seen.push_back(c); },
                             &error)) << error;
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].opcode, 0u);
  EXPECT_EQ(seen[0].name, std::string(262, 'n'));
  EXPECT_EQ(seen[0].size, 3);
  EXPECT_EQ(seen[1].opcode, 2u);
  EXPECT_EQ(seen[1].offset, 4u + 4 + 262 + 4 + 3);
}

}  // namespace
}  // namespace patchlib
