// kestrel-archive extract ARCHIVE DIR [NAME...]
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive_commands.h"
#include "archive_io.h"
#include "engine/directory_tree.h"
#include "patchlib/atomic_output.h"
#include "patchlib/console.h"
#include "patchlib/entry_name.h"
#include "patchlib/game_tree.h"
#include "patchlib/tree_copy.h"
#include "patchlib/windows_name.h"
#include "platform/filesystem.h"

namespace karchive {
namespace {

const char kDescription[] =
    "Writes every entry (or only the NAMEs given) as a file below DIR,\n"
    "creating DIR and subdirectories as needed. Names are written in UTF-8.\n"
    "An entry is refused and not written when its name would land outside\n"
    "DIR (\"..\", a rooted or drive name), has characters or a form Windows\n"
    "does not allow, or is one file name together with another entry's\n"
    "(letters that differ only in case, two cp932 codes of one character);\n"
    "when a directory on its way inside DIR is a link (nothing is written\n"
    "through links); or when the file exists and --overwrite is not given.\n"
    "The others are still extracted and the exit status is 1.";

struct ExtractOptions {
  std::string archive, dir;
  std::vector<std::string> names;
  bool overwrite = false;
};

// "87 54 2e": the bytes of a name, for names that look alike.
std::string Hex(const std::string& bytes) {
  std::string out;
  char two[4];
  for (unsigned char c : bytes) {
    std::snprintf(two, sizeof two, "%02x", c);
    out += (out.empty() ? "" : " ") + std::string(two);
  }
  return out;
}

// Why `path` below `dir` cannot be written, or "": makes the directories
// on its way, refusing any that is a link or not a directory, and refuses
// a link, a directory or (without `overwrite`) a file at `path` itself.
std::string PrepareTarget(const std::string& dir, const std::string& name,
                          bool overwrite) {
  std::string at = dir;
  const std::vector<std::string> parts = patchlib::SplitComponents(name);
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    at = patchlib::JoinPath(at, parts[i]);
    if (platform::IsLink(at.c_str()))
      return patchlib::Show(at) + " is a link: nothing is written through it";
    switch (platform::GetPathKind(at.c_str())) {
      case platform::PathKind::kDirectory:
        break;
      case platform::PathKind::kNone:
        if (!platform::MakeDirectory(at.c_str()))
          return patchlib::Show(at) + ": cannot create the directory";
        break;
      default:
        return patchlib::Show(at) + " is in the way: not a directory";
    }
  }
  const std::string target = patchlib::JoinPath(dir, name);
  if (platform::IsLink(target.c_str()))
    return patchlib::Show(target) + " is a link: nothing is written through it";
  switch (platform::GetPathKind(target.c_str())) {
    case platform::PathKind::kNone:
      return "";
    case platform::PathKind::kFile:
      return overwrite ? "" : patchlib::Show(target) + " exists (--overwrite replaces it)";
    default:
      return patchlib::Show(target) + " exists and is not a file";
  }
}

// Copies an entry's content into `path` through a temporary file.
bool WriteEntry(zorl::KFile& content, const std::string& path) {
  patchlib::AtomicOutput out;
  if (!out.Open(path)) return false;
  const std::int32_t size = content.GetSize();
  return size >= 0 &&
         patchlib::CopyStream(content, static_cast<std::uint64_t>(size), out.file()) &&
         out.Commit();
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
    entries = archive.Entries();
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
  // Entries that would be one file: neither is written.
  std::map<std::string, std::string> first_of_key;
  std::set<std::string> paired;
  for (const auto& entry : entries) {
    auto [it, fresh] = first_of_key.emplace(patchlib::FileNameKey(entry->name), entry->name);
    if (fresh || it->second == entry->name) continue;
    std::string both = patchlib::Show(it->second) + " and " + patchlib::Show(entry->name);
    if (patchlib::Show(it->second) == patchlib::Show(entry->name))
      both += " (cp932 bytes " + Hex(it->second) + " and " + Hex(entry->name) + ")";
    Error(both + ": one file name on Windows (and on Linux in UTF-8); neither is written");
    paired.insert(it->second);
    paired.insert(entry->name);
    ok = false;
  }
  std::uint32_t written = 0;
  for (const auto& entry : entries) {
    const std::string name = entry->name;
    if (paired.count(name)) continue;
    std::string why;
    if (!patchlib::SafeRelativePath(name, &why)) {
      Error(patchlib::Show(name) + ": refused, would not land inside " +
            patchlib::Show(dir) + " (" + why + ")");
      ok = false;
      continue;
    }
    why = PrepareTarget(dir, name, o.overwrite);
    if (!why.empty()) {
      Error(patchlib::Show(name) + ": not written: " + why);
      ok = false;
      continue;
    }
    const std::string target = patchlib::JoinPath(dir, name);
    if (!WriteEntry(entry->content, target)) {
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
      .Paths("NAME", &o->names, "only these entries (default: all)", false)
      .Flag("--overwrite", &o->overwrite, "replace files that exist already");
}

}  // namespace karchive
