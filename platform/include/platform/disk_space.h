// How much room the volume that holds a directory has left.
#ifndef PLATFORM_DISK_SPACE_H_
#define PLATFORM_DISK_SPACE_H_

#include <cstdint>

namespace platform {

// The bytes the user may still write on the volume that holds `dir`
// (cp932): GetDiskFreeSpaceExW's figure for the caller on Windows,
// statvfs's blocks available to unprivileged users on POSIX. False when
// it cannot be told. ReportFreeSpace (fault.h) replaces the figure.
bool FreeDiskSpace(const char* dir, std::uint64_t* bytes);

}  // namespace platform

#endif  // PLATFORM_DISK_SPACE_H_
