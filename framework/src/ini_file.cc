#include "framework/win32.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/ktext.h"
#include "framework/ini_file.h"
#include "platform/file.h"
#include "wide_text.h"

namespace QWF {

namespace {

// Ends in a path separator; a trail byte 0x5C is none.
bool EndsInSeparator(const zorl::KString& text) {
  const char* p = text.Text();
  bool last_is_separator = false;
  while (*p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (zorl::IsLeadByte(c) && p[1]) {
      last_is_separator = false;
      p += 2;
      continue;
    }
    last_is_separator = c == '\\' || c == '/';
    ++p;
  }
  return last_is_separator;
}

// The leading decimal number of `text` as atoi reads it (blanks, an optional sign, digits;
// 0 without digits), clamped to the int range instead of overflowing.
int LeadingInteger(const char* text) {
  long long value = std::strtoll(text, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// The system writes an ini file in the system code page unless the file starts with a
// UTF-16 byte order mark, and a Japanese text then becomes "?" on a Western system. A file
// this object creates starts with one; an existing file is left as it is.
void CreateUnicodeFile(const char* path) {
  platform::FileHandle file = platform::FileOpen(path, platform::kFileWrite | platform::kFileNew);
  if (file == platform::kInvalidFile) return;  // exists already, or cannot be made
  const unsigned char mark[] = {0xFF, 0xFE};
  platform::FileWriteAt(file, 0, mark, sizeof(mark));
  platform::FileClose(file);
}

}  // namespace

zorl::KString IniSettingsPath(const zorl::KString& directory, const zorl::KString& name) {
  if (directory.IsEmpty() || name.IsEmpty()) return zorl::KString();
  zorl::KString path = directory;
  if (!EndsInSeparator(path)) path.Append("\\");
  path.Append(name);
  path.Append(".ini");
  return path;
}

IniFile::IniFile(const zorl::KString& path) : path_(path) {}

IniFile::~IniFile() { Detach(); }

bool IniFile::Open(const char* section, bool) {
  if (!section_.IsEmpty() || path_.IsEmpty() || !section || !*section) return false;
  section_.Assign(zorl::KRef<char>(section));
  return true;
}

void IniFile::Detach() { section_ = zorl::KString(); }

bool IniFile::Close() {
  if (section_.IsEmpty()) return false;
  Detach();
  return true;
}

bool IniFile::Usable(const char* name) const {
  return !section_.IsEmpty() && name && *name;
}

bool IniFile::WriteInteger(const char* name, int value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%d", value);
  return WriteString(name, text);
}

bool IniFile::WriteString(const char* name, const char* value) {
  if (!Usable(name)) return false;
  CreateUnicodeFile(path_.Text());
  // A null value would delete the key: write an empty text instead.
  return WritePrivateProfileStringW(Widen(section_.Text()).c_str(), Widen(name).c_str(),
                                    Widen(value).c_str(),
                                    Widen(path_.Text()).c_str()) != FALSE;
}

int IniFile::ReadInteger(const char* name, int fallback) {
  if (!Usable(name)) return fallback;
  char fallback_text[16];
  std::snprintf(fallback_text, sizeof(fallback_text), "%d", fallback);
  return LeadingInteger(ReadString(name, fallback_text).Text());
}

zorl::KString IniFile::ReadString(const char* name, const char* fallback) {
  if (!Usable(name)) return zorl::KString(zorl::KRef<char>(fallback ? fallback : ""));
  std::wstring section = Widen(section_.Text());
  std::wstring key = Widen(name);
  std::wstring wide_fallback = Widen(fallback);
  std::wstring file = Widen(path_.Text());
  // The system cuts a value that does not fit and then returns size - 1 (or size - 2 for a
  // cut surrogate pair): try again with more room until it fits.
  std::vector<wchar_t> buffer(256);
  DWORD got = 0;
  for (;;) {
    got = GetPrivateProfileStringW(section.c_str(), key.c_str(), wide_fallback.c_str(),
                                   buffer.data(), static_cast<DWORD>(buffer.size()),
                                   file.c_str());
    if (got + 2 < buffer.size()) break;
    buffer.assign(buffer.size() + 256, L'\0');
  }
  return NarrowText(buffer.data(), got);
}

}  // namespace QWF
