#include "archive_io.h"

#include "patchlib/atomic_output.h"
#include "patchlib/console.h"

namespace karchive {

void Error(const std::string& message) { patchlib::PrintError(kTool, message); }

bool LoadArchive(const std::string& path, updater::ResourceArchive& archive) {
  const std::string not_a_file = patchlib::NotAFile(path);
  if (!not_a_file.empty()) {
    Error(patchlib::Show(path) + ": " + not_a_file);
    return false;
  }
  zorl::KFile file;
  if (!file.Open(zorl::KFILE_READ, path.c_str())) {
    Error(patchlib::Show(path) + ": cannot open the file");
    return false;
  }
  if (!archive.Load(file)) {
    Error(patchlib::Show(path) +
          ": not a valid archive (bad magic, truncated directory, or a bad "
          "or duplicate name)");
    return false;
  }
  return true;
}

bool StartEmptyArchive(updater::ResourceArchive& archive) {
  static const unsigned char kEmpty[8] = {'K', 'M', 'F', ' ', 0, 0, 0, 0};
  zorl::KFile header;
  if (!header.OpenMemory("(new archive)", sizeof kEmpty,
                         zorl::KMEM_READ | zorl::KMEM_WRITE) ||
      header.Write(kEmpty, sizeof kEmpty) != sizeof kEmpty)
    return false;
  return archive.Load(header);
}

bool SaveArchive(updater::ResourceArchive& archive, const std::string& path) {
  patchlib::AtomicOutput output;
  if (!output.Open(path)) {
    archive.Close();
    Error(patchlib::Show(path) + ": cannot create a file in its directory");
    return false;
  }
  patchlib::ProgressBar bar("writing");
  const bool saved = archive.Save(
      output.file(),
      [&bar](std::int64_t done, std::int64_t total) {
        bar.Update(static_cast<std::uint64_t>(done),
                   static_cast<std::uint64_t>(total));
      });
  bar.Finish();
  archive.Close();
  if (!saved) {
    Error(patchlib::Show(path) +
          ": cannot write the archive (an entry's file could not be read, "
          "the disk is full, or it would pass 2 GiB)");
    return false;
  }
  if (!output.Commit()) {
    Error(patchlib::Show(path) + ": cannot replace the file");
    return false;
  }
  return true;
}

}  // namespace karchive
