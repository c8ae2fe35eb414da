#include "engine/patch_commands.h"

#include <functional>
#include <memory>
#include <string>

#include "engine/directory_tree.h"
#include "engine/messages.h"
#include "engine/patch_format.h"
#include "engine/path_resolve.h"
#include "foundation/kpath.h"
#include "foundation/ktext.h"
#include "platform/filesystem.h"

namespace updater {
namespace {

constexpr std::uint32_t kCopyChunk = 1024 * 1024;

struct Command {
  UpdateContext& c;
  char name[zorl::kNameBufferSize];
  char path[zorl::kNameBufferSize];

  // Reads the command's name and shows it.
  void ReadName() {
    if (!ReadPatchName(c.payload, name)) c.ui.Error(kMsgCannotRead);
    c.ui.ShowName(name);
  }
  // Reads the name and resolves it; a path that does not fit is this
  // command's failure `message`, shown with the whole path.
  void ReadNameAndResolve(const char* message) {
    ReadName();
    if (!ResolvePath(c.game_dir, name, path))
      c.ui.Error(message, ResolvedPath(c.game_dir, name).c_str());
  }
  bool WriteReaches(const char* file) const {
    return c.protect && c.protect->ReachedByWrite(file);
  }
  bool DeleteReaches(const char* file) const {
    return c.protect && c.protect->ReachedByDelete(file);
  }
  // Creates the directory tree, recording each level it creates.
  bool MakeTree(const char* dir) {
    if (!c.journal) return MakeDirectoryTree(dir);
    UndoJournal* journal = c.journal;
    return MakeDirectoryTree(
        dir, [journal](const char* level) { return journal->WillCreateDirectory(level); },
        [journal](const char* level) { return journal->NotCreated(level); });
  }
  std::uint32_t ReadSize() {
    std::uint32_t size;
    if (!ReadU32(c.payload, &size)) c.ui.Error(kMsgCannotRead);
    return size;
  }
  // Checks that `size` content bytes follow in the payload: a short
  // payload must fail before anything on disk or in the archive changes.
  void RequireContent(std::uint32_t size) {
    const std::int32_t at = c.payload.Tell();
    const std::int32_t end = c.payload.GetSize();
    if (at < 0 || end < 0 || end < at ||
        size > static_cast<std::uint32_t>(end - at))
      c.ui.Error(kMsgCannotRead);
  }

  void WriteFile() {
    ReadNameAndResolve(kMsgCannotCreateFile);
    char dir[zorl::kNameBufferSize];
    zorl::SplitPath(path, dir, nullptr, nullptr);
    c.ui.Pump();
    if (!MakeTree(dir)) c.ui.Error(kMsgCannotCreateDirectory);
    // The size is signed: 0 or less is an empty file without content.
    const std::int32_t size = static_cast<std::int32_t>(ReadSize());
    if (size > 0) RequireContent(static_cast<std::uint32_t>(size));
    if (WriteReaches(path)) c.ui.Error(kMsgCannotCreateFile, path);
    zorl::KFile file;
    if (c.journal) {
      // The old file goes into the journal; the new one is made where
      // nothing is, so no old byte is overwritten.
      if ((IsFileOrLink(path) && !c.journal->MoveAside(path)) ||
          !c.journal->WillCreateFile(path))
        c.ui.Error(kMsgCannotCreateFile, path);
      if (!file.Open(zorl::KFILE_READ | zorl::KFILE_WRITE | zorl::KFILE_NEW, path)) {
        // Something is there after all (a directory, say): not ours.
        if (IsFileOrLink(path) ||
            platform::GetPathKind(path) != platform::PathKind::kNone)
          c.journal->NotCreated(path);
        c.ui.Error(kMsgCannotCreateFile, path);
      }
    } else if (!file.Open(zorl::KFILE_READ | zorl::KFILE_WRITE |
                              zorl::KFILE_CREATE | zorl::KFILE_NEW,
                          path)) {
      c.ui.Error(kMsgCannotCreateFile, path);
    }
    // What is written is hashed on its way to the disk, never read back.
    ContentHasher hasher;
    if (size > 0) {
      std::unique_ptr<unsigned char[]> buffer(new unsigned char[kCopyChunk]);
      std::uint32_t done = 0;
      const std::uint32_t total = static_cast<std::uint32_t>(size);
      while (done < total) {
        const std::uint32_t n =
            total - done < kCopyChunk ? total - done : kCopyChunk;
        if (c.payload.Read(n, buffer.get()) != static_cast<std::int32_t>(n))
          c.ui.Error(kMsgCannotRead);
        if (c.proof) hasher.Update(buffer.get(), n);
        if (file.Write(buffer.get(), n) != static_cast<std::int32_t>(n))
          c.ui.Error(kMsgCannotWrite);
        done += n;
        c.pacer.Report(done, total);
      }
    }
    if (c.proof && !c.proof->LooseFileWritten(name, hasher.bytes(), hasher.Digest()))
      c.ui.Error(kMsgCannotWriteArchive);
  }

