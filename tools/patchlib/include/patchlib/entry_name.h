// Checks on the names the tools put into archives and command streams and
// take out of them again.
#ifndef PATCHLIB_ENTRY_NAME_H_
#define PATCHLIB_ENTRY_NAME_H_

#include <string>
#include <vector>

namespace patchlib {

// Splits a cp932 path at "/" and "\" (a trail byte 0x5C is no separator).
std::vector<std::string> SplitComponents(const std::string& path);

// Whether one file or directory name (cp932) can be carried to Windows
// unchanged: not empty, not all dots, no separator, no control character
// and none of < > : " | ? * ("?" is also what an unconvertible character
// became), no device name and no dot or space at the end (see
// WindowsNameProblem). False with `why` set otherwise.
bool ValidComponent(const std::string& component, std::string* why);

// Whether `path` is a relative path of valid components, so that joined to
// a directory it stays inside it. False with `why` set otherwise.
bool SafeRelativePath(const std::string& path, std::string* why);

// The place inside the game directory that the updater reaches with
// `name`, as a relative path of plain components joined by "/": the
// engine's own resolution, then the file system's reading of any "." and
// ".." and empty components it kept. False when that place is outside
// the game directory or the directory itself, or when `name` starts with
// a drive ("C:"), which stays inside only on the game's own drive.
//   "cache/." -> "cache"   "a/../b\\c/" -> "b/c"   "./x" -> "x"
bool GamePath(const std::string& name, std::string* relative);

// Whether the updater would resolve `name` to a place inside its game
// directory (not the directory itself): GamePath succeeds.
bool ResolvesInsideGame(const std::string& name);

}  // namespace patchlib

#endif  // PATCHLIB_ENTRY_NAME_H_
