// SettingsBackend: one place the settings store keeps its values in (a registry key or an
// ini file), opened on one section at a time.
//
// Texts are cp932. Nothing here raises an error: reads give the caller's fallback when the
// backend is not open, the value is missing or has the wrong type; writes report false.
// A null or empty value name is refused the same way (the system would take it as "the
// key's default value" or, in an ini file, as "delete the whole section").
#ifndef FRAMEWORK_SETTINGS_BACKEND_H_
#define FRAMEWORK_SETTINGS_BACKEND_H_

#include "foundation/kstring.h"

namespace QWF {

class SettingsBackend {
 public:
  SettingsBackend() = default;
  SettingsBackend(const SettingsBackend&) = delete;
  SettingsBackend& operator=(const SettingsBackend&) = delete;
  // Closes what this object opened.
  virtual ~SettingsBackend() = default;

  // Opens `section` for reading (`for_writing` false: nothing is created) or for writing
  // (created when missing). False, leaving the object closed, when that fails or when a
  // section is already open.
  virtual bool Open(const char* section, bool for_writing) = 0;
  // Closes the section if this object opened it; the object is closed afterwards.
  virtual void Detach() = 0;
  // Closes the section. False when nothing was open.
  virtual bool Close() = 0;
  // Whether the write reached the backend.
  virtual bool WriteInteger(const char* name, int value) = 0;
  virtual bool WriteString(const char* name, const char* value) = 0;
  // The stored value, or `fallback` (null reads as "").
  virtual int ReadInteger(const char* name, int fallback) = 0;
  virtual zorl::KString ReadString(const char* name, const char* fallback) = 0;
};

}  // namespace QWF

#endif  // FRAMEWORK_SETTINGS_BACKEND_H_
