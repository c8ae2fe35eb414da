// IniFile: the settings backend on a private profile (ini) file; the section is the ini
// section, the value name the ini key.
//
// Integers are stored as decimal text; a present value reads as its leading decimal number
// (0 when it has none, clamped to the int range), a missing one as the fallback. Strings are
// read whole, however long. Texts go through the wide API with code page 932; a file this
// object creates is UTF-16 (it starts with a byte order mark), so any text survives whatever
// the system code page.
#ifndef FRAMEWORK_INI_FILE_H_
#define FRAMEWORK_INI_FILE_H_

#include "foundation/kstring.h"
#include "framework/settings_backend.h"

namespace QWF {

class IniFile : public SettingsBackend {
 public:
  // The file at `path` (cp932, full path). An empty path leaves the object unusable.
  explicit IniFile(const zorl::KString& path);
  ~IniFile() override;

  // Usable only with a non-empty path and section; nothing touches the file.
  bool Open(const char* section, bool for_writing) override;
  void Detach() override;
  bool Close() override;
  bool WriteInteger(const char* name, int value) override;
  bool WriteString(const char* name, const char* value) override;
  int ReadInteger(const char* name, int fallback) override;
  zorl::KString ReadString(const char* name, const char* fallback) override;

  const zorl::KString& Path() const { return path_; }

 private:
  bool Usable(const char* name) const;

  zorl::KString path_;
  zorl::KString section_;
};

// `directory` + `name` + ".ini", with a "\" added after a directory that lacks a separator.
// Empty when the directory or the name is empty: a bare file name would make the system look
// in the Windows directory instead.
zorl::KString IniSettingsPath(const zorl::KString& directory, const zorl::KString& name);

}  // namespace QWF

#endif  // FRAMEWORK_INI_FILE_H_
