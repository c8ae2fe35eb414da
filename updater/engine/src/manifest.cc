#include "engine/manifest.h"

#include <cstring>
#include <memory>

#include "engine/little_endian.h"
#include "engine/patch_format.h"
#include "engine/payload.h"

namespace updater {
namespace {

std::uint64_t LoadLe64(const unsigned char* p) {
  return std::uint64_t{LoadLe32(p)} | std::uint64_t{LoadLe32(p + 4)} << 32;
}

bool ReadAt(zorl::KFile& f, std::uint32_t at, std::uint32_t n, unsigned char* out) {
  return at <= 0x7FFFFFFFu && f.Seek(zorl::KSEEK_BEGIN, static_cast<std::int32_t>(at)) &&
         f.Read(n, out) == static_cast<std::int32_t>(n);
}

// Reads the body field by field; any overrun fails.
class BodyReader {
 public:
  BodyReader(const unsigned char* p, std::size_t n) : p_(p), left_(n) {}
  bool Bytes(std::size_t n, const unsigned char** out) {
    if (n > left_) return false;
    *out = p_;
    p_ += n;
    left_ -= n;
    return true;
  }
  bool U8(std::uint8_t* v) {
    const unsigned char* b;
    if (!Bytes(1, &b)) return false;
    *v = b[0];
    return true;
  }
  bool U32(std::uint32_t* v) {
    const unsigned char* b;
    if (!Bytes(4, &b)) return false;
    *v = LoadLe32(b);
    return true;
  }
  bool U64(std::uint64_t* v) {
    const unsigned char* b;
    if (!Bytes(8, &b)) return false;
    *v = LoadLe64(b);
    return true;
  }
  bool Text(std::uint32_t limit, std::string* out) {
    std::uint32_t n;
    const unsigned char* b;
    if (!U32(&n) || n > limit || !Bytes(n, &b)) return false;
    out->assign(reinterpret_cast<const char*>(b), n);
    return true;
  }
  bool State(std::uint8_t kind, ItemState* state) {
    state->kind = static_cast<ItemState::Kind>(kind);
    if (state->kind != ItemState::Kind::kFile) return true;
    const unsigned char* hash;
    if (!U64(&state->size) || !Bytes(16, &hash)) return false;
    std::memcpy(state->hash.bytes, hash, 16);
    return true;
  }
  std::size_t left() const { return left_; }

