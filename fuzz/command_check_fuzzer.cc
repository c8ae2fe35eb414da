// The check before the first change on an arbitrary command stream, over a
// made-up game directory in memory (so no name can reach a real file).
//
// Beyond "no crash": a stream the check passes is well formed record by
// record (as an independent walk of the layout reads it) and gave one
// planned command per record with a path that fits; the payload's position
// is back where it started; and checking again gives the same outcome.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "engine/command_check.h"
#include "engine/path_resolve.h"
#include "engine/resource_archive.h"

namespace {

constexpr char kGame[] = "/g";

class SilentUi : public updater::UpdateUi {
 public:
  void ShowName(const char*) override {}
  void SetStatus(const char*) override {}
  void SetProgress(int) override {}
  void Pump() override {}
  void ShowMessage(const char* text, updater::MessageKind) override {
    ++messages;
    last = text;
  }
  int messages = 0;
  std::string last;
};

// A game directory: paths (lexically tidied) to what they are.
class MemoryFiles : public updater::LooseFiles {
 public:
  MemoryFiles() {
    for (const char* d : {"/g", "/g/tree", "/g/tree/sub", "/g/sub", "/g/tree/deep/er"})
      kinds_[d] = platform::PathKind::kDirectory;
    kinds_["/g/tree/deep"] = platform::PathKind::kDirectory;
    for (const char* f : {"/g/old.txt", "/g/tree/x", "/g/tree/sub/y", "/g/mareld.dat",
                          "/g/patch.exe", "/g/tree/deep/er/z", "/g/tree/link"})
      kinds_[f] = platform::PathKind::kFile;
  }
  platform::PathKind Kind(const char* path) override {
    const auto it = kinds_.find(Tidy(path));
    return it == kinds_.end() ? platform::PathKind::kNone : it->second;
  }
  bool Walk(const char* path, const std::function<void()>& pump,
            const std::function<bool(const updater::TreeFile&)>& visit,
            std::string* failed) override {
    failed->clear();
    if (pump) pump();
    const std::string at = Tidy(path);
    if (Kind(path) != platform::PathKind::kDirectory) return true;
    const std::string below = at == "/" ? at : at + "/";
    for (auto it = kinds_.lower_bound(below);
         it != kinds_.end() && it->first.compare(0, below.size(), below) == 0; ++it) {
      const std::string rest = it->first.substr(below.size());
      if (rest.find('/') != std::string::npos) continue;  // deeper: its own walk
      char child[264];
      if (!updater::JoinPath(path, rest.c_str(), child)) {
        *failed = std::string(path) + "/" + rest;
        return false;
      }
      if (it->second == platform::PathKind::kDirectory) {
        if (!Walk(child, pump, visit, failed)) return false;
      } else if (!visit(updater::TreeFile{child, rest == "link", 1})) {
        if (failed->empty()) *failed = child;
        return false;
      }
    }
    return true;
  }
  bool WriteReaches(const char* path) override { return Protected(path); }
  bool DeleteReaches(const char* path) override { return Protected(path); }
  bool DeleteReaches(const updater::TreeFile& file) override {
    return !file.is_link && Protected(file.path);
  }
  bool NamesIgnoreCase() override { return fold; }

  bool fold = false;

 private:
  bool Protected(const char* path) {
    const std::string t = Tidy(path);
    return t == "/g/mareld.dat" || t == "/g/patch.exe";
  }
  // "/", "." and ".." read as a file system would, "\" as "/".
  static std::string Tidy(const char* path) {
    std::string out;
    std::string part;
    std::string text = path;
    text += '/';
    for (char c : text) {
      if (c == '/' || c == '\\') {
        if (part == "..") {
          const auto cut = out.rfind('/');
          out.resize(cut == std::string::npos ? 0 : cut);
        } else if (!part.empty() && part != ".") {
          out += "/" + part;
        }
        part.clear();
      } else {
        part += c;
      }
    }
    return out.empty() ? "/" : out;
  }
  std::map<std::string, platform::PathKind> kinds_;
};

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

// The record layout, walked independently: the number of whole records,
// or -1 when the stream is not a run of whole, well formed records.
long Records(const std::uint8_t* p, std::size_t size) {
  long count = 0;
  std::size_t at = 0;
  while (at < size) {
    if (size - at < 8) return -1;
    const std::uint32_t opcode = Le32(p + at);
    const std::uint32_t n = Le32(p + at + 4);
    at += 8;
    if (opcode > 5 || n > 262 || size - at < n) return -1;
    at += n;
    if (opcode == 0 || opcode == 4) {
      if (size - at < 4) return -1;
      const std::uint32_t length = Le32(p + at);
      at += 4;
      const std::int64_t content = opcode == 0 ? static_cast<std::int32_t>(length)
                                               : static_cast<std::int64_t>(length);
      if (content > 0) {
        if (static_cast<std::uint64_t>(content) > size - at) return -1;
        at += static_cast<std::size_t>(content);
      }
    }
    ++count;
  }
  return count;
}

struct Outcome {
  bool passed;
  std::string message;
  long planned;
};

Outcome Check(const std::uint8_t* data, std::size_t size, bool fold) {
  zorl::KFile payload;
  payload.OpenMemory("payload", static_cast<std::uint32_t>(size + 1),
                     zorl::KMEM_READ | zorl::KMEM_WRITE);
  payload.Write(data, static_cast<std::uint32_t>(size));
  payload.SetEnd();
  payload.Seek(zorl::KSEEK_BEGIN, 0);

  static const std::string kArchive =
      std::string("KMF \x02\0\0\0", 8) + std::string("\x01\0\0\0a\x22\0\0\0\x01\0\0\0", 13) +
      std::string("\x01\0\0\0B\x23\0\0\0\x02\0\0\0", 13) + "xyz";
  zorl::KFile archive_file;
  archive_file.OpenMemory("mareld.dat", static_cast<std::uint32_t>(kArchive.size()),
                          zorl::KMEM_READ | zorl::KMEM_WRITE);
  archive_file.Write(kArchive.data(), static_cast<std::uint32_t>(kArchive.size()));
  updater::ResourceArchive archive;
  if (!archive.Load(archive_file)) __builtin_trap();

  SilentUi ui;
  updater::ProgressPacer pacer(ui);
  MemoryFiles files;
  files.fold = fold;
  updater::UpdateContext context{ui, pacer, payload, archive, kGame};
  Outcome outcome{false, "", 0};
  try {
    updater::CheckCommands(context, files, [&outcome](const updater::PlannedCommand& p) {
      ++outcome.planned;
      if (p.opcode > 5) __builtin_trap();
      std::size_t length = 0;
      while (p.path[length]) ++length;
      if (length > 263) __builtin_trap();
    });
    outcome.passed = true;
    if (payload.Tell() != 0) __builtin_trap();  // the position is put back
  } catch (int signal) {
    if (signal != updater::kFailureSignal || ui.messages != 1) __builtin_trap();
    outcome.message = ui.last;
  }
  if (outcome.passed && ui.messages != 0) __builtin_trap();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 64 * 1024) return 0;
  const long records = Records(data, size);
  for (const bool fold : {false, true}) {  // both ways of reading names
    const Outcome first = Check(data, size, fold);
    if (first.passed && records != first.planned) __builtin_trap();
    const Outcome again = Check(data, size, fold);
    if (again.passed != first.passed || again.message != first.message ||
        again.planned != first.planned)
      __builtin_trap();
  }
  return 0;
}
