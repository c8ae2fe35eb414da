// Reading a patch payload back: an inflating reader over a zlib stream and
// a decoder that walks the command stream record by record.
#ifndef PATCHLIB_COMMAND_DECODER_H_
#define PATCHLIB_COMMAND_DECODER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "foundation/kfile.h"

namespace patchlib {

// Inflates one zlib stream from `source`'s position on demand.
class InflateReader {
 public:
  explicit InflateReader(zorl::KFile& source);
  ~InflateReader();
  InflateReader(const InflateReader&) = delete;
  InflateReader& operator=(const InflateReader&) = delete;

  // Reads up to `count` bytes; fewer only at the stream's end. -1 when the
  // data is not a valid zlib stream, is truncated, or cannot be read.
  std::int64_t Read(void* buffer, std::uint64_t count);
  // Skips `count` bytes; false when fewer were there or on bad data.
  bool Skip(std::uint64_t count);
  // True once the zlib stream has ended and every byte was read.
  bool AtEnd();
  // Bytes handed out (or skipped) so far.
  std::uint64_t position() const { return position_; }
  // After a -1 from Read (or false from Skip): why, in English ("invalid
  // block type" as zlib says it, "the stream ends before its end", "the
  // source cannot be read"); "" while all is well.
  const std::string& error() const;
  // Bytes of the source taken in so far (where an error was met).
  std::uint64_t consumed() const;
  // Whether the error is the source ending before the zlib stream did.
  bool cut_short() const;

 private:
  struct Zlib;
  bool Fill();
  zorl::KFile& source_;
  std::unique_ptr<Zlib> z_;
  std::uint64_t position_ = 0;
};

struct DecodedCommand {
  std::uint32_t opcode = 0;
  std::string name;           // cp932, as stored
  bool has_size = false;      // opcodes 0, 4, 6 and 7
  // Opcode 0: signed; opcode 4: unsigned; opcodes 6, 7: the new size.
  std::int64_t size = 0;
  bool is_delta = false;             // opcodes 6 and 7
  std::uint32_t reference_size = 0;  // the old content a delta needs
  std::uint64_t delta_bytes = 0;     // the delta's frames
  std::uint64_t offset = 0;   // of the opcode in the inflated stream
};

// Walks every command, calling `each` for it (content skipped). True when
// the stream ended cleanly after a whole command; false with `error` set
// (naming the offset) on an unknown opcode, a bad name length, truncated
// data, a delta head with a zero size, or a zlib error.
bool DecodeCommands(InflateReader& reader,
                    const std::function<void(const DecodedCommand&)>& each,
                    std::string* error);

}  // namespace patchlib

#endif  // PATCHLIB_COMMAND_DECODER_H_
