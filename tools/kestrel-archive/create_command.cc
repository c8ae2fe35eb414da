// kestrel-archive create ARCHIVE DIR [--order FILE]
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive_commands.h"
#include "archive_io.h"
#include "foundation/ktext.h"
#include "patchlib/console.h"
#include "patchlib/game_tree.h"

namespace karchive {
namespace {

const char kDescription[] =
    "Packs every file below DIR into a new archive in canonical form: entry\n"
    "names are the files' paths relative to DIR (\"/\" separated, cp932,\n"
    "ASCII letters lowered), contents packed in directory order right after\n"
    "the directory. The order is the lowered names' byte order, or the order\n"
    "of the names in an order file. Links, FIFOs, sockets and devices below\n"
    "DIR are refused (links: unless --follow-links), and so are names Windows\n"
    "cannot hold or keep apart.\n"
    "ARCHIVE is written through a temporary file and replaced at the end;\n"
    "when it lies in DIR (given as DIR/NAME), it is not packed into itself.";

struct CreateOptions {
  std::string archive, dir, order;
  bool order_given = false;
  bool follow_links = false;
};

std::string Lowered(const std::string& name) {
  char key[zorl::kNameBufferSize];
  zorl::MakeNameKey(key, name.c_str());
  return key;
}

bool ReadOrderFile(const std::string& path, std::vector<std::string>* names) {
  zorl::KFile file;
  if (!file.Open(zorl::KFILE_READ, path.c_str())) {
    Error(patchlib::Show(path) + ": cannot open the order file");
    return false;
  }
  const std::int32_t size = file.GetSize();
  std::string text(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  if (size < 0 || (size > 0 && file.Read(size, &text[0]) != size)) {
    Error(patchlib::Show(path) + ": cannot read the order file");
    return false;
  }
  std::size_t start = 0, line_no = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::string cp932;
    if (!patchlib::ArgToCp932(line, &cp932)) {
      Error(patchlib::Show(path) + ":" + std::to_string(line_no) +
            ": name has characters cp932 cannot hold");
      return false;
    }
    names->push_back(cp932);
  }
  return true;
}

int Create(const CreateOptions& o) {
  const std::string& path = o.archive;
  const std::string& dir = o.dir;
  const std::string& order_path = o.order;
  std::vector<patchlib::TreeItem> items;
  std::string error;
  patchlib::WalkOptions walk;
  walk.follow_links = o.follow_links;
  if (!patchlib::WalkTree(dir, &items, &error, walk)) {
    Error(error);
    return kExitFailure;
  }
  // Lowered entry name -> path relative to DIR.
  std::map<std::string, std::string> files;
  for (const patchlib::TreeItem& item : items) {
    if (item.is_directory) continue;
    // An archive written into DIR itself (an old copy of it) is no entry.
    if (patchlib::JoinPath(dir, item.path) == path) continue;
    if (item.path.size() > updater::kMaxEntryNameLength) {
      Error(patchlib::Show(patchlib::JoinPath(dir, item.path)) +
            ": name longer than 263 bytes");
      return kExitFailure;
    }
    const std::string key = Lowered(item.path);
    auto it = files.find(key);
    if (it != files.end()) {
      Error(patchlib::Show(patchlib::JoinPath(dir, item.path)) +
            ": same entry name as " + patchlib::Show(it->second) +
            " (names differ only in letter case)");
      return kExitFailure;
    }
    files[key] = item.path;
  }

  std::vector<std::string> order;  // lowered names
  if (o.order_given) {
    std::vector<std::string> listed;
    if (!ReadOrderFile(order_path, &listed)) return kExitFailure;
    std::map<std::string, bool> seen;
    for (const std::string& name : listed) {
      const std::string key = Lowered(name);
      if (!files.count(key)) {
        Error(patchlib::Show(order_path) + ": " + patchlib::Show(name) +
              " is not a file below " + patchlib::Show(dir));
        return kExitFailure;
      }
      if (seen[key]) {
        Error(patchlib::Show(order_path) + ": " + patchlib::Show(name) +
              " is listed twice");
        return kExitFailure;
      }
      seen[key] = true;
      order.push_back(key);
    }
    for (const auto& file : files)
      if (!seen[file.first]) {
        Error(patchlib::Show(order_path) + ": does not list " +
              patchlib::Show(file.second));
        return kExitFailure;
      }
  } else {
    for (const auto& file : files) order.push_back(file.first);  // byte order
  }

  updater::ResourceArchive archive;
  if (!StartEmptyArchive(archive)) {
    Error("cannot start a new archive");
    return kExitFailure;
  }
  for (const std::string& key : order) {
    const std::string file_path = patchlib::JoinPath(dir, files[key]);
    zorl::KFile content;
    if (!content.Open(zorl::KFILE_READ, file_path.c_str())) {
      Error(patchlib::Show(file_path) + ": cannot open the file");
      return kExitFailure;
    }
    if (!archive.Add(key.c_str(), content)) {
      Error(patchlib::Show(file_path) + ": cannot add the entry");
      return kExitFailure;
    }
  }
  if (!SaveArchive(archive, path)) return kExitFailure;
  std::printf("%zu entries written to %s\n", order.size(),
              patchlib::Show(path).c_str());
  return kExitSuccess;
}

}  // namespace

void AddCreateCommand(tools::CommandLine& cli) {
  auto o = std::make_shared<CreateOptions>();
  cli.Add("create", "pack a directory into a new archive", kDescription,
          [o] { return Create(*o); })
      .Path("ARCHIVE", &o->archive, "the archive to write")
      .Path("DIR", &o->dir, "the directory whose files become the entries")
      .PathOption("--order", "FILE", &o->order,
                  "entry order: one name per line (UTF-8; blank lines and "
                  "lines starting with '#' are skipped), every file exactly "
                  "once",
                  false, &o->order_given)
      .Flag("--follow-links", &o->follow_links,
            "pack what links below DIR point to (a link is an error "
            "otherwise); loops are refused");
}

}  // namespace karchive
