// A whole update run on an arbitrary command stream: the stream is deflated
// into a minimal PE's overlay and applied to a scratch game directory.
//
// Loose-file commands act on real files, so inputs whose file names could
// leave the scratch directory (rooted, with a drive, with "..", with a
// backslash or any byte outside a small safe set) are skipped by a
// pre-scan of the record layout; everything else runs unchanged.
#include <unistd.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/update_run.h"

namespace {

namespace fs = std::filesystem;

class SilentUi : public updater::UpdateUi {
 public:
  void ShowName(const char*) override {}
  void SetStatus(const char*) override {}
  void SetProgress(int position) override {
    if (position < 0 || position > updater::kProgressRange) __builtin_trap();
  }
  void Pump() override {}
  void ShowMessage(const char*, updater::MessageKind) override { ++messages; }
  int messages = 0;
};

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
         std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

bool SafeName(const std::uint8_t* name, std::uint32_t n) {
  if (n == 0) return true;  // the game directory itself
  std::string component;
  for (std::uint32_t i = 0; i <= n; ++i) {
    const char c = i < n ? static_cast<char>(name[i]) : '/';
    if (c == '/') {
      if (i == 0) return false;  // rooted
      if (component.find_first_not_of('.') == std::string::npos &&
          component.size() >= 2)
        return false;  // goes up
      component.clear();
      continue;
    }
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    if (!ok) return false;
    component += c;
  }
  return true;
}

// Walks the records as the engine reads them; false when a loose-file
// command names an unsafe path before the stream ends or breaks.
bool SafeStream(const std::uint8_t* p, std::size_t size) {
  std::size_t at = 0;
  for (;;) {
    if (size - at < 8) return true;
    const std::uint32_t opcode = Le32(p + at);
    const std::uint32_t n = Le32(p + at + 4);
    at += 8;
    if (opcode > 7 || n > 262 || size - at < n) return true;
    if ((opcode <= 3 || opcode == 6) && !SafeName(p + at, n)) return false;
    at += n;
    if (opcode == 6 || opcode == 7) {  // a delta: 28-byte head, then D bytes
      if (size - at < 28) return true;
      const std::uint32_t length = Le32(p + at + 24);
      at += 28;
      if (length > size - at) return true;
      at += length;
      continue;
    }
    if (opcode == 0 || opcode == 4) {
      if (size - at < 4) return true;
      const std::uint32_t length = Le32(p + at);
      at += 4;
      if (opcode == 0 && static_cast<std::int32_t>(length) <= 0) continue;
      if (length > size - at) return true;
      at += length;
    }
  }
}

std::string Pe(const std::string& overlay) {
  std::string pe(0x200, '\0');
  pe[0] = 'M';
  pe[1] = 'Z';
  pe[60] = 64;
  std::memcpy(&pe[64], "PE\0\0", 4);
  pe[64 + 4 + 2] = 1;                 // one section
  // No optional header; the section table follows the file header.
  char* section = &pe[64 + 4 + 20];
  section[16 + 1] = 0x02;             // raw size 0x200
  section[20 + 1] = 0x02;             // raw start 0x200
  pe.resize(0x400, '\0');
  return pe + overlay;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size > 64 * 1024 || !SafeStream(data, size)) return 0;
  uLongf packed_size = compressBound(static_cast<uLong>(size));
  std::string packed(packed_size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packed_size, data,
                static_cast<uLong>(size), 1) != Z_OK)
    return 0;
  packed.resize(packed_size);

  // One scratch directory per process, removed when the process ends.
  static const struct Scratch {
    fs::path path = fs::temp_directory_path() /
                    ("kestrel-fuzz-" + std::to_string(::getpid()));
    ~Scratch() {
      std::error_code ignored;
      fs::remove_all(path, ignored);
    }
  } scratch;
  const fs::path game = scratch.path / "game";
  std::error_code ec;
  fs::remove_all(game, ec);
  fs::create_directories(game / "tree/sub", ec);
  {
    std::ofstream(game / "mareld.dat", std::ios::binary)
        << std::string("KMF \x02\0\0\0", 8)
        << std::string("\x01\0\0\0a\x22\0\0\0\x01\0\0\0", 13)
        << std::string("\x01\0\0\0B\x23\0\0\0\x02\0\0\0", 13) << "xyz";
    std::ofstream(game / "tree/sub/f.txt") << "f";
    std::ofstream(game / "patch.exe", std::ios::binary) << Pe(packed);
  }
  SilentUi ui;
  const std::string exe = (game / "patch.exe").string();
  updater::RunUpdate(ui, exe.c_str(), game.string().c_str());
  if (ui.messages != 1) __builtin_trap();  // exactly one message per run
  fs::remove_all(game, ec);
  return 0;
}