 private:
  const unsigned char* p_;
  std::size_t left_;
};

}  // namespace

bool ItemState::operator==(const ItemState& other) const {
  if (kind != other.kind) return false;
  return kind != Kind::kFile || (size == other.size && hash == other.hash);
}

std::string ItemState::Describe() const {
  switch (kind) {
    case Kind::kAbsent: return "absent";
    case Kind::kDirectory: return "directory";
    case Kind::kFile: break;
  }
  return std::to_string(size) + " bytes, xxh3-128 " + hash.Hex();
}

bool IsValidUtf8(const std::string& text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  while (p < end) {
    const unsigned char c = *p++;
    if (c < 0x80) continue;
    int more;
    std::uint32_t code;
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
      code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      code = c & 0x07;
    } else {
      return false;
    }
    if (end - p < more) return false;
    for (int i = 0; i < more; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      code = code << 6 | (p[i] & 0x3F);
    }
    p += more;
    // Overlong forms, surrogates and values past U+10FFFF.
    if ((more == 2 && code < 0x800) || (more == 3 && code < 0x10000) ||
        (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
      return false;
  }
  return true;
}

bool DecodeManifestBody(const unsigned char* body, std::size_t size, Manifest* out) {
  BodyReader r(body, size);
  const unsigned char* magic;
  std::uint8_t language, pad;
  Manifest m;
  if (!r.Bytes(4, &magic) || std::memcmp(magic, kManifestBodyMagic, 4) != 0 ||
      !r.U64(&m.inflated_size) || !r.U8(&language) || language > 2)
    return false;
  for (int i = 0; i < 3; ++i)
    if (!r.U8(&pad) || pad != 0) return false;
  m.language = static_cast<MessageLanguage>(language);
  for (std::string* text : {&m.from_label, &m.to_label, &m.caption, &m.completion})
    if (!r.Text(kManifestMaxText, text) || !IsValidUtf8(*text)) return false;
  std::uint32_t count;
  if (!r.U32(&count)) return false;
  // Each record takes at least 8 bytes: a count beyond that is a lie.
  if (count > r.left() / 8) return false;
  m.records.resize(count);
  for (ManifestRecord& record : m.records) {
    std::uint8_t kind, before, after;
    if (!r.U8(&kind) || !r.U8(&before) || !r.U8(&after) || !r.U8(&pad) || pad != 0 ||
        kind > 1 || before > 1 || after > 2 ||
        (kind == 1 && after == 2))  // an entry is never a directory
      return false;
    record.kind = static_cast<ManifestRecord::Kind>(kind);
    if (!r.Text(kMaxPatchNameLength, &record.name) ||
        !r.State(before, &record.before) || !r.State(after, &record.after))
      return false;
  }
  if (r.left() != 0) return false;
  *out = std::move(m);
  return true;
}

ManifestLookup ReadManifestAt(zorl::KFile& file, std::uint32_t begin,
                              std::uint32_t end, bool skip_padding,
                              Manifest* manifest, std::uint32_t* body_at) {
  if (skip_padding) {
    // Signing aligns the certificate table to 8 bytes with zeros; the
    // magic's last byte is never zero.
    unsigned char tail[8];
    if (end >= begin + 8 && ReadAt(file, end - 8, 8, tail)) {
      int zeros = 0;
      while (zeros < 7 && tail[7 - zeros] == 0) ++zeros;
      end -= zeros;
    }
  }
  if (end < begin || end - begin < kManifestFooterSize) return ManifestLookup::kNone;
  unsigned char footer[kManifestFooterSize];
  if (!ReadAt(file, end - kManifestFooterSize, kManifestFooterSize, footer) ||
      std::memcmp(footer + 16, kManifestMagic, 8) != 0)
    return ManifestLookup::kNone;
  const std::uint32_t length = LoadLe32(footer);
  const std::uint16_t version = LoadLe16(footer + 4);
  const std::uint64_t checksum = LoadLe64(footer + 8);
  const std::uint32_t room = end - begin - kManifestFooterSize;
  // A newer format is unknown here: the run cannot tell what it asks, so
  // it is refused like a damaged one rather than applied blind.
  if (version != kManifestVersion || LoadLe16(footer + 6) != 0 || length > room ||
      length > kManifestMaxBody)
    return ManifestLookup::kDamaged;
  const std::uint32_t at = end - kManifestFooterSize - length;
  std::unique_ptr<unsigned char[]> body(new unsigned char[length ? length : 1]);
  if (length > 0 && !ReadAt(file, at, length, body.get())) return ManifestLookup::kDamaged;
  if (Checksum64(body.get(), length) != checksum ||
      !DecodeManifestBody(body.get(), length, manifest))
    return ManifestLookup::kDamaged;
  *body_at = at;
  return ManifestLookup::kFound;
}

bool FindCertificateTable(zorl::KFile& exe, std::uint32_t image_end, std::uint32_t* at) {
  unsigned char dos[64], head[24], magic[2], count[4], entry[8];
  if (!ReadAt(exe, 0, sizeof dos, dos)) return false;
  const std::uint32_t pe = LoadLe32(dos + 60);
  if (pe > 0x7FFFFFFFu - 24 || !ReadAt(exe, pe, sizeof head, head)) return false;
  const std::uint32_t optional_size = LoadLe16(head + 4 + 16);
  const std::uint32_t optional_at = pe + 24;
  if (optional_size < 2 || !ReadAt(exe, optional_at, 2, magic)) return false;
  // The data directories follow 96 bytes of PE32 fields, 112 of PE32+; the
  // certificate table is the fifth, and its address is a file offset.
  const std::uint32_t directories = LoadLe16(magic) == 0x20B ? 112 : 96;
  const std::uint32_t entry_at = directories + 4 * 8;
  if (entry_at + 8 > optional_size ||
      !ReadAt(exe, optional_at + directories - 4, 4, count) || LoadLe32(count) <= 4 ||
      !ReadAt(exe, optional_at + entry_at, 8, entry))
    return false;
  const std::uint32_t table = LoadLe32(entry);
  if (table < image_end || LoadLe32(entry + 4) == 0) return false;
  *at = table;
  return true;
}

ManifestLookup ReadUpdaterManifest(zorl::KFile& exe, std::uint32_t payload_at,
                                   Manifest* manifest, std::uint32_t* body_at) {
  const std::int32_t size = exe.GetSize();
  if (size < 0) return ManifestLookup::kNone;
  std::uint32_t end = static_cast<std::uint32_t>(size);
  std::uint32_t table = 0;
  const bool signed_file = FindCertificateTable(exe, payload_at, &table) && table <= end;
  if (signed_file) end = table;
  return ReadManifestAt(exe, payload_at, end, signed_file, manifest, body_at);
}

bool LooksLikeManifestBody(zorl::KFile& file, std::uint32_t at) {
  unsigned char magic[4];
  return ReadAt(file, at, 4, magic) && std::memcmp(magic, kManifestBodyMagic, 4) == 0;
}

}  // namespace updater
