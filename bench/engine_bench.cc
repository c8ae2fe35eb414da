// Data generators and timed loops for bench/run-engine-bench.
//
//   engine_bench data OUT BYTES             compressible sample bytes
//   engine_bench deflate IN OUT             zlib stream of IN (level 6)
//   engine_bench archive OUT ENTRIES BYTES  packed archive, ENTRIES entries
//                                           "e0000.bin"... of BYTES in total
//   engine_bench updater OUT STREAM         PE with STREAM (deflated) as overlay
//   engine_bench stream-put NAME BYTES OUT  command stream: one entry (opcode 4)
//   engine_bench stream-file NAME BYTES OUT command stream: one loose file (opcode 0)
//   engine_bench stream-files COUNT BYTES OUT
//                                           command stream: COUNT loose files
//                                           "f/f00000.bin"... of BYTES in total
//   engine_bench inflate-engine IN OUT      the engine's inflater, file to file
//   engine_bench inflate-zlib IN OUT        plain zlib loop, 256 KiB buffers
//   engine_bench tree DIR COUNT BYTES       COUNT files DIR/f00000.bin... of
//                                           BYTES in total (other bytes than
//                                           stream-files writes)
//   engine_bench apply PATCH GAME journal|no-journal
//                                           a whole update run, with or
//                                           without its undo journal
//   engine_bench check STREAM GAME          the check before the first change
//                                           of an inflated STREAM against GAME
//                                           (an absolute path)
//   engine_bench hash MIB                   XXH3-128 over MIB MiB in memory:
//                                           prints GB/s (best of 3)
// The timed modes print the seconds they took on stdout.
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/command_check.h"
#include "engine/content_hash.h"
#include "engine/loose_files.h"
#include "engine/path_resolve.h"
#include "engine/payload.h"
#include "engine/resource_archive.h"
#include "engine/update_run.h"
#include "foundation/kfile.h"

namespace {

constexpr std::size_t kChunk = 256 * 1024;

double Now() {
  return std::chrono::duration<double>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

// Text-like bytes that deflate to about a third.
void FillSample(std::vector<unsigned char>& block, std::uint32_t& seed) {
  static const char* words[] = {"kestrel ", "update ", "archive ", "entry ",
                                "payload ", "section ", "mareld ", "data "};
  std::size_t i = 0;
  while (i < block.size()) {
    seed = seed * 1103515245u + 12345u;
    const char* w = (seed >> 24) < 40 ? nullptr : words[(seed >> 16) & 7];
    if (!w) {
      block[i++] = static_cast<unsigned char>(seed >> 8);
      continue;
    }
    for (; *w && i < block.size(); ++w) block[i++] = static_cast<unsigned char>(*w);
  }
}

// Writes `bytes` of the sample data of `seed`, a MiB at a time.
void WriteSample(std::FILE* f, unsigned long long bytes, std::uint32_t seed) {
  std::vector<unsigned char> block(1 << 20);
  while (bytes > 0) {
    FillSample(block, seed);
    const std::size_t n = bytes < block.size() ? bytes : block.size();
    std::fwrite(block.data(), 1, n, f);
    bytes -= n;
  }
}

int Data(const char* out, unsigned long long bytes) {
  std::FILE* f = std::fopen(out, "wb");
  if (!f) return 1;
  WriteSample(f, bytes, 7);
  return std::fclose(f) == 0 ? 0 : 1;
}

int Deflate(const char* in, const char* out) {
  std::FILE* src = std::fopen(in, "rb");
  std::FILE* dst = std::fopen(out, "wb");
  if (!src || !dst) return 1;
  z_stream z{};
  deflateInit(&z, 6);
  std::vector<unsigned char> ib(kChunk), ob(kChunk);
  int flush = Z_NO_FLUSH;
  do {
    z.avail_in = static_cast<uInt>(std::fread(ib.data(), 1, kChunk, src));
    z.next_in = ib.data();
    flush = std::feof(src) ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.avail_out = kChunk;
      z.next_out = ob.data();
      deflate(&z, flush);
      std::fwrite(ob.data(), 1, kChunk - z.avail_out, dst);
    } while (z.avail_out == 0);
  } while (flush != Z_FINISH);
  deflateEnd(&z);
  std::fclose(src);
  return std::fclose(dst) == 0 ? 0 : 1;
}

int Archive(const char* out, unsigned entries, unsigned long long bytes) {
  std::FILE* f = std::fopen(out, "wb");
  if (!f || entries == 0) return 1;
  std::vector<std::string> names(entries);
  std::uint64_t offset = 8;
  for (unsigned i = 0; i < entries; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "e%04u.bin", i);
    names[i] = name;
    offset += 12 + names[i].size();
  }
  std::string directory = "KMF " + Le32(entries);
  const unsigned long long per = bytes / entries;
  for (unsigned i = 0; i < entries; ++i) {
    const unsigned long long size = i + 1 == entries ? bytes - per * i : per;
    directory += Le32(static_cast<std::uint32_t>(names[i].size())) + names[i] +
                 Le32(static_cast<std::uint32_t>(offset)) +
                 Le32(static_cast<std::uint32_t>(size));
    offset += size;
  }
  std::fwrite(directory.data(), 1, directory.size(), f);
  std::vector<unsigned char> block(1 << 20);
  std::uint32_t seed = 11;
  while (bytes > 0) {
    FillSample(block, seed);
    const std::size_t n = bytes < block.size() ? bytes : block.size();
    std::fwrite(block.data(), 1, n, f);
    bytes -= n;
  }
  return std::fclose(f) == 0 ? 0 : 1;
}

