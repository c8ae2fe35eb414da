#include <windows.h>

#include <string>

#include "platform/console.h"

namespace platform {
namespace {

// Text in code page `from` to code page `to` through UTF-16. False when a
// character has no form in `to` (or the input is not valid in `from`).
bool Recode(const std::string& text, UINT from, UINT to, std::string* out) {
  out->clear();
  if (text.empty()) return true;
  const int wide = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(),
                                       static_cast<int>(text.size()), nullptr, 0);
  if (wide <= 0) return false;
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()),
                      &w[0], wide);
  BOOL lost = FALSE;
  BOOL* lost_ptr = (to == CP_UTF8 || to == CP_UTF7) ? nullptr : &lost;
  const int bytes = WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0,
                                        nullptr, lost_ptr);
  if (bytes <= 0) return false;
  out->assign(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(to, 0, w.data(), wide, &(*out)[0], bytes, nullptr,
                      lost_ptr);
  return !lost;
}

}  // namespace

std::string ToConsoleText(const std::string& cp932) {
  DWORD mode;
  if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) return cp932;
  const UINT page = GetConsoleOutputCP();
  if (page == 932) return cp932;
  std::string shown;  // characters the page lacks show as '?'
  if (!Recode(cp932, 932, page, &shown) && shown.empty()) return cp932;
  return shown;
}

bool ArgumentToCp932(const char* argument, std::string* out) {
  return Recode(argument, CP_ACP, 932, out);
}

bool ArgumentToUtf8(const char* argument, std::string* out) {
  return Recode(argument, CP_ACP, CP_UTF8, out);
}

}  // namespace platform
