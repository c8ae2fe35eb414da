#include "wide_text.h"

#include <vector>

#include "platform/wide.h"

namespace QWF {

zorl::KString NarrowText(const wchar_t* text, std::size_t count) {
  std::wstring whole(text, count);
  // A UTF-16 unit becomes at most two cp932 bytes.
  std::vector<char> buffer(count * 2 + 1);
  platform::Narrow(whole.c_str(), buffer.data(), static_cast<unsigned>(buffer.size()));
  return zorl::KString(zorl::KRef<char>(buffer.data()));
}

}  // namespace QWF
