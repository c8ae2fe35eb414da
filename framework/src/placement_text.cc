#include "framework/placement_text.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace QWF {

zorl::KString FormatPlacement(const Placement& p) {
  char text[128];
  std::snprintf(text, sizeof(text), "%d_%d_%d_%d_%d_%d_%d_%d_%d_%d", static_cast<int>(p.flags),
                static_cast<int>(p.show_command), p.min_position.x, p.min_position.y,
                p.max_position.x, p.max_position.y, p.normal_position.left,
                p.normal_position.top, p.normal_position.right, p.normal_position.bottom);
  return zorl::KString(zorl::KRef<char>(text));
}

bool ParsePlacement(const char* text, Placement* placement) {
  if (!text) return false;
  int values[10];
  const char* p = text;
  for (int i = 0; i < 10; ++i) {
    if (i > 0) {
      if (*p != '_') return false;
      ++p;
    }
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(p, &end, 10);
    if (end == p || errno == ERANGE || value < INT_MIN || value > INT_MAX) return false;
    values[i] = static_cast<int>(value);
    p = end;
  }
  placement->length = sizeof(Placement);
  placement->flags = static_cast<std::uint32_t>(values[0]);
  placement->show_command = static_cast<std::uint32_t>(values[1]);
  placement->min_position = Point{values[2], values[3]};
  placement->max_position = Point{values[4], values[5]};
  placement->normal_position.left = values[6];
  placement->normal_position.top = values[7];
  placement->normal_position.right = values[8];
  placement->normal_position.bottom = values[9];
  return true;
}

}  // namespace QWF
