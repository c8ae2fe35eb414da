// Names made safe to show. A name read from an archive, a payload or a
// directory can hold any bytes: control characters that would move the
// cursor or erase the line above on a terminal, and bytes that are not
// cp932 characters at all. Each becomes a visible "\xNN".
//
//   EscapeName("a\x1b[2Kb")  -> "a\\x1b[2Kb"   (the text a\x1b[2Kb)
//   EscapeName("\x95\x5C")   -> unchanged       (表: a whole cp932 character)
//   EscapeName("x\x85\x40")  -> "x\\x85@"       (0x85 0x40 is no character)
#ifndef TOOLS_COMMON_DISPLAY_NAME_H_
#define TOOLS_COMMON_DISPLAY_NAME_H_

#include <string>

namespace tools {

// `cp932` with every control character (0x00-0x1F, 0x7F) and every byte
// that does not begin a cp932 character written as "\xNN" (lower-case
// hex); everything else unchanged, so the result is still cp932.
std::string EscapeName(const std::string& cp932);

// For the terminal: the escaped name as the console shows text.
std::string ShowName(const std::string& cp932);

// For the terminal: a UTF-8 text (a manifest's label or caption) as
// ShowName shows it, through cp932 (characters it lacks become "?").
std::string ShowText(const std::string& utf8);

// For JSON and other UTF-8 output, on every platform: the escaped name in
// UTF-8 (always valid UTF-8).
std::string Utf8Name(const std::string& cp932);

}  // namespace tools

#endif  // TOOLS_COMMON_DISPLAY_NAME_H_
