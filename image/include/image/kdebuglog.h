// The image library's process-wide debug log.
//
// Every piece goes to the debugger output (the platform's debug channel).
// When a log file is attached, the piece is also appended to it: each "\n"
// becomes CR LF, a CR alone is dropped, and a cp932 two-byte character is
// never split between two writes. The file is flushed after each piece.
//
//   KDebugLogWrite("[KimgLoad] \"");  KDebugLogWrite(name);
//   KDebugLogWrite("\": Load Error\n");     // one line, in three pieces
#ifndef IMAGE_KDEBUGLOG_H_
#define IMAGE_KDEBUGLOG_H_

#include "foundation/kref.h"

namespace zorl {

// Writes one piece of a log line (an empty value writes nothing). Failures
// of the log file are ignored: logging never fails its caller.
void KDebugLogWrite(const KRef<char>& piece);

// Attaches a log file, created when missing; pieces are appended to its end.
// An attached file is closed first. False when the file cannot be opened
// (no file is attached then).
bool KDebugLogOpen(const KRef<char>& path);

// Closes the log file, if one is attached, and clears the log-file flag. Lines
// written afterwards go to the debugger output only.
void KDebugLogClose();

}  // namespace zorl

#endif  // IMAGE_KDEBUGLOG_H_
