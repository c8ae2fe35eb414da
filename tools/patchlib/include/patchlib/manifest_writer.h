// Writing the version manifest that follows a payload's zlib stream (the
// layout is described in engine/manifest.h, beside its reader).
#ifndef PATCHLIB_MANIFEST_WRITER_H_
#define PATCHLIB_MANIFEST_WRITER_H_

#include <string>

#include "engine/manifest.h"

namespace patchlib {

// Encodes body and footer, ready to follow the zlib stream. False (with
// `error`, one line) when a text passes 4096 bytes or is not UTF-8, a name
// is longer than 262 bytes, or a state cannot stand where it is (a
// directory before, a directory as an archive entry).
bool EncodeManifest(const updater::Manifest& manifest, std::string* out,
                    std::string* error);

// "ja", "en", "auto"; and back (false for anything else).
const char* LanguageName(updater::MessageLanguage language);
bool ParseLanguage(const std::string& text, updater::MessageLanguage* language);

}  // namespace patchlib

#endif  // PATCHLIB_MANIFEST_WRITER_H_
