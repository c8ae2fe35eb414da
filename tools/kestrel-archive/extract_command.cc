// kestrel-archive extract ARCHIVE DIR [NAME...]
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archive_commands.h"
#include "archive_io.h"
#include "engine/directory_tree.h"
#include "patchlib/atomic_output.h"
#include "patchlib/console.h"
#include "patchlib/entry_name.h"
#include "patchlib/game_tree.h"

namespace karchive {
namespace {

const char kDescription[] =
    "Writes every entry (or only the NAMEs given) as a file below DIR,\n"
    "creating DIR and subdirectories as needed. Names are written in UTF-8.\n"
    "An entry whose name would land outside DIR (\"..\", a rooted or drive\n"
    "name, characters Windows does not allow) is refused and not written;\n"
    "the others are still extracted and the exit status is 1.";

struct ExtractOptions {
  std::string archive, dir;
  std::vector<std::string> names;
};

// Copies an entry's content into `path` through a temporary file.
bool WriteEntry(zorl::KFile& content, const std::string& path) {
  patchlib::AtomicOutput out;
  if (!out.Open(path)) return false;
  const std::int32_t size = content.GetSize();
  if (size < 0 || !content.Seek(zorl::KSEEK_BEGIN, 0)) return false;
  std::vector<unsigned char> buffer(1u << 20);
  std::int32_t left = size;
  while (left > 0) {
    const std::uint32_t n = left < static_cast<std::int32_t>(buffer.size())
                                ? static_cast<std::uint32_t>(left)
                                : static_cast<std::uint32_t>(buffer.size());
    if (content.Read(n, buffer.data()) != static_cast<std::int32_t>(n) ||
        out.file().Write(buffer.data(), n) != static_cast<std::int32_t>(n))
      return false;
    left -= static_cast<std::int32_t>(n);
  }
  return out.Commit();
}

int Extract(const ExtractOptions& o) {
  const std::string& path = o.archive;
  const std::string& dir = o.dir;
  const std::vector<std::string>& wanted = o.names;
  updater::ResourceArchive archive;
  if (!LoadArchive(path, archive)) return kExitFailure;

  std::vector<zorl::KRef<updater::ArchiveEntry>> entries;
  bool ok = true;
  if (wanted.empty()) {
    for (std::uint32_t i = 0; i < archive.Count(); ++i)
      entries.push_back(archive.EntryAt(i));
  } else {
    for (const std::string& name : wanted) {
      zorl::KRef<updater::ArchiveEntry> entry = archive.Find(name.c_str());
      if (!entry) {
        Error(patchlib::Show(path) + ": no entry named " + patchlib::Show(name));
        ok = false;
      } else {
        entries.push_back(entry);
      }
    }
  }
  if (!updater::MakeDirectoryTree(dir.c_str())) {
    Error(patchlib::Show(dir) + ": cannot create the directory");
    return kExitFailure;
  }
  std::uint32_t written = 0;
  for (const auto& entry : entries) {
    const std::string name = entry->name;
    std::string why;
    if (!patchlib::SafeRelativePath(name, &why)) {
      Error(patchlib::Show(name) + ": refused, would not land inside " +
            patchlib::Show(dir) + " (" + why + ")");
      ok = false;
      continue;
    }
    const std::string target = patchlib::JoinPath(dir, name);
    const std::string parent = patchlib::DirectoryOf(target);
    if (!updater::MakeDirectoryTree(parent.c_str()) ||
        !WriteEntry(entry->content, target)) {
      Error(patchlib::Show(target) + ": cannot write the file");
      ok = false;
      continue;
    }
    ++written;
  }
  std::printf("%u of %zu entries extracted into %s\n", written, entries.size(),
              patchlib::Show(dir).c_str());
  return ok ? kExitSuccess : kExitFailure;
}

}  // namespace

void AddExtractCommand(tools::CommandLine& cli) {
  auto o = std::make_shared<ExtractOptions>();
  cli.Add("extract", "write entries out as files", kDescription,
          [o] { return Extract(*o); })
      .Path("ARCHIVE", &o->archive, "the archive to read")
      .Path("DIR", &o->dir, "where the files go")
      .Paths("NAME", &o->names, "only these entries (default: all)", false);
}

}  // namespace karchive
