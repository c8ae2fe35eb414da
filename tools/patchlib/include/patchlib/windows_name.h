// How Windows reads a file name: what it cannot hold or keep apart. The
// tools refuse names in a game tree or an archive that would turn into
// another file, or into no file, on a player's Windows.
#ifndef PATCHLIB_WINDOWS_NAME_H_
#define PATCHLIB_WINDOWS_NAME_H_

#include <string>

namespace patchlib {

// Why Windows cannot hold `component` (one cp932 name, no separators) as
// a file or directory name of its own, or "" when it can. Refused:
// reserved device names with any extension ("con", "AUX.txt",
// "nul.tar.gz", "com1", "lpt9", "conin$"), and names ending in a dot or a
// space (Windows drops those, so "a." is "a").
std::string WindowsNameProblem(const std::string& component);

// The key under which a file system that ignores letter case finds
// `cp932` (a name or a relative path): the text as Unicode with every
// letter that has an upper-case form upper-cased (ASCII, full-width,
// Greek, Cyrillic, Roman numerals), so two names with equal keys are one
// file on Windows. Names whose cp932 codes differ but mean one character
// (0x8754 and 0xFA4A are both "Ⅰ") get one key too; on Linux both are
// written as the same UTF-8 name. Bytes that are no cp932 character stay
// apart (escaped).
//   FileNameKey("Config/Settings.ini") == FileNameKey("config/SETTINGS.INI")
std::string FileNameKey(const std::string& cp932);

}  // namespace patchlib

#endif  // PATCHLIB_WINDOWS_NAME_H_