  void DeleteFile() {
    ReadNameAndResolve(kMsgCannotDelete);
    if (DeleteReaches(path)) c.ui.Error(kMsgCannotDelete, path);
    if (c.journal) {
      // Deleting keeps the file in the journal until the run completes.
      if (!IsFileOrLink(path) || !c.journal->MoveAside(path))
        c.ui.Error(kMsgCannotDelete, path);
    } else if (!platform::RemoveFile(path)) {
      c.ui.Error(kMsgCannotDelete, path);
    }
  }

  void MakeDirectory() {
    ReadNameAndResolve(kMsgCannotCreateDirectory);
    c.ui.Pump();
    if (!MakeTree(path)) c.ui.Error(kMsgCannotCreateDirectory);
  }

  void EmptyTree() {
    ReadNameAndResolve(kMsgCannotDelete);
    std::string failed;
    UpdateUi& ui = c.ui;
    const ProtectedFiles* protect = c.protect;
    UndoJournal* journal = c.journal;
    std::function<bool(const char*)> remove;
    if (journal) remove = [journal](const char* file) { return journal->MoveAside(file); };
    if (!EmptyDirectoryTree(
            path, [&ui] { ui.Pump(); }, &failed,
            [protect](const TreeFile& f) {
              return protect && !f.is_link && protect->ReachedByDelete(f.path, f.size);
            },
            remove,
            [protect](const char* dir, const char* name) {
              return !protect || protect->MayEnter(dir, name);
            }))
      c.ui.Error(kMsgCannotDelete, failed.c_str());
  }

  void PutEntry() {
    ReadName();
    c.ui.Pump();
    const std::uint32_t size = ReadSize();
    RequireContent(size);
    zorl::KFile view;
    if (!view.OpenView(c.payload, -1, static_cast<std::int32_t>(size)))
      c.ui.Error(kMsgCannotAddEntry, name);
    c.archive.Remove(name);
    if (!c.archive.Add(name, view)) c.ui.Error(kMsgCannotAddEntry, name);
    if (!c.payload.Seek(zorl::KSEEK_CURRENT, static_cast<std::int32_t>(size)))
      c.ui.Error(kMsgCannotRead);
  }

  void RemoveEntry() {
    ReadName();
    if (!c.archive.Remove(name)) c.ui.Error(kMsgCannotDelete, name);
  }
};

}  // namespace

void RunPatchCommand(std::uint32_t opcode, UpdateContext& context) {
  Command command{context, {}, {}};
  switch (opcode) {
    case kOpWriteFile:
      return command.WriteFile();
    case kOpDeleteFile:
      return command.DeleteFile();
    case kOpMakeDirectory:
      return command.MakeDirectory();
    case kOpEmptyDirectoryTree:
      return command.EmptyTree();
    case kOpPutEntry:
      return command.PutEntry();
    case kOpRemoveEntry:
      return command.RemoveEntry();
    default:
      context.ui.Error(kMsgCannotRead);
  }
}

}  // namespace updater
