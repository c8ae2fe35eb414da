// A power-cut model of the disk, for tests. Once started, the seam
// remembers every change that a power cut could still take back: data
// written to a file since that file's last flush, and names created,
// renamed or deleted in a directory since that directory's last flush
// (a rename counts as flushed once both its directories are). At the
// chosen flush, or on PowerCutNow, the power "goes": the file data not
// flushed is dropped, zero-filled or torn, the names not flushed go back
// (newest first), and the process ends as a kill would end it. What is on
// disk then is what a machine could find after the cut; a test runs the
// recovery on it.
//
// Deletions are made as moves into a holding folder on the same volume,
// so that a deletion taken back brings back the very file. One model per
// process, on the thread that makes the operations.
#ifndef PLATFORM_POWER_CUT_H_
#define PLATFORM_POWER_CUT_H_

#include "platform/file.h"

namespace platform {

// What becomes of file data written but not flushed.
enum class LostData {
  kDropped,  // the file is as at its last flush
  kZeroed,   // the old bytes, then zeros up to the size the writes gave
  kTorn,     // the new size, the writes on the disk up to a sector
             // boundary about halfway, zeros after it
};

// Starts the model. `held_dir`: an existing empty folder on the game's
// volume, outside the game folder, for the deleted files. With
// `names_kept`, every change of names counts as durable at once (a
// system that wrote them through) and only file data is lost.
void StartPowerCutModel(const char* held_dir, LostData data, bool names_kept);

// The power goes just before the `k`-th flush (FileFlush, FlushDirectory
// or FlushFileSystem; 1 = the next) from now; k <= 0 never.
void ArmPowerCut(long k);

// Flushes seen since the model started.
long FlushesSeen();

// The power goes now.
[[noreturn]] void PowerCutNow();

namespace internal {
// The seam's hooks; each does nothing while no model runs. Remove and
// Replace make the operation themselves (true: it is made, `*ok` holds its
// result).
bool PowerCutActive();
void BeforeOpen(const char* path, unsigned mode, bool* existed);
void AfterOpen(const char* path, FileHandle file, bool existed);
void BeforeWrite(FileHandle file);
void BeforeFlush(FileHandle file);
void AfterFlush(FileHandle file);
void BeforeDirectoryFlush();
void AfterDirectoryFlush(const char* path);
void AfterFileSystemFlush();
bool RemoveInstead(const char* path, bool* ok);
bool ReplaceInstead(const char* from, const char* to, bool* ok);
void AfterRename(const char* from, const char* to);
void AfterMakeDirectory(const char* path);
void AfterMakeTempFile(const char* path);
void AfterRemoveDirectory(const char* path);
}  // namespace internal

}  // namespace platform

#endif  // PLATFORM_POWER_CUT_H_
