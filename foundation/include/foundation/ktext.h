// Text functions on cp932 (Shift-JIS) text.
//
// Every routine treats a lead byte (0x81-0x9F, 0xE0-0xFC) and the byte
// after it as one character: a trail byte is never taken for a letter, a
// separator or a quote. Texts are KRef<char>, usually borrowed literals;
// an empty value reads as "".
#ifndef FOUNDATION_KTEXT_H_
#define FOUNDATION_KTEXT_H_

#include <cstddef>
#include <cstdint>

#include "foundation/klist.h"
#include "foundation/kref.h"

namespace zorl {

// The system's fixed name buffers: 263 characters and a NUL.
constexpr std::size_t kNameBufferSize = 264;

// True for the first byte of a two-byte character.
inline bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Bytes of the character at `p`: 2 for a lead byte that has a follower,
// else 1 (a lead byte right before the NUL stands alone).
inline std::size_t CharWidth(const char* p) {
  return IsLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0' ? 2 : 1;
}

// The text's characters, or "" for an empty value.
inline const char* TextOf(const KRef<char>& text) {
  return text ? text.Get() : "";
}

// Bounded copy: at most n - 1 bytes and a NUL into `out` (n >= 1). Text that
// does not fit is cut ("abcdef", n 4 -> "abc"). Returns `out`.
char* CopyText(char* out, const KRef<char>& text, std::size_t n);

// Appends `text` to the NUL-terminated text in `buffer` of n bytes, cutting
// what does not fit. Returns `buffer`.
char* AppendText(char* buffer, const KRef<char>& text, std::size_t n);

// Compares the first n bytes: 0 when equal, 1 otherwise. Texts that end at
// the same place within n bytes are equal ("ab", "ab" -> 0 for any n).
int CompareText(const KRef<char>& a, const KRef<char>& b, std::size_t n);

// As CompareText, but ASCII letters match regardless of case. A two-byte
// character matches only the identical two-byte character, never a byte.
int CompareTextNoCase(const KRef<char>& a, const KRef<char>& b,
                      std::size_t n);

// Characters in the text; a two-byte character counts once.
std::size_t CharCount(const KRef<char>& text);

// Byte offset of character `index` (the text's length if it has fewer).
std::size_t CharToByteOffset(const KRef<char>& text, std::size_t index);

// Byte length of `count` characters starting at character `index`.
std::size_t CharToByteLength(const KRef<char>& text, std::size_t index,
                             std::size_t count);

// Byte offset of the first character of `text` that is in `set` (two-byte
// characters compared whole), or -1 when there is none.
std::ptrdiff_t FindFirstOf(const KRef<char>& text, const KRef<char>& set);

// Lower-cases a name in place: "A"-"Z" only; two-byte characters are left
// whole ("ABC\x83\x41" -> "abc\x83\x41").
void LowerName(char* name);

// Name key used by archive lookups: copies at most 263 bytes of `name` into
// `out` (kNameBufferSize bytes) and lower-cases it.
void MakeNameKey(char* out, const KRef<char>& name);

// Splits a command line into arguments and appends each, as a new counted
// buffer of its length plus a NUL, to `out`. Returns the number appended.
//   a "b c"d ""e   ->   [a] [b cd] ["e]
// Spaces and tabs separate; a double quote opens a section that runs to the
// next lone quote; a doubled quote is one literal quote; text right after a
// section joins the same argument; a missing closing quote ends at the end.
std::uint32_t SplitCommandLine(const KRef<char>& line, KList<char>& out);

}  // namespace zorl

#endif  // FOUNDATION_KTEXT_H_
