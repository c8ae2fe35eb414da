#include "engine/path_resolve.h"

#include <cstring>
#include <string>

#include "foundation/ktext.h"

namespace updater {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool HasDrive(const char* path) {
  const unsigned char c = static_cast<unsigned char>(path[0]);
  return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) &&
         path[1] == ':';
}

char DriveLetter(const char* path) {
  char c = path[0];
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Copies `text` into `out` (264 bytes). False, with `out` empty, when it
// is longer than 263 bytes.
bool Fit(const std::string& text, char* out) {
  if (text.size() > zorl::kNameBufferSize - 1) {
    out[0] = '\0';
    return false;
  }
  std::memcpy(out, text.c_str(), text.size() + 1);
  return true;
}

// Splits `text` at separators (two-byte characters whole) into the
// components of its directory part; `rest` receives the offset where the
// file name starts.
void DirectoryComponents(const char* text, std::string* components,
                         std::size_t max, std::size_t* count,
                         std::size_t* starts) {
  *count = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; text[i];) {
    if (zorl::IsLeadByte(static_cast<unsigned char>(text[i])) && text[i + 1]) {
      i += 2;
      continue;
    }
    if (IsSeparator(text[i])) {
      if (*count < max) {
        components[*count] = std::string(text + start, i - start);
        starts[*count] = start;
        ++*count;
      }
      start = i + 1;
    }
    ++i;
  }
  starts[*count] = start;  // where the uncounted rest begins
}

bool AllDots(const std::string& component) {
  if (component.empty()) return false;
  for (char c : component)
    if (c != '.') return false;
  return true;
}

}  // namespace

std::string ResolvedPath(const char* dir, const char* name) {
  if (!name[0]) return dir;
  if (!dir[0]) return name;

  const bool dir_drive = HasDrive(dir);
  const bool name_drive = HasDrive(name);
  if (dir_drive && name_drive && DriveLetter(dir) != DriveLetter(name))
    return name;
  std::string drive;
  if (dir_drive) {
    drive.assign(dir, 2);
  } else if (name_drive) {
    drive.assign(name, 2);
  }
  const char* bare_dir = dir_drive ? dir + 2 : dir;
  const char* bare_name = name_drive ? name + 2 : name;

  if (IsSeparator(bare_name[0]) || !IsSeparator(bare_dir[0]))
    return drive + bare_name;

  // The directory with "/" separators and a trailing "/".
  std::string base;
  for (std::size_t i = 0; bare_dir[i]; ++i) {
    const unsigned char c = static_cast<unsigned char>(bare_dir[i]);
    if (zorl::IsLeadByte(c) && bare_dir[i + 1]) {
      base += bare_dir[i];
      base += bare_dir[++i];
    } else {
      base += c == '\\' ? '/' : static_cast<char>(c);
    }
  }
  if (base.back() != '/') base += '/';

  // Leading all-dot components of the name's directory part go up.
  constexpr std::size_t kMaxComponents = zorl::kNameBufferSize;
  std::string components[kMaxComponents];
  std::size_t starts[kMaxComponents + 1];
  std::size_t count;
  DirectoryComponents(bare_name, components, kMaxComponents, &count, starts);
  std::size_t consumed = 0;
  for (; consumed < count && AllDots(components[consumed]); ++consumed) {
    for (std::size_t up = components[consumed].size() - 1; up > 0; --up) {
      // Drop the last component of `base` ("/a/b/" -> "/a/").
      if (base.size() <= 1) return drive + "/" + bare_name;
      std::size_t cut = base.size() - 1;
      // The last separator before the trailing one, two-byte aware.
      std::size_t last = 0;
      for (std::size_t i = 0; i < cut;) {
        if (zorl::IsLeadByte(static_cast<unsigned char>(base[i])) &&
            i + 1 < cut) {
          i += 2;
          continue;
        }
        if (base[i] == '/') last = i;
        ++i;
      }
      base.resize(last + 1);
    }
  }
  const char* rest = bare_name + (consumed ? starts[consumed] : 0);
  return drive + base + rest;
}

bool ResolvePath(const char* dir, const char* name, char* out) {
  return Fit(ResolvedPath(dir, name), out);
}

bool JoinPath(const char* dir, const char* name, char* out) {
  std::string joined = dir;
  if (!joined.empty()) {
    // The last character decides, a two-byte one whole.
    std::size_t last = 0;
    for (std::size_t i = 0; i < joined.size();) {
      last = i;
      i += zorl::IsLeadByte(static_cast<unsigned char>(joined[i])) &&
                   i + 1 < joined.size()
               ? 2
               : 1;
    }
    if (!(last + 1 == joined.size() && IsSeparator(joined[last])))
      joined += '/';
  }
  joined += name;
  return Fit(joined, out);
}

}  // namespace updater
