#include "engine/temporary_file.h"

#include "engine/archive_rebuild.h"
#include "platform/filesystem.h"

namespace updater {

TemporaryFile::~TemporaryFile() {
  stream.Close();
  if (name[0]) RemoveTemporaryFile(name);
}

bool TemporaryFile::Create(const char* dir, UndoJournal* journal) {
  return (journal ? journal->CreateTemporary(dir, name)
                  : platform::MakeTempFile(dir, "qx", name)) &&
         stream.Open(zorl::KFILE_READ | zorl::KFILE_WRITE | zorl::KFILE_CREATE | zorl::KFILE_NEW,
                     name);
}

}  // namespace updater