int Stream(std::uint32_t opcode, const char* name, unsigned long long bytes,
           const char* out) {
  std::FILE* f = std::fopen(out, "wb");
  if (!f) return 1;
  const std::string head = Le32(opcode) + Le32(static_cast<std::uint32_t>(std::strlen(name))) +
                           name + Le32(static_cast<std::uint32_t>(bytes));
  std::fwrite(head.data(), 1, head.size(), f);
  WriteSample(f, bytes, 13);
  return std::fclose(f) == 0 ? 0 : 1;
}

int StreamFiles(unsigned count, unsigned long long bytes, const char* out) {
  std::FILE* f = std::fopen(out, "wb");
  if (!f || count == 0) return 1;
  const unsigned long long per = bytes / count;
  for (unsigned i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f/f%05u.bin", i);
    const unsigned long long size = i + 1 == count ? bytes - per * i : per;
    const std::string head = Le32(0) + Le32(static_cast<std::uint32_t>(std::strlen(name))) +
                             name + Le32(static_cast<std::uint32_t>(size));
    std::fwrite(head.data(), 1, head.size(), f);
    WriteSample(f, size, 17 + i);
  }
  return std::fclose(f) == 0 ? 0 : 1;
}

class QuietUi : public updater::UpdateUi {
 public:
  void ShowName(const char*) override {}
  void SetStatus(const char*) override {}
  void SetProgress(int) override {}
  void Pump() override {}
  void ShowMessage(const char* text, updater::MessageKind kind) override {
    if (kind == updater::MessageKind::kError)
      std::fprintf(stderr, "engine_bench: the run failed (message, cp932: %s)\n", text);
  }
};

int Check(const char* stream_path, const char* game) {
  zorl::KFile stream;
  if (!stream.Open(zorl::KFILE_READ, stream_path)) return 1;
  char archive_path[264];
  updater::ResourceArchive archive;
  if (!updater::ResolvePath(game, updater::kArchiveFileName, archive_path) ||
      !archive.Load(archive_path))
    return 1;
  QuietUi ui;
  updater::ProgressPacer pacer(ui);
  // The run's own files, as the run protects them.
  updater::ProtectedFiles protect;
  zorl::KFile loaded(archive.File());
  if (!protect.Add(stream, static_cast<std::uint32_t>(stream.GetSize())) ||
      !protect.Add(loaded, static_cast<std::uint32_t>(loaded.GetSize())))
    return 1;
  updater::UpdateContext context{ui, pacer, stream, archive, game, &protect};
  updater::DiskLooseFiles disk(&protect);
  std::uint64_t commands = 0;
  const double start = Now();
  try {
    updater::CheckCommands(context, disk,
                           [&commands](const updater::PlannedCommand&) { ++commands; });
  } catch (int) {
    return 1;
  }
  std::printf("%.4f\n", Now() - start);
  std::fprintf(stderr, "check: %llu commands\n", static_cast<unsigned long long>(commands));
  return 0;
}

int Tree(const char* dir, unsigned count, unsigned long long bytes) {
  if (count == 0) return 1;
  const unsigned long long per = bytes / count;
  for (unsigned i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/f%05u.bin", i);
    std::FILE* f = std::fopen((std::string(dir) + name).c_str(), "wb");
    if (!f) return 1;
    WriteSample(f, i + 1 == count ? bytes - per * i : per, 1000 + i);
    if (std::fclose(f) != 0) return 1;
  }
  return 0;
}

int Apply(const char* patch, const char* game, const std::string& mode) {
  QuietUi ui;
  updater::RunOptions options;
  options.journal = mode == "journal";
  const double start = Now();
  const bool completed = updater::RunUpdate(ui, patch, game, options);
  std::printf("%.3f\n", Now() - start);
  return completed ? 0 : 1;
}

