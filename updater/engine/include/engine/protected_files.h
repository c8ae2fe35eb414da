// The files a run must never write or delete, whatever name a command uses
// for them: the loaded archive (its entries are read from it until the
// rebuild), the payload's temporary file (the command stream) and the
// running updater. They are recognised by file identity (device and inode,
// volume serial and file index), never by spelling: "sub/../mareld.dat",
// "dir//mareld.dat", "mareld.dat.", a short 8.3 name, a hard link or a link
// to it are all the same file.
#ifndef ENGINE_PROTECTED_FILES_H_
#define ENGINE_PROTECTED_FILES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/kfile.h"
#include "platform/file.h"

namespace updater {

class ProtectedFiles {
 public:
  // Protects the file under an open file stream (or view) whose whole file
  // is `file_size` bytes long. False when its identity cannot be read.
  bool Add(const zorl::KFile& file, std::uint64_t file_size);
  // Protects a file by identity and size.
  void Add(const platform::FileIdentity& identity, std::uint64_t file_size);
  // Protects a folder and everything in it (the undo journal): names
  // inside it (read as the file system reads them) are never written or
  // deleted, and walks never enter it (it is known by its `name` and,
  // under that name, by its identity).
  void AddFolder(const char* path, const char* name,
                 const platform::FileIdentity& identity);
  // Whether a walk may enter the directory `path` (named `name`).
  bool MayEnter(const char* path, const char* name) const;

  // Whether opening `path` for writing would reach a protected file (links
  // are followed, as opening follows them). A name whose identity cannot
  // be read counts as protected: the run never acts on what it cannot
  // tell apart.
  bool ReachedByWrite(const char* path) const;
  // Whether deleting `path` would delete a protected file (a link itself
  // is never one). Same rule for an unreadable identity.
  bool ReachedByDelete(const char* path) const;
  // The same for a file a directory listing reported with `size` bytes: no
  // protected file has another size, so most files need no lookup.
  bool ReachedByDelete(const char* path, std::uint64_t size) const;

  bool empty() const { return files_.empty() && folders_.empty(); }

 private:
  struct File {
    platform::FileIdentity identity;
    std::uint64_t size;
  };
  bool Reached(const char* path, bool follow_links) const;
  bool InFolder(const char* path) const;
  std::vector<File> files_;
  struct Folder {
    std::string path, name;
    platform::FileIdentity identity;
  };
  std::vector<Folder> folders_;
};

}  // namespace updater

#endif  // ENGINE_PROTECTED_FILES_H_
