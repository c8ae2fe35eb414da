#include "wide.h"

#include <windows.h>

#include <utility>

#include "platform/text.h"

namespace platform {

namespace {
constexpr UINT kCp932 = 932;

// With `strict`, text that does not convert is refused (false) instead
// of turning into a replacement character.
bool ToWide(UINT cp, const std::string& text, bool strict, std::wstring* out) {
  out->clear();
  if (text.empty()) return true;
  const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
  int n = MultiByteToWideChar(cp, flags, text.data(),
                              static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return false;
  out->resize(static_cast<size_t>(n));
  return MultiByteToWideChar(cp, flags, text.data(),
                             static_cast<int>(text.size()), &(*out)[0], n) == n;
}

std::wstring ToWide(UINT cp, const std::string& text) {
  std::wstring out;
  ToWide(cp, text, false, &out);
  return out;
}

std::string FromWide(UINT cp, const std::wstring& text, bool* lossy) {
  if (lossy) *lossy = false;
  if (text.empty()) return std::string();
  BOOL used_default = FALSE;
  BOOL* flag = cp == CP_UTF8 ? nullptr : &used_default;
  int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()),
                              nullptr, 0, nullptr, flag);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()),
                      &out[0], n, nullptr, flag);
  if (lossy) *lossy = used_default != FALSE;
  return out;
}
}  // namespace

std::wstring Widen(const char* cp932) {
  return ToWide(kCp932, cp932 ? cp932 : "");
}

std::wstring Widen(const char* cp932, std::size_t count) {
  if (!cp932 || count == 0) return std::wstring();
  return ToWide(kCp932, std::string(cp932, count));
}

bool WidenName(const char* cp932, std::wstring* out) {
  std::wstring wide;
  if (!ToWide(kCp932, cp932 ? cp932 : "", true, &wide)) return false;
  *out = std::move(wide);
  return true;
}

bool Narrow(const wchar_t* text, char* out, unsigned size) {
  if (size == 0) return false;
  return CopyCp932(FromWide(kCp932, text ? text : L"", nullptr), out, size);
}

std::string Cp932ToUtf8(const std::string& cp932, bool* ok) {
  if (ok) {
    // The strict conversion fails on any byte that is not a character.
    *ok = cp932.empty() ||
          MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, cp932.data(),
                              static_cast<int>(cp932.size()), nullptr, 0) > 0;
  }
  return FromWide(CP_UTF8, ToWide(kCp932, cp932), nullptr);
}

std::string Utf8ToCp932(const std::string& utf8, bool* ok) {
  bool lossy = false;
  std::string out = FromWide(kCp932, ToWide(CP_UTF8, utf8), &lossy);
  if (ok) *ok = !lossy;
  return out;
}

bool UserLanguageIsJapanese() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
}

}  // namespace platform
