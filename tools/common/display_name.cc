#include "display_name.h"

#include "console_text.h"
#include "platform/text.h"

namespace tools {
namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

void AppendEscape(unsigned char c, std::string* out) {
  static const char kHex[] = "0123456789abcdef";
  *out += "\\x";
  *out += kHex[c >> 4];
  *out += kHex[c & 15];
}

// The escaped name; `utf8`, when given, receives it in UTF-8 as well.
std::string Escape(const std::string& name, std::string* utf8) {
  bool plain = true, control = false;
  for (unsigned char c : name) {
    if (c >= 0x80) plain = false;
    if (IsControl(c)) control = true;
  }
  if (plain && !control) {  // printable ASCII: the common case, no conversion
    if (utf8) *utf8 = name;
    return name;
  }
  if (!control) {
    bool ok = false;
    std::string converted = platform::Cp932ToUtf8(name, &ok);
    if (ok) {
      if (utf8) *utf8 = std::move(converted);
      return name;
    }
  }
  // Character by character: only names with something to escape get here.
  std::string out;
  for (std::string::size_type i = 0; i < name.size();) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsControl(c)) {
      AppendEscape(c, &out);
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else {
      const std::string::size_type length =
          platform::IsLeadByte(c) && i + 1 < name.size() ? 2 : 1;
      bool ok = false;
      platform::Cp932ToUtf8(name.substr(i, length), &ok);
      if (ok) {
        out += name.substr(i, length);
        i += length;
      } else {
        AppendEscape(c, &out);  // the next byte is looked at on its own
        ++i;
      }
    }
  }
  if (utf8) *utf8 = platform::Cp932ToUtf8(out);
  return out;
}

}  // namespace

std::string EscapeName(const std::string& cp932) { return Escape(cp932, nullptr); }

std::string ShowName(const std::string& cp932) {
  return ToConsole(Escape(cp932, nullptr));
}

std::string ShowText(const std::string& utf8) {
  return ShowName(platform::Utf8ToCp932(utf8));
}

std::string Utf8Name(const std::string& cp932) {
  std::string utf8;
  Escape(cp932, &utf8);
  return utf8;
}

}  // namespace tools
