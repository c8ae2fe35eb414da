#include "engine_fixture.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace fixture {

std::string Le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

namespace {
std::string Le16(std::uint16_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8)};
}
}  // namespace

Commands& Commands::Named(std::uint32_t opcode, const std::string& name) {
  bytes_ += Le32(opcode) + Le32(static_cast<std::uint32_t>(name.size())) + name;
  return *this;
}
Commands& Commands::WriteFile(const std::string& name,
                              const std::string& content) {
  return WriteFileSized(name, static_cast<std::uint32_t>(content.size()),
                        content);
}
Commands& Commands::WriteFileSized(const std::string& name, std::uint32_t size,
                                   const std::string& content) {
  Named(0, name);
  bytes_ += Le32(size) + content;
  return *this;
}
Commands& Commands::DeleteFile(const std::string& name) { return Named(1, name); }
Commands& Commands::MakeDirectory(const std::string& name) {
  return Named(2, name);
}
Commands& Commands::EmptyTree(const std::string& name) { return Named(3, name); }
Commands& Commands::PutEntry(const std::string& name,
                             const std::string& content) {
  return PutEntrySized(name, static_cast<std::uint32_t>(content.size()),
                       content);
}
Commands& Commands::PutEntrySized(const std::string& name, std::uint32_t size,
                                  const std::string& content) {
  Named(4, name);
  bytes_ += Le32(size) + content;
  return *this;
}
Commands& Commands::RemoveEntry(const std::string& name) {
  return Named(5, name);
}
Commands& Commands::Raw(const std::string& bytes) {
  bytes_ += bytes;
  return *this;
}

std::string Deflate(const std::string& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(&out[0]), &size,
                reinterpret_cast<const Bytef*>(data.data()),
                static_cast<uLong>(data.size()), 6) != Z_OK)
    throw std::runtime_error("compress2 failed");
  out.resize(size);
  return out;
}

std::string MakePe(const std::vector<Section>& sections,
                   const std::string& overlay, std::uint16_t optional_size) {
  std::string pe(64, '\0');
  pe[0] = 'M';
  pe[1] = 'Z';
  pe.replace(60, 4, Le32(64));
  pe += std::string("PE\0\0", 4);
  std::string header(20, '\0');
  header.replace(0, 2, Le16(0x8664));
  header.replace(2, 2, Le16(static_cast<std::uint16_t>(sections.size())));
  header.replace(16, 2, Le16(optional_size));
  pe += header + std::string(optional_size, '\0');
  std::uint64_t end = 0;
  for (const Section& s : sections) {
    std::string record(40, '\0');
    record.replace(0, 5, ".sect");
    record.replace(16, 4, Le32(s.raw_size));
    record.replace(20, 4, Le32(s.raw_start));
    pe += record;
    end = std::max<std::uint64_t>(end, std::uint64_t{s.raw_start} + s.raw_size);
  }
  if (end > pe.size()) pe.resize(end, '\0');
  return pe + overlay;
}

std::string MakeUpdater(const Commands& commands) {
  // Headers fit in 0x200 bytes; one section of 0x200 raw bytes follows.
  return MakePe({{0x200, 0x200}}, Deflate(commands.bytes()));
}

std::string MakeArchive(
    const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string directory, data;
  std::uint32_t start = 8;
  for (const auto& e : entries) start += 12 + static_cast<std::uint32_t>(e.first.size());
  for (const auto& e : entries) {
    directory += Le32(static_cast<std::uint32_t>(e.first.size())) + e.first +
                 Le32(start + static_cast<std::uint32_t>(data.size())) +
                 Le32(static_cast<std::uint32_t>(e.second.size()));
    data += e.second;
  }
  return "KMF " + Le32(static_cast<std::uint32_t>(entries.size())) + directory +
         data;
}

TempDir::TempDir() {
  static std::atomic<unsigned> serial{0};
  const auto stamp =
      std::chrono::steady_clock::now().time_since_epoch().count();
  for (;;) {
    fs::path p = fs::temp_directory_path() /
                 ("kestrel-test-" + std::to_string(stamp % 1000000007) + "-" +
                  std::to_string(serial++));
    std::error_code ec;
    if (fs::create_directory(p, ec)) {
      path_ = p.generic_string();
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
  // The windows tree's std::filesystem cannot list a directory whose path
  // is longer than MAX_PATH, which some tests make on purpose; the seam's
  // listing can.
  if (ec) testing_support::RemoveTree(path_);
}

std::vector<std::string> TempDir::List() const {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(path_))
    names.push_back(e.path().filename().generic_string());
  std::sort(names.begin(), names.end());
  return names;
}

Snapshot TakeSnapshot(const std::string& dir, bool times) {
  Snapshot shot;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const fs::path& p = it->path();
    const std::string rel = fs::relative(p, dir).generic_string();
    std::string value;
    if (it->is_symlink()) {
      value = "link:" + fs::read_symlink(p, ec).generic_string();
    } else if (it->is_directory()) {
      value = "dir";
    } else {
      value = "file:" + ReadBytes(p.string());
    }
    if (times && value != "dir") {
      const auto stamp = fs::symlink_status(p, ec).type() == fs::file_type::symlink
                             ? 0
                             : fs::last_write_time(p, ec).time_since_epoch().count();
      value += " @" + std::to_string(stamp);
    }
    shot[rel] = value;
  }
  return shot;
}

std::string Diff(const Snapshot& before, const Snapshot& after) {
  std::string out;
  auto shorten = [](const std::string& v) {
    return v.size() > 40 ? v.substr(0, 40) + "..." : v;
  };
  for (const auto& [path, value] : before) {
    const auto it = after.find(path);
    if (it == after.end())
      out += "  gone: " + path + "\n";
    else if (it->second != value)
      out += "  changed: " + path + " (" + shorten(value) + " -> " +
             shorten(it->second) + ")\n";
  }
  for (const auto& [path, value] : after)
    if (!before.count(path)) out += "  new: " + path + " (" + shorten(value) + ")\n";
  return out;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadBytes(const std::string& path, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  if (ok) *ok = static_cast<bool>(in);
  if (!in) return "";
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

bool IsDirectory(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

void RecordingUi::Pump() {
  ++pumps;
  if (quit_at_pump > 0 && pumps == quit_at_pump) throw updater::kFailureSignal;
}

std::string Format(const char* message, const std::string& argument) {
  std::string text = message;
  const auto at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, argument);
  return text;
}

}  // namespace fixture
