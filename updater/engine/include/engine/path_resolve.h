// Resolution of a command's relative name against the game directory.
#ifndef ENGINE_PATH_RESOLVE_H_
#define ENGINE_PATH_RESOLVE_H_

#include <string>

namespace updater {

// Resolves `name` against `dir`:
//  - an empty name gives the directory, an empty directory the name;
//  - both with a drive ("C:") and different drives: the name unchanged;
//    otherwise the drives come off and the directory's (else the name's)
//    goes back in front of the result;
//  - a rooted name ("/", "\") or an unrooted directory: drive + name;
//  - otherwise the directory with "/" separators and a trailing "/",
//    after leading all-dot components of the name's directory part are
//    consumed ("." nothing, ".." one level up, each further dot one more),
//    followed by the rest of the name. Running out of directory levels
//    gives drive + "/" + name. "..x" is an ordinary component.
// Trail bytes of two-byte characters never count as separators.
// The whole result, however long.
std::string ResolvedPath(const char* dir, const char* name);

// The same into `out` (264 bytes). A result longer than 263 bytes does not
// fit: false, with `out` empty. A cut path would name another file, so it
// is never made.
bool ResolvePath(const char* dir, const char* name, char* out);

// Joins `dir`, a "/" (unless `dir` is empty or ends in a separator) and
// `name` into `out` (264 bytes). False, with `out` empty, when the result
// is longer than 263 bytes.
//   JoinPath("/g/tree", "a.txt") -> "/g/tree/a.txt"
bool JoinPath(const char* dir, const char* name, char* out);

}  // namespace updater

#endif  // ENGINE_PATH_RESOLVE_H_
