// The seam remembers the last file operation that failed, so a front end
// can say in words what went wrong and where after a run reports only
// that it failed: "create /game/data/a.txt: Is a directory".
//
// Recorded: opening or creating a file, reading, writing, truncating and
// flushing one, deleting, renaming and replacing, making and removing a
// directory, making a temporary file or directory. Queries (kinds,
// listings, identities, sizes) are not: a missing name there is an answer,
// not a failure. Process-wide (a helper thread's failure counts too).
#ifndef PLATFORM_LAST_FAILURE_H_
#define PLATFORM_LAST_FAILURE_H_

#include <string>
#include <vector>

namespace platform {

// What a failure means for the user, where the system tells.
enum class FailureKind {
  kOther,
  kAccessDenied,  // the user lacks the rights (EACCES, EPERM; ERROR_ACCESS_DENIED)
  kInUse,         // another program holds the file (ERROR_SHARING_VIOLATION,
                  // ERROR_LOCK_VIOLATION; never on POSIX)
  kNoSpace,       // the volume is full (ENOSPC; ERROR_DISK_FULL)
};

struct FailedOperation {
  std::string operation;  // "open", "create", "write", "delete", ...
  std::string path;       // cp932; "" for operations on an open file
  std::string target;     // cp932; where a rename or replace was to go
  std::string reason;     // the system's text (cp932 on Windows, the C
                          // library's on POSIX), or "an injected fault"
  FailureKind kind = FailureKind::kOther;
};

// The last failed operation since ForgetLastFailure; false when none.
bool GetLastFailure(FailedOperation* out);

// The last few (up to 16) failed operations, oldest first: a step that
// tries several times (making a directory's parents one by one) fails
// more than once, and its first failure may say the most.
std::vector<FailedOperation> RecentFailures();

// Whether the last failed operation failed for a reason that may pass
// by itself in a moment: another program (a virus scanner, the search
// indexer, the game) held the file (a sharing or lock violation, access
// denied on Windows; busy on POSIX). Worth a retry after a short wait.
bool LastFailureMayPass();

// Forgets it (a front end calls this before a run).
void ForgetLastFailure();

}  // namespace platform

#endif  // PLATFORM_LAST_FAILURE_H_
