#include "patchlib/atomic_output.h"

#include "patchlib/tree_copy.h"
#include "platform/filesystem.h"
#include "platform/text.h"

namespace patchlib {

std::string DirectoryOf(const std::string& path) {
  std::string::size_type cut = std::string::npos;
  for (std::string::size_type i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (platform::IsLeadByte(c) && i + 1 < path.size()) {
      ++i;
    } else if (c == '/' || c == '\\') {
      cut = i;
    }
  }
  if (cut == std::string::npos) return ".";
  if (cut == 0) return "/";
  return path.substr(0, cut);
}

AtomicOutput::~AtomicOutput() { Abandon(); }

bool AtomicOutput::Open(const std::string& path) {
  Abandon();
  // "kst": a name no game or updater file uses, so a stale one is ours.
  // Made and opened in one step and kept open: nothing can put a link or
  // another file under the name between the two.
  if (!file_.OpenNewTemp(DirectoryOf(path).c_str(), "kst")) return false;
  temp_ = file_.GetName();
  target_ = path;
  return true;
}

bool AtomicOutput::Commit() {
  if (temp_.empty()) return false;
  const bool flushed = file_.Flush();
  file_.Close();
  if (!flushed || !platform::ReplaceFile(temp_.c_str(), target_.c_str())) {
    Abandon();
    return false;
  }
  temp_.clear();
  return true;
}

void AtomicOutput::Abandon() {
  file_.Close();
  if (!temp_.empty()) RemoveMadeFile(temp_);
  temp_.clear();
}

}  // namespace patchlib
