#include "engine/journal_record.h"

#include <zlib.h>

#include <cstring>

namespace updater {
namespace {

constexpr std::size_t kHeader = 12;  // length, its complement, checksum
constexpr std::uint32_t kLargestPayload = 1 + 4 + 2 + 0xFFFF + 2 + 0xFFFF + 16;

void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v);
  out += static_cast<char>(v >> 8);
}
void Put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i));
}
void Put64(std::string& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>(v >> (8 * i));
}

std::uint32_t Crc(const char* data, std::size_t n) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(n)));
}

// Reads little-endian integers and counted texts from a payload.
class Reader {
 public:
  Reader(const char* data, std::size_t size) : p_(data), left_(size) {}
  bool Get(std::uint64_t* v, int bytes) {
    if (left_ < static_cast<std::size_t>(bytes)) return false;
    *v = 0;
    for (int i = 0; i < bytes; ++i)
      *v |= std::uint64_t{static_cast<unsigned char>(p_[i])} << (8 * i);
    p_ += bytes;
    left_ -= bytes;
    return true;
  }
  bool Text(std::string* out) {
    std::uint64_t n;
    if (!Get(&n, 2) || left_ < n) return false;
    out->assign(p_, n);
    p_ += n;
    left_ -= n;
    return true;
  }
  bool Done() const { return left_ == 0; }

 private:
  const char* p_;
  std::size_t left_;
};

bool DecodePayload(const char* data, std::size_t size, JournalRecord* r) {
  Reader in(data, size);
  std::uint64_t kind, slot, volume, index;
  if (!in.Get(&kind, 1) || !in.Get(&slot, 4) || !in.Text(&r->path) ||
      !in.Text(&r->other) || !in.Get(&volume, 8) || !in.Get(&index, 8) ||
      !in.Done())
    return false;
  if (kind < 1 || kind > 7 || r->path.empty()) return false;
  r->kind = static_cast<JournalKind>(kind);
  if (r->kind == JournalKind::kRenamed && r->other.empty()) return false;
  r->slot = static_cast<std::uint32_t>(slot);
  r->identity.volume = volume;
  r->identity.index = index;
  return true;
}

// Whether the record at [`start`, `end`) is torn: the file is zeros from
// a sector boundary inside it to its end (the group's later records too),
// as when its sectors from that one on were never written.
bool Torn(const std::string& bytes, std::size_t start, std::size_t end) {
  constexpr std::size_t kSector = 512;
  const std::size_t last = bytes.find_last_not_of('\0');
  if (last == std::string::npos || last < start) return true;
  const std::size_t zeros_from = (last / kSector + 1) * kSector;
  return zeros_from < end;
}

}  // namespace

std::string EncodeJournalRecord(const JournalRecord& r) {
  std::string payload;
  payload += static_cast<char>(r.kind);
  Put32(payload, r.slot);
  Put16(payload, static_cast<std::uint32_t>(r.path.size()));
  payload += r.path;
  Put16(payload, static_cast<std::uint32_t>(r.other.size()));
  payload += r.other;
  Put64(payload, r.identity.volume);
  Put64(payload, r.identity.index);
  std::string out;
  Put32(out, static_cast<std::uint32_t>(payload.size()));
  Put32(out, ~static_cast<std::uint32_t>(payload.size()));
  Put32(out, Crc(payload.data(), payload.size()));
  return out + payload;
}

JournalReadResult DecodeJournal(const std::string& bytes,
                                std::vector<JournalRecord>* records) {
  records->clear();
  // Zeros only: made, but a power cut took its first flush (the magic).
  if (bytes.find_first_not_of('\0') == std::string::npos) return JournalReadResult::kWhole;
  if (bytes.size() < kJournalMagicSize) {
    // Killed before the magic was whole: only a prefix of it is possible.
    return bytes.compare(0, bytes.size(), kJournalMagic, bytes.size()) == 0
               ? JournalReadResult::kWhole
               : JournalReadResult::kDamaged;
  }
  if (bytes.compare(0, kJournalMagicSize, kJournalMagic) != 0)
    return JournalReadResult::kDamaged;
  std::size_t at = kJournalMagicSize;
  while (at < bytes.size()) {
    const std::size_t left = bytes.size() - at;
    // A tail of zeros: a power cut kept the file's new size but not the
    // records written into it.
    if (bytes.find_first_not_of('\0', at) == std::string::npos)
      return JournalReadResult::kWhole;
    if (left < kHeader) return JournalReadResult::kWhole;  // cut short
    Reader head(bytes.data() + at, kHeader);
    std::uint64_t length, complement, crc;
    head.Get(&length, 4);
    head.Get(&complement, 4);
    head.Get(&crc, 4);
    // A length that is not its own record's (its complement disagrees)
    // must not pass for a record cut short.
    // (A header torn at a sector boundary inside it is a tear too.)
    if (length == 0 || length > kLargestPayload || (length ^ complement) != 0xFFFFFFFFu)
      return Torn(bytes, at, at + kHeader) ? JournalReadResult::kWhole
                                           : JournalReadResult::kDamaged;
    if (left - kHeader < length) return JournalReadResult::kWhole;  // cut short
    const char* payload = bytes.data() + at + kHeader;
    JournalRecord record;
    if (Crc(payload, length) != crc || !DecodePayload(payload, length, &record)) {
      // Torn by a power cut before its group's flush ended: it and the
      // records after it never protected a change. Anything else is
      // damage.
      return Torn(bytes, at, at + kHeader + length) ? JournalReadResult::kWhole
                                                    : JournalReadResult::kDamaged;
    }
    records->push_back(std::move(record));
    at += kHeader + length;
  }
  return JournalReadResult::kWhole;
}

}  // namespace updater
