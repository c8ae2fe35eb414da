// Whether another program holds a file the run is about to replace, delete
// or rename (the game still running), and which programs those are.
#ifndef PLATFORM_FILES_IN_USE_H_
#define PLATFORM_FILES_IN_USE_H_

#include <string>
#include <vector>

namespace platform {

enum class InUse {
  kFree,     // nothing stands in the way
  kHeld,     // another program has it open and refuses to share it for deletion
  kUnknown,  // missing, or it could not be opened for another reason: the
             // run meets (and reports) that itself
};

// Opens `path` (cp932) for delete access with read, write and delete
// sharing, as a rename or deletion needs it, and closes it again at once;
// a sharing violation means another program holds it. POSIX never refuses
// a rename for that: kFree there for an existing file. Not a counted
// file operation; ReportInUse (fault.h) makes a path read as held.
InUse ProbeInUse(const char* path);

// The names of the programs that hold any of `paths` open (cp932, each
// once, in the order the system gives them), asked of the Restart Manager
// on Windows. Empty when it names none or cannot be asked (and always on
// POSIX).
std::vector<std::string> ProgramsUsing(const std::vector<std::string>& paths);

}  // namespace platform

#endif  // PLATFORM_FILES_IN_USE_H_
