// The payload's zlib stream compressed on several threads: what any inflater
// and the updater's own read back, what it costs in size, and that its bytes
// do not depend on the threads or on how the input arrives.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/payload.h"
#include "foundation/kfile.h"
#include "patchlib/parallel_deflate.h"

namespace patchlib {
namespace {

using Bytes = std::vector<unsigned char>;
constexpr std::size_t kBlock = ParallelDeflate::kBlockSize;

// Compresses `input` handed in pieces of `piece` bytes.
Bytes Parallel(const Bytes& input, unsigned threads, std::size_t piece,
               int level = 9) {
  Bytes out;
  ParallelDeflate deflater(level, threads,
                           [&](const unsigned char* data, std::size_t size) {
                             out.insert(out.end(), data, data + size);
                             return true;
                           });
  for (std::size_t at = 0; at < input.size(); at += piece)
    EXPECT_TRUE(deflater.Write(input.data() + at,
                               std::min(piece, input.size() - at)));
  EXPECT_TRUE(deflater.Finish());
  return out;
}

Bytes SingleRun(const Bytes& input) {
  uLongf size = compressBound(static_cast<uLong>(input.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, input.data(),
                      static_cast<uLong>(input.size()), 9),
            Z_OK);
  out.resize(size);
  return out;
}

// zlib's inflate, strict: the stream must end exactly at the end of `z`
// and its Adler-32 must match (inflate checks it).
bool InflateExactly(const Bytes& z, Bytes* out) {
  z_stream s{};
  if (inflateInit(&s) != Z_OK) return false;
  out->assign(64, 0);
  s.next_in = const_cast<Bytef*>(z.data());
  s.avail_in = static_cast<uInt>(z.size());
  int result = Z_OK;
  std::size_t have = 0;
  while (result == Z_OK) {
    if (have == out->size()) out->resize(out->size() * 2);
    s.next_out = out->data() + have;
    s.avail_out = static_cast<uInt>(out->size() - have);
    result = inflate(&s, Z_NO_FLUSH);
    have = out->size() - s.avail_out;
  }
  out->resize(have);
  const bool whole = result == Z_STREAM_END && s.avail_in == 0;
  inflateEnd(&s);
  return whole;
}

// Data that repeats earlier stretches of itself up to 64 KiB back (so a
// block finds matches in the block before), between runs of fresh letters;
// and data that does not compress.
Bytes Compressible(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes out;
  out.reserve(size);
  while (out.size() < size) {
    const std::size_t length = 8 + random() % 120;
    if (out.size() > 65536 && random() % 4 != 0) {
      const std::size_t from = out.size() - 1 - random() % 65536;
      for (std::size_t i = 0; i < length; ++i) out.push_back(out[from + i]);
    } else {
      for (std::size_t i = 0; i < length; ++i)
        out.push_back(static_cast<unsigned char>('a' + random() % 26));
    }
  }
  out.resize(size);
  return out;
}
Bytes Random(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes out(size);
  for (unsigned char& b : out) b = static_cast<unsigned char>(random());
  return out;
}

TEST(ParallelDeflate, EveryBlockBoundaryInflatesBackWithItsChecksum) {
  struct Case {
    const char* what;
    Bytes input;
  } cases[] = {
      {"nothing", {}},
      {"one byte", {0x42}},
      {"shorter than the dictionary", Compressible(1000, 1)},
      {"exactly one block", Compressible(kBlock, 2)},
      {"one block and a byte", Compressible(kBlock + 1, 3)},
      {"three blocks and a bit", Compressible(3 * kBlock + 4321, 4)},
      {"incompressible, two blocks", Random(2 * kBlock + 17, 5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes z = Parallel(c.input, 2, 65536);
    Bytes back;
    ASSERT_TRUE(InflateExactly(z, &back));
    EXPECT_TRUE(back == c.input);
  }
}

TEST(ParallelDeflate, SameBytesForAnyThreadsAndAnyWayOfHandingInInput) {
  // A short last block after a full one: its dictionary is the end of the
  // block before.
  const Bytes input = Compressible(4 * kBlock + 100, 7);
  const Bytes reference = Parallel(input, 2, kBlock);
  EXPECT_TRUE(Parallel(input, 3, 1000) == reference);
  EXPECT_TRUE(Parallel(input, 8, 333333) == reference);
  EXPECT_TRUE(Parallel(input, 1, input.size()) == reference);
}

TEST(ParallelDeflate, CostsLittleAgainstOneRunBecauseBlocksReachBack) {
  const Bytes input = Compressible(6 * kBlock, 9);
  const double single = static_cast<double>(SingleRun(input).size());
  const double parallel = static_cast<double>(Parallel(input, 2, kBlock).size());
  // Without the dictionary each block would start cold; with it the
  // stream stays within half a percent of one run.
  EXPECT_LT(parallel, single * 1.005) << single << " vs " << parallel;
}

TEST(ParallelDeflate, TheUpdatersInflaterReadsItAndStopsAtItsEnd) {
  const Bytes input = Compressible(2 * kBlock + 999, 11);
  Bytes z = Parallel(input, 2, 4096);
  // Whatever follows the stream (a manifest, a signature) is not read.
  const std::string after = "trailing bytes after the stream";
  z.insert(z.end(), after.begin(), after.end());
  zorl::KFile source, destination;
  ASSERT_TRUE(source.OpenMemory("z", static_cast<std::int32_t>(z.size()),
                                zorl::KMEM_READ | zorl::KMEM_WRITE));
  ASSERT_EQ(source.Write(z.data(), static_cast<std::uint32_t>(z.size())),
            static_cast<std::int32_t>(z.size()));
  ASSERT_TRUE(source.Seek(zorl::KSEEK_BEGIN, 0));
  ASSERT_TRUE(destination.OpenMemory(
      "out", static_cast<std::int32_t>(input.size()),
      zorl::KMEM_READ | zorl::KMEM_WRITE));
  ASSERT_TRUE(updater::InflatePayload(destination, source));
  Bytes back(input.size());
  ASSERT_TRUE(destination.Seek(zorl::KSEEK_BEGIN, 0));
  ASSERT_EQ(destination.Read(static_cast<std::uint32_t>(back.size()), back.data()),
            static_cast<std::int32_t>(back.size()));
  EXPECT_TRUE(back == input);
}

TEST(ParallelDeflate, ARefusingSinkFailsTheStream) {
  int calls = 0;
  ParallelDeflate deflater(9, 2, [&](const unsigned char*, std::size_t) {
    return ++calls < 2;  // the header goes out, the first block does not
  });
  const Bytes input = Random(3 * kBlock, 13);
  bool ok = true;
  for (std::size_t at = 0; ok && at < input.size(); at += kBlock)
    ok = deflater.Write(input.data() + at, kBlock);
  EXPECT_FALSE(ok && deflater.Finish());
  EXPECT_FALSE(deflater.Write(input.data(), 1));
}

}  // namespace
}  // namespace patchlib
