#include "engine/payload.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_fixture.h"

namespace {

using fixture::Section;

// Opens the payload of `pe` written to disk; "" and false when not found.
bool Locate(const fixture::TempDir& dir, const std::string& pe,
            std::string* payload) {
  const std::string path = dir / "u.exe";
  EXPECT_TRUE(fixture::WriteBytes(path, pe));
  zorl::KFile view;
  if (!updater::LocatePayload(path.c_str(), view)) return false;
  payload->assign(static_cast<std::size_t>(view.GetSize()), '\0');
  EXPECT_EQ(view.Read(static_cast<std::uint32_t>(payload->size()), &(*payload)[0]),
            static_cast<std::int32_t>(payload->size()));
  return true;
}

TEST(LocatePayload, StartsAfterTheDecidingSection) {
  struct Case {
    const char* what;
    std::vector<Section> sections;
    std::size_t zeros_before_overlay;  // raw data between payload start and overlay
  } cases[] = {
      {"one section", {{0x200, 0x200}}, 0},
      {"equal start, larger size wins", {{0x100, 0x400}, {0x300, 0x400}}, 0},
      {"equal start, larger size first", {{0x300, 0x400}, {0x100, 0x400}}, 0},
      // A smaller start never replaces a larger one, whatever its size: the
      // payload starts at 0x900 although the file's sections end at 0xA00.
      {"greatest start decides", {{0x800, 0x200}, {0x100, 0x800}}, 0x100},
      {"zero pointer or size never decide",
       {{0x200, 0x200}, {0x1000, 0}, {0, 0x800}}, 0xC00},
  };
  for (const auto& c : cases) {
    fixture::TempDir dir;
    std::string payload;
    ASSERT_TRUE(Locate(dir, fixture::MakePe(c.sections, "OVERLAY"), &payload))
        << c.what;
    EXPECT_EQ(payload, std::string(c.zeros_before_overlay, '\0') + "OVERLAY")
        << c.what;
  }
}

TEST(LocatePayload, RejectsFilesWithoutAPayload) {
  std::string good = fixture::MakePe({{0x200, 0x200}}, "X");
  std::string bad_mz = good;
  bad_mz[0] = 'X';
  std::string bad_pe = good;
  bad_pe[64 + 1] = 'X';
  std::string far_header = good;
  far_header.replace(60, 4, fixture::Le32(0x7FFFFF00));
  std::string huge_header = good;
  huge_header.replace(60, 4, fixture::Le32(0x80000000u));
  struct Case {
    const char* what;
    std::string pe;
  } cases[] = {
      {"no overlay", fixture::MakePe({{0x200, 0x200}}, "")},
      {"no counted section", fixture::MakePe({{0, 0x200}, {0x200, 0}}, "X")},
      {"no section", fixture::MakePe({}, "X")},
      {"bad MZ", bad_mz},
      {"bad PE signature", bad_pe},
      {"header past the end", far_header},
      {"header offset with top bit", huge_header},
      {"short DOS header", good.substr(0, 63)},
      {"short file header", good.substr(0, 64 + 4 + 10)},
      {"short optional header", good.substr(0, 64 + 4 + 20 + 100)},
      {"short section table", good.substr(0, 64 + 4 + 20 + 240 + 20)},
  };
  for (const auto& c : cases) {
    fixture::TempDir dir;
    std::string payload;
    EXPECT_FALSE(Locate(dir, c.pe, &payload)) << c.what;
  }
  zorl::KFile view;
  EXPECT_FALSE(updater::LocatePayload("/nonexistent/u.exe", view));
}

// Inflates `compressed` (from a memory stream) into a file; returns the
// result and the output.
bool Inflate(const std::string& compressed, std::string* out,
             std::int32_t* source_end = nullptr) {
  fixture::TempDir dir;
  zorl::KFile source;
  EXPECT_TRUE(source.OpenMemory("src", compressed.size() + 1,
                                zorl::KMEM_READ | zorl::KMEM_WRITE));
  source.Write(compressed.data(), static_cast<std::uint32_t>(compressed.size()));
  source.SetEnd();
  source.Seek(zorl::KSEEK_BEGIN, 0);
  zorl::KFile destination;
  const std::string path = dir / "out";
  EXPECT_TRUE(destination.Open(15, path.c_str()));
  const bool ok = updater::InflatePayload(destination, source);
  if (source_end) *source_end = source.Tell();
  destination.Close();
  *out = fixture::ReadBytes(path);
  return ok;
}

std::string Sample(std::size_t n) {
  std::string s(n, '\0');
  std::uint32_t x = 12345;
  for (std::size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = static_cast<char>((x >> 16) % 7 + 'a');  // compressible noise
  }
  return s;
}

TEST(InflatePayload, InflatesWholeStreamsAndRejectsBrokenOnes) {
  const std::string big = Sample(3 * 1024 * 1024 + 17);  // many chunks
  const std::string packed = fixture::Deflate(big);
  std::string out;
  EXPECT_TRUE(Inflate(packed, &out));
  EXPECT_EQ(out, big);

  std::int32_t end = 0;
  EXPECT_TRUE(Inflate(fixture::Deflate("hello") + "TRAILING", &out, &end));
  EXPECT_EQ(out, "hello");
  EXPECT_EQ(end, static_cast<std::int32_t>(fixture::Deflate("hello").size()))
      << "bytes after the stream stay unread";

  EXPECT_TRUE(Inflate(fixture::Deflate(""), &out));
  EXPECT_EQ(out, "");

  EXPECT_FALSE(Inflate(packed.substr(0, packed.size() / 2), &out));
  EXPECT_FALSE(Inflate(packed.substr(0, packed.size() - 1), &out));
  EXPECT_FALSE(Inflate("this is not a zlib stream", &out));
  std::string corrupt = packed;
  corrupt[corrupt.size() / 2] ^= 0x55;
  EXPECT_FALSE(Inflate(corrupt, &out));
}

TEST(InflatePayload, StopsOnceTheOutputPassesTheLimit) {
  // The default limit is what 32-bit positions address (2 GiB); a small
  // one shows where the inflater stops without writing gigabytes.
  const std::string data = Sample(3 * 1024 * 1024);
  const std::string packed = fixture::Deflate(data);
  fixture::TempDir dir;
  for (const std::uint64_t limit : {std::uint64_t{1024 * 1024},
                                    std::uint64_t{data.size() - 1},
                                    std::uint64_t{data.size()}}) {
    zorl::KFile source, destination;
    ASSERT_TRUE(source.OpenMemory("src", packed.size(), zorl::KMEM_READ | zorl::KMEM_WRITE));
    source.Write(packed.data(), static_cast<std::uint32_t>(packed.size()));
    source.Seek(zorl::KSEEK_BEGIN, 0);
    ASSERT_TRUE(destination.Open(15, (dir / "out").c_str()));
    bool too_large = true;
    const bool ok = updater::InflatePayload(destination, source, {}, &too_large, limit);
    destination.Close();
    EXPECT_EQ(ok, limit >= data.size()) << limit;
    EXPECT_EQ(too_large, limit < data.size()) << limit;
    EXPECT_LE(fixture::ReadBytes(dir / "out").size(), limit)
        << "nothing past the limit is written";
  }
  EXPECT_EQ(updater::kMaxPayloadSize, 0x7FFFFFFFu);
  bool too_large = true;
  zorl::KFile source, destination;
  ASSERT_TRUE(source.OpenMemory("src", 8, zorl::KMEM_READ | zorl::KMEM_WRITE));
  source.Write("garbage!", 8);
  source.Seek(zorl::KSEEK_BEGIN, 0);
  ASSERT_TRUE(destination.OpenMemory("dst", 8, zorl::KMEM_WRITE));
  EXPECT_FALSE(updater::InflatePayload(destination, source, {}, &too_large));
  EXPECT_FALSE(too_large) << "a broken stream is not a large one";
}

TEST(InflatePayload, FailsWhenTheDestinationIsShort) {
  const std::string packed = fixture::Deflate(Sample(1000));
  zorl::KFile source, destination;
  ASSERT_TRUE(source.OpenMemory("src", packed.size(), zorl::KMEM_READ | zorl::KMEM_WRITE));
  source.Write(packed.data(), static_cast<std::uint32_t>(packed.size()));
  source.Seek(zorl::KSEEK_BEGIN, 0);
  ASSERT_TRUE(destination.OpenMemory("dst", 999, zorl::KMEM_WRITE));
  EXPECT_FALSE(updater::InflatePayload(destination, source));
}

}  // namespace
