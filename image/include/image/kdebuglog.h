// The image library's process-wide debug log.
#ifndef IMAGE_KDEBUGLOG_H_
#define IMAGE_KDEBUGLOG_H_

namespace zorl {

// Closes the log file, if one is attached, and clears the log-file flag. Lines written
// afterwards go to the debugger output only.
void KDebugLogClose();

}  // namespace zorl

#endif  // IMAGE_KDEBUGLOG_H_
