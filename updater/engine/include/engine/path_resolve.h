// Resolution of a command's relative name against the game directory.
#ifndef ENGINE_PATH_RESOLVE_H_
#define ENGINE_PATH_RESOLVE_H_

namespace updater {

// Resolves `name` against `dir` into `out` (264 bytes; at most 263
// characters, a two-byte character is never split):
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
void ResolvePath(const char* dir, const char* name, char* out);

}  // namespace updater

#endif  // ENGINE_PATH_RESOLVE_H_
