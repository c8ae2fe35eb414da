#include "patchlib/command_decoder.h"

#include <zlib.h>

#include <cstring>
#include <memory>

#include "engine/delta_frames.h"
#include "engine/little_endian.h"
#include "engine/patch_format.h"

namespace patchlib {
namespace {
constexpr std::uint32_t kChunk = 256 * 1024;
}

struct InflateReader::Zlib {
  z_stream stream;
  bool live = false;
  bool ended = false;
  bool bad = false;
  bool cut_short = false;  // the source ended inside the stream
  // Left uninitialised: zlib writes before anything reads.
  std::unique_ptr<unsigned char[]> in{new unsigned char[kChunk]};
  std::unique_ptr<unsigned char[]> out{new unsigned char[kChunk]};
  std::uint32_t out_pos = 0, out_end = 0;
  std::string error;
};

InflateReader::InflateReader(zorl::KFile& source)
    : source_(source), z_(new Zlib) {
  std::memset(&z_->stream, 0, sizeof z_->stream);
  if (inflateInit2(&z_->stream, 15) == Z_OK) {
    z_->live = true;
  } else {
    z_->bad = true;
    z_->error = "zlib cannot start";
  }
}

InflateReader::~InflateReader() {
  if (z_->live) inflateEnd(&z_->stream);
}

// Produces more inflated bytes into the output buffer. False at the end of
// the stream or on bad data (z_->bad tells which).
bool InflateReader::Fill() {
  if (z_->ended || z_->bad) return false;
  z_stream& s = z_->stream;
  s.next_out = z_->out.get();
  s.avail_out = kChunk;
  while (s.avail_out == kChunk) {
    if (s.avail_in == 0) {
      const std::int32_t got = source_.Read(kChunk, z_->in.get());
      if (got <= 0) {  // truncated stream, or a read failure
        z_->bad = true;
        z_->cut_short = got == 0;
        z_->error = got == 0 ? "the stream ends before its end"
                             : "the source cannot be read";
        return false;
      }
      s.next_in = z_->in.get();
      s.avail_in = static_cast<uInt>(got);
    }
    const int result = inflate(&s, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      z_->ended = true;
      break;
    }
    if (result != Z_OK) {
      z_->bad = true;
      z_->error = s.msg ? s.msg : "zlib error " + std::to_string(result);
      return false;
    }
  }
  z_->out_pos = 0;
  z_->out_end = kChunk - s.avail_out;
  return z_->out_end > 0;
}

std::int64_t InflateReader::Read(void* buffer, std::uint64_t count) {
  unsigned char* to = static_cast<unsigned char*>(buffer);
  std::uint64_t done = 0;
  while (done < count) {
    if (z_->out_pos == z_->out_end && !Fill()) {
      if (z_->bad) return -1;
      break;
    }
    std::uint64_t n = z_->out_end - z_->out_pos;
    if (n > count - done) n = count - done;
    if (to) std::memcpy(to + done, z_->out.get() + z_->out_pos, n);
    z_->out_pos += static_cast<std::uint32_t>(n);
    done += n;
  }
  position_ += done;
  return static_cast<std::int64_t>(done);
}

const std::string& InflateReader::error() const { return z_->error; }

std::uint64_t InflateReader::consumed() const { return z_->stream.total_in; }

bool InflateReader::cut_short() const { return z_->cut_short; }

bool InflateReader::Skip(std::uint64_t count) {
  return Read(nullptr, count) == static_cast<std::int64_t>(count);
}

bool InflateReader::AtEnd() {
  if (z_->out_pos < z_->out_end) return false;
  return !Fill() && !z_->bad;
}

bool DecodeCommands(InflateReader& reader,
                    const std::function<void(const DecodedCommand&)>& each,
                    std::string* error) {
  auto fail = [&](std::uint64_t at, const std::string& why) {
    *error = why + " at offset " + std::to_string(at) +
             " of the command stream";
    return false;
  };
  auto u32 = [&](std::uint32_t* v) {
    unsigned char b[4];
    if (reader.Read(b, 4) != 4) return false;
    *v = updater::LoadLe32(b);
    return true;
  };
  for (;;) {
    if (reader.AtEnd()) return true;
    DecodedCommand c;
    c.offset = reader.position();
    if (!u32(&c.opcode)) return fail(c.offset, "truncated or corrupt opcode");
    if (c.opcode >= updater::kOpcodeCount)
      return fail(c.offset, "unknown opcode " + std::to_string(c.opcode));
    std::uint32_t n = 0;
    if (!u32(&n)) return fail(c.offset, "truncated name length");
    if (n > updater::kMaxPatchNameLength)
      return fail(c.offset, "name length " + std::to_string(n) +
                                " above 262");
    c.name.resize(n);
    if (n > 0 && reader.Read(&c.name[0], n) != n)
      return fail(c.offset, "truncated name");
    if (c.opcode == updater::kOpWriteFile ||
        c.opcode == updater::kOpPutEntry) {
      std::uint32_t size = 0;
      if (!u32(&size)) return fail(c.offset, "truncated size");
      c.has_size = true;
      c.size = c.opcode == updater::kOpWriteFile
                   ? static_cast<std::int64_t>(static_cast<std::int32_t>(size))
                   : static_cast<std::int64_t>(size);
      const std::uint64_t skip = c.size > 0 ? static_cast<std::uint64_t>(c.size) : 0;
      if (!reader.Skip(skip)) return fail(c.offset, "truncated content");
    } else if (c.opcode == updater::kOpPatchFile || c.opcode == updater::kOpPatchEntry) {
      unsigned char bytes[updater::kDeltaHeadSize];
      updater::DeltaHead head;
      if (reader.Read(bytes, sizeof bytes) != sizeof bytes)
        return fail(c.offset, "truncated delta head");
      if (!updater::ParseDeltaHead(bytes, &head))
        return fail(c.offset, "delta with a zero size");
      c.has_size = true;
      c.size = head.new_size;
      c.is_delta = true;
      c.reference_size = head.reference_size;
      c.delta_bytes = head.delta_size;
      if (!reader.Skip(head.delta_size)) return fail(c.offset, "truncated delta");
    }
    each(c);
  }
}

}  // namespace patchlib
