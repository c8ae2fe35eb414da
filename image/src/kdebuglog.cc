#include "image/kdebuglog.h"

#include "foundation/kfile.h"
#include "foundation/klock.h"
#include "foundation/ktext.h"
#include "platform/debug.h"

namespace zorl {

namespace {

// The file's bytes are gathered here; written out when fewer than two bytes
// remain, so a CR LF or a two-byte character always fits whole.
constexpr int kBufferSize = 256;

struct DebugLog {
  KLock lock;
  KFile file;
  bool attached = false;
};

// Created on first use and never destroyed: lines may still be written
// while other static objects are torn down at exit.
DebugLog& Log() {
  static DebugLog* log = new DebugLog();
  return *log;
}

void AppendToFile(KFile& file, const char* text) {
  char buffer[kBufferSize];
  int used = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
       *p; ++p) {
    if (*p == '\r') continue;
    if (*p == '\n') {
      buffer[used++] = '\r';
      buffer[used++] = '\n';
    } else if (IsLeadByte(*p) && p[1] != '\0') {
      buffer[used++] = static_cast<char>(*p++);
      buffer[used++] = static_cast<char>(*p);
    } else {
      buffer[used++] = static_cast<char>(*p);
    }
    if (kBufferSize - used < 2) {
      file.Write(buffer, used);
      used = 0;
    }
  }
  if (used > 0) file.Write(buffer, used);
  file.Flush();
}

}  // namespace

void KDebugLogWrite(const KRef<char>& piece) {
  const char* text = TextOf(piece);
  if (*text == '\0') return;
  platform::DebugOutput(text);
  DebugLog& log = Log();
  KLockGuard guard(log.lock);
  if (log.attached) AppendToFile(log.file, text);
}

bool KDebugLogOpen(const KRef<char>& path) {
  DebugLog& log = Log();
  KLockGuard guard(log.lock);
  log.file.Close();
  log.attached = false;
  if (!log.file.Open(KFILE_WRITE | KFILE_CREATE, path)) return false;
  log.file.SetThrowMode(false);
  log.file.Seek(KSEEK_END, 0);
  log.attached = true;
  return true;
}

void KDebugLogClose() {
  DebugLog& log = Log();
  KLockGuard guard(log.lock);
  log.file.Close();
  log.attached = false;
}

}  // namespace zorl
