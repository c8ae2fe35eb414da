// kestrel-archive add | remove | replace: edit an archive in place, always
// writing a complete new archive and replacing the old one atomically.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archive_commands.h"
#include "archive_io.h"
#include "patchlib/console.h"
#include "patchlib/entry_name.h"

namespace karchive {
namespace {

const char kAddDescription[] =
    "Appends FILE as a new entry named NAME (default: FILE's last path\n"
    "component), lowered. Fails when the name exists. The archive is written\n"
    "anew through a temporary file and replaced only when complete.";
const char kRemoveDescription[] =
    "Removes the named entries (letter case of ASCII letters ignored). Fails,\n"
    "changing nothing, when one is missing. Written through a temporary file.";
const char kReplaceDescription[] =
    "Gives the existing entry NAME (default: FILE's last path component)\n"
    "FILE's content, keeping its place in the order. Fails when the entry is\n"
    "missing. Written through a temporary file.";

struct EditOptions {
  std::string archive, file, name;
  std::vector<std::string> names;
};

std::string LastComponent(const std::string& path) {
  const std::vector<std::string> parts = patchlib::SplitComponents(path);
  return parts.back();
}

// Shared by add and replace: ARCHIVE FILE [NAME].
int PutFile(const EditOptions& o, bool replace) {
  const std::string& path = o.archive;
  const std::string& file_path = o.file;
  const std::string name = o.name.empty() ? LastComponent(file_path) : o.name;
  if (name.empty()) {
    Error(patchlib::Show(file_path) +
          ": ends without a file name to give the entry (give NAME)");
    return kExitUsage;
  }
  if (name.size() > updater::kMaxEntryNameLength) {
    Error(patchlib::Show(name) + ": entry names hold 1 to 263 bytes");
    return kExitUsage;
  }
  updater::ResourceArchive archive;
  if (!LoadArchive(path, archive)) return kExitFailure;
  zorl::KFile content;
  if (!content.Open(zorl::KFILE_READ, file_path.c_str())) {
    Error(patchlib::Show(file_path) + ": cannot open the file");
    return kExitFailure;
  }
  if (!replace && archive.Find(name.c_str())) {
    Error(patchlib::Show(path) + ": an entry named " + patchlib::Show(name) +
          " exists already (use replace)");
    return kExitFailure;
  }
  if (replace && !archive.Find(name.c_str())) {
    Error(patchlib::Show(path) + ": no entry named " + patchlib::Show(name) +
          " (use add)");
    return kExitFailure;
  }
  const bool done = replace ? archive.Replace(name.c_str(), content)
                            : archive.Add(name.c_str(), content);
  if (!done) {
    Error(patchlib::Show(name) + ": cannot put the entry into the archive");
    return kExitFailure;
  }
  return SaveArchive(archive, path) ? kExitSuccess : kExitFailure;
}

int Remove(const EditOptions& o) {
  updater::ResourceArchive archive;
  if (!LoadArchive(o.archive, archive)) return kExitFailure;
  for (const std::string& name : o.names) {
    if (!archive.Remove(name.c_str())) {
      Error(patchlib::Show(o.archive) + ": no entry named " + patchlib::Show(name) +
            "; nothing changed");
      return kExitFailure;
    }
  }
  return SaveArchive(archive, o.archive) ? kExitSuccess : kExitFailure;
}

}  // namespace

void AddEditCommands(tools::CommandLine& cli) {
  auto add = std::make_shared<EditOptions>();
  cli.Add("add", "add a file as a new entry", kAddDescription,
          [add] { return PutFile(*add, false); })
      .Path("ARCHIVE", &add->archive, "the archive to change")
      .Path("FILE", &add->file, "the file whose content the entry gets")
      .OptionalPath("NAME", &add->name, "the entry's name");
  auto remove = std::make_shared<EditOptions>();
  cli.Add("remove", "remove entries", kRemoveDescription,
          [remove] { return Remove(*remove); })
      .Path("ARCHIVE", &remove->archive, "the archive to change")
      .Paths("NAME", &remove->names, "the entries to remove", true);
  auto replace = std::make_shared<EditOptions>();
  cli.Add("replace", "replace an entry's content", kReplaceDescription,
          [replace] { return PutFile(*replace, true); })
      .Path("ARCHIVE", &replace->archive, "the archive to change")
      .Path("FILE", &replace->file, "the file whose content the entry gets")
      .OptionalPath("NAME", &replace->name, "the entry's name");
}

}  // namespace karchive
