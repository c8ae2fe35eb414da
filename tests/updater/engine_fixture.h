// Builders for the update engine's inputs (command streams, payloads, PE
// files with an overlay, archives), a scratch directory, and a user
// interface that records what the engine showed.
#ifndef TESTS_UPDATER_ENGINE_FIXTURE_H_
#define TESTS_UPDATER_ENGINE_FIXTURE_H_

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/update_ui.h"

namespace fixture {

std::string Le32(std::uint32_t value);

// A command stream, built command by command.
class Commands {
 public:
  Commands& WriteFile(const std::string& name, const std::string& content);
  Commands& WriteFileSized(const std::string& name, std::uint32_t size,
                           const std::string& content);
  Commands& DeleteFile(const std::string& name);
  Commands& MakeDirectory(const std::string& name);
  Commands& EmptyTree(const std::string& name);
  Commands& PutEntry(const std::string& name, const std::string& content);
  Commands& PutEntrySized(const std::string& name, std::uint32_t size,
                          const std::string& content);
  Commands& RemoveEntry(const std::string& name);
  Commands& Raw(const std::string& bytes);
  const std::string& bytes() const { return bytes_; }

 private:
  Commands& Named(std::uint32_t opcode, const std::string& name);
  std::string bytes_;
};

// zlib stream of `data` (window bits 15).
std::string Deflate(const std::string& data);

struct Section {
  std::uint32_t raw_size;
  std::uint32_t raw_start;
};
// A minimal PE file: DOS header, "PE\0\0", file header, an optional header
// of `optional_size` zero bytes, the section table, the sections' raw data
// (zeros up to the furthest section end), then `overlay`.
std::string MakePe(const std::vector<Section>& sections,
                   const std::string& overlay,
                   std::uint16_t optional_size = 240);
// A PE whose overlay is the deflated command stream.
std::string MakeUpdater(const Commands& commands);

// A packed archive with these (name, content) entries, names as given.
std::string MakeArchive(
    const std::vector<std::pair<std::string, std::string>>& entries);

// A scratch directory, removed with everything in it at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const {
    return path_ + "/" + name;
  }
  // Names directly in the directory, sorted.
  std::vector<std::string> List() const;

 private:
  std::string path_;
};

// Everything below `dir`, by relative path ("/" separated): "dir", "file:"
// followed by the bytes, or "link:" followed by the target. With
// `times`, each file's and link's modification time is added, so
// untouched files compare equal only when they were not rewritten.
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot(const std::string& dir, bool times = false);
// The differences of two snapshots, one line per path, for messages.
std::string Diff(const Snapshot& before, const Snapshot& after);

bool WriteBytes(const std::string& path, const std::string& bytes);
// The file's bytes; `ok` false (and "") when it cannot be read.
std::string ReadBytes(const std::string& path, bool* ok = nullptr);
bool Exists(const std::string& path);
bool IsDirectory(const std::string& path);

// Records every call; optionally quits (throws the failure signal from
// Pump) at the n-th pump.
class RecordingUi : public updater::UpdateUi {
 public:
  void ShowName(const char* name) override { names.push_back(name); }
  void SetStatus(const char* text) override { statuses.push_back(text); }
  void SetProgress(int position) override { progress.push_back(position); }
  void Pump() override;
  void ShowMessage(const char* text, updater::MessageKind kind) override {
    messages.push_back(text);
    kinds.push_back(kind);
  }

  long quit_at_pump = 0;  // 0: never
  long pumps = 0;
  std::vector<std::string> names;
  std::vector<std::string> statuses;
  std::vector<int> progress;
  std::vector<std::string> messages;
  std::vector<updater::MessageKind> kinds;
};

// The message with "%s" replaced by `argument`.
std::string Format(const char* message, const std::string& argument);

}  // namespace fixture

#endif  // TESTS_UPDATER_ENGINE_FIXTURE_H_
