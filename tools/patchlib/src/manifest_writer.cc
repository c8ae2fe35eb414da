#include "patchlib/manifest_writer.h"

#include "engine/little_endian.h"
#include "engine/patch_format.h"

namespace patchlib {
namespace {

using updater::ItemState;

void PutU32(std::string* out, std::uint32_t v) {
  unsigned char b[4];
  updater::StoreLe32(b, v);
  out->append(reinterpret_cast<const char*>(b), 4);
}

void PutU64(std::string* out, std::uint64_t v) {
  PutU32(out, static_cast<std::uint32_t>(v));
  PutU32(out, static_cast<std::uint32_t>(v >> 32));
}

void PutText(std::string* out, const std::string& text) {
  PutU32(out, static_cast<std::uint32_t>(text.size()));
  out->append(text);
}

void PutState(std::string* out, const ItemState& state) {
  if (state.kind != ItemState::Kind::kFile) return;
  PutU64(out, state.size);
  out->append(reinterpret_cast<const char*>(state.hash.bytes), 16);
}

}  // namespace

const char* LanguageName(updater::MessageLanguage language) {
  switch (language) {
    case updater::MessageLanguage::kJapanese: return "ja";
    case updater::MessageLanguage::kEnglish: return "en";
    case updater::MessageLanguage::kAuto: return "auto";
  }
  return "?";
}

bool ParseLanguage(const std::string& text, updater::MessageLanguage* language) {
  for (auto l : {updater::MessageLanguage::kJapanese, updater::MessageLanguage::kEnglish,
                 updater::MessageLanguage::kAuto})
    if (text == LanguageName(l)) {
      *language = l;
      return true;
    }
  return false;
}

bool EncodeManifest(const updater::Manifest& m, std::string* out, std::string* error) {
  const char* const kTextNames[] = {"the from label", "the to label", "the caption",
                                    "the completion text"};
  const std::string* texts[] = {&m.from_label, &m.to_label, &m.caption, &m.completion};
  for (int i = 0; i < 4; ++i) {
    if (texts[i]->size() > updater::kManifestMaxText) {
      *error = std::string(kTextNames[i]) + " is longer than 4096 bytes";
      return false;
    }
    if (!updater::IsValidUtf8(*texts[i])) {
      *error = std::string(kTextNames[i]) + " is not UTF-8";
      return false;
    }
  }
  std::string body(updater::kManifestBodyMagic, 4);
  PutU64(&body, m.inflated_size);
  body += static_cast<char>(m.language);
  body.append(3, '\0');
  for (const std::string* text : texts) PutText(&body, *text);
  PutU32(&body, static_cast<std::uint32_t>(m.records.size()));
  for (const updater::ManifestRecord& r : m.records) {
    if (r.name.size() > updater::kMaxPatchNameLength) {
      *error = "a manifest name is longer than 262 bytes";
      return false;
    }
    if (r.before.kind == ItemState::Kind::kDirectory ||
        (r.kind == updater::ManifestRecord::Kind::kArchiveEntry &&
         r.after.kind == ItemState::Kind::kDirectory)) {
      *error = "a manifest record with a directory where none can be";
      return false;
    }
    body += static_cast<char>(r.kind);
    body += static_cast<char>(r.before.kind);
    body += static_cast<char>(r.after.kind);
    body += '\0';
    PutText(&body, r.name);
    PutState(&body, r.before);
    PutState(&body, r.after);
  }
  if (body.size() > updater::kManifestMaxBody) {
    *error = "the manifest is larger than 256 MiB";
    return false;
  }
  std::string footer;
  PutU32(&footer, static_cast<std::uint32_t>(body.size()));
  footer += static_cast<char>(updater::kManifestVersion & 0xFF);
  footer += static_cast<char>(updater::kManifestVersion >> 8);
  footer.append(2, '\0');
  PutU64(&footer, updater::Checksum64(body.data(), body.size()));
  footer.append(updater::kManifestMagic, 8);
  *out = body + footer;
  return true;
}

}  // namespace patchlib
