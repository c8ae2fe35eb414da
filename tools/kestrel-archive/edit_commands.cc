// kestrel-archive add | remove | replace: edit an archive in place, always
// writing a complete new archive and replacing the old one atomically.
#include <cstdio>
#include <string>
#include <vector>

#include "archive_commands.h"
#include "archive_io.h"
#include "patchlib/console.h"
#include "patchlib/entry_name.h"

namespace karchive {
namespace {

const char kAddHelp[] =
    "usage: kestrel-archive add ARCHIVE FILE [NAME]\n\n"
    "Appends FILE as a new entry named NAME (default: FILE's last path\n"
    "component), lowered. Fails when the name exists. The archive is written\n"
    "anew through a temporary file and replaced only when complete.\n";
const char kRemoveHelp[] =
    "usage: kestrel-archive remove ARCHIVE NAME...\n\n"
    "Removes the named entries (letter case of ASCII letters ignored). Fails,\n"
    "changing nothing, when one is missing. Written through a temporary file.\n";
const char kReplaceHelp[] =
    "usage: kestrel-archive replace ARCHIVE FILE [NAME]\n\n"
    "Gives the existing entry NAME (default: FILE's last path component)\n"
    "FILE's content, keeping its place in the order. Fails when the entry is\n"
    "missing. Written through a temporary file.\n";

std::string LastComponent(const std::string& path) {
  const std::vector<std::string> parts = patchlib::SplitComponents(path);
  return parts.back();
}

// Shared by add and replace: ARCHIVE FILE [NAME].
int PutFile(int argc, char** argv, const char* help, bool replace) {
  if (WantsHelp(argc, argv)) {
    std::fputs(help, stdout);
    return kExitSuccess;
  }
  if (argc < 2 || argc > 3) {
    std::fputs(help, stderr);
    return kExitUsage;
  }
  std::string path, file_path, name;
  if (!PathArg(argv[0], &path) || !PathArg(argv[1], &file_path))
    return kExitUsage;
  if (argc == 3) {
    if (!PathArg(argv[2], &name)) return kExitUsage;
  } else {
    name = LastComponent(file_path);
  }
  if (name.empty() || name.size() > updater::kMaxEntryNameLength) {
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

}  // namespace

int AddCommand(int argc, char** argv) {
  return PutFile(argc, argv, kAddHelp, false);
}

int ReplaceCommand(int argc, char** argv) {
  return PutFile(argc, argv, kReplaceHelp, true);
}

int RemoveCommand(int argc, char** argv) {
  if (WantsHelp(argc, argv)) {
    std::fputs(kRemoveHelp, stdout);
    return kExitSuccess;
  }
  if (argc < 2) {
    std::fputs(kRemoveHelp, stderr);
    return kExitUsage;
  }
  std::string path;
  if (!PathArg(argv[0], &path)) return kExitUsage;
  updater::ResourceArchive archive;
  if (!LoadArchive(path, archive)) return kExitFailure;
  for (int i = 1; i < argc; ++i) {
    std::string name;
    if (!PathArg(argv[i], &name)) return kExitUsage;
    if (!archive.Remove(name.c_str())) {
      Error(patchlib::Show(path) + ": no entry named " + patchlib::Show(name) +
            "; nothing changed");
      return kExitFailure;
    }
  }
  return SaveArchive(archive, path) ? kExitSuccess : kExitFailure;
}

}  // namespace karchive
