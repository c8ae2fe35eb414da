#include "engine/patch_commands.h"

#include <functional>
#include <memory>
#include <string>

#include "engine/delta_entry.h"
#include "engine/delta_frames.h"
#include "engine/directory_tree.h"
#include "engine/file_steps.h"
#include "engine/messages.h"
#include "engine/patch_format.h"
#include "engine/path_resolve.h"
#include "engine/temporary_file.h"
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
      if (!(IsFileOrLink(path) ? c.journal->ReplaceWithNew(path)
                               : c.journal->WillCreateFile(path)))
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
    } else if (!DeleteLooseFile(path)) {
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

  // Reads a delta's head; its frames must be in the payload.
  DeltaHead ReadDelta() {
    unsigned char bytes[kDeltaHeadSize];
    DeltaHead head;
    if (c.payload.Read(kDeltaHeadSize, bytes) != static_cast<std::int32_t>(kDeltaHeadSize) ||
        !ParseDeltaHead(bytes, &head))
      c.ui.Error(kMsgCannotRead);
    RequireContent(head.delta_size);
    return head;
  }
  // Moves the payload past a delta's frames, wherever the decoder stopped.
  void SkipFrames(std::int32_t frames_at, const DeltaHead& head) {
    if (!c.payload.Seek(zorl::KSEEK_BEGIN, frames_at) ||
        !c.payload.Seek(zorl::KSEEK_CURRENT, static_cast<std::int32_t>(head.delta_size)))
      c.ui.Error(kMsgCannotRead);
  }

  // The new content is rebuilt into a temporary file beside the old one,
  // which stays untouched until the rebuild is whole and proven; then the
  // old file goes into the journal (as for opcode 0) and the new one takes
  // its name.
  void PatchFile() {
    ReadNameAndResolve(kMsgCannotCreateFile);
    const DeltaHead head = ReadDelta();
    const std::int32_t frames_at = c.payload.Tell();
    c.ui.Pump();
    if (WriteReaches(path)) c.ui.Error(kMsgCannotCreateFile, path);
    zorl::KFile old;
    if (platform::GetPathKind(path) != platform::PathKind::kFile ||
        !old.Open(zorl::KFILE_READ, path))
      c.ui.Error(kMsgCannotCreateFile, path);
    TemporaryFile fresh;
    if (!fresh.Create(c.game_dir, c.journal)) c.ui.Error(kMsgCannotCreateFile, path);
    ContentHasher hasher;
    std::uint32_t done = 0;
    const DeltaResult result = RebuildFromDelta(
        head, old, c.payload,
        [&](const unsigned char* data, std::uint32_t n) {
          if (c.proof) hasher.Update(data, n);
          if (fresh.stream.Write(data, n) != static_cast<std::int32_t>(n))
            c.ui.Error(kMsgCannotWrite);
          done += n;
          c.pacer.Report(done, head.new_size);
        },
        [this] { c.ui.Pump(); });
    old.Close();
    if (result == DeltaResult::kWrongReference) c.ui.Error(kMsgCannotCreateFile, path);
    if (result != DeltaResult::kRebuilt) c.ui.Error(kMsgCannotRead);
    SkipFrames(frames_at, head);
    if (c.proof && !c.proof->LooseFileWritten(name, hasher.bytes(), hasher.Digest()))
      c.ui.Error(kMsgCannotWriteArchive);
    // With a journal the new file is flushed at the commit, with every
    // other file the run made; without one it must be on the disk before
    // it replaces the old.
    if (!c.journal && !fresh.stream.Flush()) c.ui.Error(kMsgCannotWrite);
    fresh.stream.Close();
    if (c.journal) {
      if (!c.journal->ReplaceWithNew(path) || !platform::RenameFile(fresh.name, path))
        c.ui.Error(kMsgCannotCreateFile, path);
    } else if (!platform::ReplaceFile(fresh.name, path)) {
      c.ui.Error(kMsgCannotCreateFile, path);
    }
    fresh.Keep();
  }

  // The entry keeps its old content as the reference and is rebuilt from
  // the delta while the archive is saved; like opcode 4 it moves to the
  // end of the order.
  void PatchEntry() {
    ReadName();
    c.ui.Pump();
    const DeltaHead head = ReadDelta();
    const zorl::KRef<ArchiveEntry> old = c.archive.Find(name);
    if (!old || old->builder) c.ui.Error(kMsgCannotAddEntry, name);
    auto entry = std::make_shared<DeltaEntry>(head, old->content, c.payload);
    if (!entry->opened()) c.ui.Error(kMsgCannotAddEntry, name);
    c.archive.Remove(name);
    if (!c.archive.AddBuilt(name, entry)) c.ui.Error(kMsgCannotAddEntry, name);
    if (!c.payload.Seek(zorl::KSEEK_CURRENT, static_cast<std::int32_t>(head.delta_size)))
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
    case kOpPatchFile:
      return command.PatchFile();
    case kOpPatchEntry:
      return command.PatchEntry();
    default:
      context.ui.Error(kMsgCannotRead);
  }
}

}  // namespace updater