int Updater(const char* out, const char* stream) {
  const std::string packed = std::string(out) + ".z";
  if (Deflate(stream, packed.c_str()) != 0) return 1;
  std::string pe(0x400, '\0');
  pe[0] = 'M';
  pe[1] = 'Z';
  pe[60] = 64;
  std::memcpy(&pe[64], "PE\0\0", 4);
  pe[64 + 4 + 2] = 1;
  pe[64 + 4 + 20 + 16 + 1] = 0x02;  // raw size 0x200
  pe[64 + 4 + 20 + 20 + 1] = 0x02;  // raw start 0x200
  std::FILE* f = std::fopen(out, "wb");
  std::FILE* z = std::fopen(packed.c_str(), "rb");
  if (!f || !z) return 1;
  std::fwrite(pe.data(), 1, pe.size(), f);
  std::vector<unsigned char> block(1 << 20);
  std::size_t n;
  while ((n = std::fread(block.data(), 1, block.size(), z)) > 0)
    std::fwrite(block.data(), 1, n, f);
  std::fclose(z);
  std::remove(packed.c_str());
  return std::fclose(f) == 0 ? 0 : 1;
}

int InflateEngine(const char* in, const char* out) {
  zorl::KFile src, dst;
  if (!src.Open(zorl::KFILE_READ, in) || !dst.Open(15, out)) return 1;
  const double start = Now();
  const bool ok = updater::InflatePayload(dst, src, [] {});
  dst.Close();
  std::printf("%.3f\n", Now() - start);
  return ok ? 0 : 1;
}

int InflateZlib(const char* in, const char* out) {
  std::FILE* src = std::fopen(in, "rb");
  std::FILE* dst = std::fopen(out, "wb");
  if (!src || !dst) return 1;
  const double start = Now();
  z_stream z{};
  inflateInit(&z);
  std::vector<unsigned char> ib(kChunk), ob(kChunk);
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    z.avail_in = static_cast<uInt>(std::fread(ib.data(), 1, kChunk, src));
    if (z.avail_in == 0) break;
    z.next_in = ib.data();
    do {
      z.avail_out = kChunk;
      z.next_out = ob.data();
      result = inflate(&z, Z_NO_FLUSH);
      if (result != Z_OK && result != Z_STREAM_END) return 1;
      std::fwrite(ob.data(), 1, kChunk - z.avail_out, dst);
    } while (z.avail_out == 0);
  }
  inflateEnd(&z);
  std::fclose(src);
  std::fclose(dst);
  std::printf("%.3f\n", Now() - start);
  return result == Z_STREAM_END ? 0 : 1;
}

// The hash the manifest uses, over a buffer already in memory.
int Hash(std::uint64_t mib) {
  std::vector<unsigned char> data(mib << 20);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 131 >> 7);
  double best = 0;
  for (int run = 0; run < 3; ++run) {
    const double start = Now();
    updater::ContentHasher hasher;
    for (std::size_t at = 0; at < data.size(); at += 1 << 20) hasher.Update(&data[at], 1 << 20);
    volatile unsigned char sink = hasher.Digest().bytes[0];
    (void)sink;
    const double gbs = static_cast<double>(data.size()) / 1e9 / (Now() - start);
    if (gbs > best) best = gbs;
  }
  std::printf("%.2f\n", best);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "data" && argc == 4) return Data(argv[2], std::strtoull(argv[3], nullptr, 10));
  if (mode == "deflate" && argc == 4) return Deflate(argv[2], argv[3]);
  if (mode == "archive" && argc == 5)
    return Archive(argv[2], static_cast<unsigned>(std::atoi(argv[3])),
                   std::strtoull(argv[4], nullptr, 10));
  if (mode == "updater" && argc == 4) return Updater(argv[2], argv[3]);
  if (mode == "stream-put" && argc == 5)
    return Stream(4, argv[2], std::strtoull(argv[3], nullptr, 10), argv[4]);
  if (mode == "stream-file" && argc == 5)
    return Stream(0, argv[2], std::strtoull(argv[3], nullptr, 10), argv[4]);
  if (mode == "stream-files" && argc == 5)
    return StreamFiles(static_cast<unsigned>(std::atoi(argv[2])),
                       std::strtoull(argv[3], nullptr, 10), argv[4]);
  if (mode == "check" && argc == 4) return Check(argv[2], argv[3]);
  if (mode == "hash" && argc == 3) return Hash(std::strtoull(argv[2], nullptr, 10));
  if (mode == "tree" && argc == 5)
    return Tree(argv[2], static_cast<unsigned>(std::atoi(argv[3])),
                std::strtoull(argv[4], nullptr, 10));
  if (mode == "apply" && argc == 5) return Apply(argv[2], argv[3], argv[4]);
  if (mode == "inflate-engine" && argc == 4) return InflateEngine(argv[2], argv[3]);
  if (mode == "inflate-zlib" && argc == 4) return InflateZlib(argv[2], argv[3]);
  std::fprintf(stderr, "usage: see the comment at the top of engine_bench.cc\n");
  return 2;
}
