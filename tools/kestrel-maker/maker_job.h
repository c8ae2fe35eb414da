// The maker's work, apart from its window: from two game folders to a
// checked updater (build, verify, pack, optionally sign), and "Try it" on a
// finished updater. It runs on a worker thread and tells a MakerReport what
// it does; a Cancel is a tools::RequestStop, noticed where Ctrl-C would be.
// Nothing half written is left: the payload is a temporary file beside the
// output, the checks run in scratch folders that go with them, and the
// updater appears complete or not at all.
#ifndef TOOLS_KESTREL_MAKER_MAKER_JOB_H_
#define TOOLS_KESTREL_MAKER_MAKER_JOB_H_

#include <cstdint>
#include <string>

#include "manifest_texts.h"

namespace kmaker {

// What the maker fills in. Paths and texts are cp932.
struct MakerJob {
  std::string old_dir;
  std::string new_dir;
  std::string output;  // the updater to write
  std::string stub;    // the updater without a payload (kestrel-update.exe)
  bool exact_order = false;
  bool follow_links = false;
  ManifestTexts manifest;
  // Signing: the signing program (signtool.exe or osslsigncode), the
  // certificate file (.pfx) and its password; no signing when `signer` is
  // empty.
  std::string signer;
  std::string certificate;
  std::string password;
};

// Where the work reports to; called on the worker thread.
class MakerReport {
 public:
  virtual ~MakerReport() = default;
  // One line for the log (cp932, no newline).
  virtual void Log(const std::string& line) = 0;
  // The share of the work done, 0 to 1000.
  virtual void Progress(int permille) = 0;
};

enum class Outcome { kDone, kFailed, kCancelled };

// Builds the payload from OLD and NEW, applies it to a scratch copy of OLD
// and compares the result with NEW, packs it onto the stub as the output,
// and signs that when asked. kFailed with `error` (cp932, one line, naming
// the file) when a step fails or the check finds a difference; the output
// is then left as it was.
Outcome MakeUpdater(const MakerJob& job, MakerReport& report, std::string* error);

// Applies the finished output updater to a scratch copy of OLD, as a
// player's updater would, and compares the result with NEW: the log says
// "identical" or lists the differences (kFailed then). The scratch copy is
// removed afterwards.
Outcome TryUpdater(const MakerJob& job, MakerReport& report, std::string* error);

}  // namespace kmaker

#endif  // TOOLS_KESTREL_MAKER_MAKER_JOB_H_
