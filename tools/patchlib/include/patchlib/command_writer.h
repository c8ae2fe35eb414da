// CommandWriter: writes a patch command stream, deflated (zlib, window bits
// 15) as it goes, into an output stream. Contents are copied from streams
// in large chunks; nothing is held in memory whole.
//
// With one thread the stream is one deflate run, as it always was. With more
// it is compressed in blocks on that many threads (parallel_deflate.h): still
// one zlib stream that inflates to the same bytes, a little larger, and the
// same bytes for any number of threads above one.
#ifndef PATCHLIB_COMMAND_WRITER_H_
#define PATCHLIB_COMMAND_WRITER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/delta_frames.h"
#include "engine/patch_format.h"
#include "foundation/kfile.h"

namespace patchlib {

class CommandWriter {
 public:
  // Called with the number of content bytes just copied.
  using Progress = std::function<void(std::uint64_t bytes)>;

  // Writes at `out`'s position; `out` must outlive the writer.
  explicit CommandWriter(zorl::KFile& out, int level = 9,
                         unsigned threads = 1);
  ~CommandWriter();
  CommandWriter(const CommandWriter&) = delete;
  CommandWriter& operator=(const CommandWriter&) = delete;

  // Each command returns false on failure, with error() saying why: a name
  // above 262 bytes, a content shorter than `size` (the file changed while
  // read), a failed write. After a failure the stream is unusable.
  // Contents are read from `content`'s start.
  bool WriteFile(const std::string& name, zorl::KFile& content,
                 std::uint32_t size, const Progress& progress = {});
  bool DeleteFile(const std::string& name);
  bool MakeDirectory(const std::string& name);
  bool EmptyTree(const std::string& name);
  bool PutEntry(const std::string& name, zorl::KFile& content,
                std::uint32_t size, const Progress& progress = {});
  bool RemoveEntry(const std::string& name);
  // The delta commands: `head` (its delta_size is set from `frames`) and
  // the frames EncodeDelta made.
  bool PatchFile(const std::string& name, updater::DeltaHead head, const std::string& frames);
  bool PatchEntry(const std::string& name, updater::DeltaHead head, const std::string& frames);

  // Ends the zlib stream and writes what is left. False on a write failure.
  bool Finish();

  const std::string& error() const { return error_; }
  // Commands written, by opcode (0..7).
  std::uint64_t count(std::uint32_t opcode) const { return counts_[opcode]; }
  // Bytes of the command stream before and after compression.
  std::uint64_t raw_bytes() const { return raw_bytes_; }
  std::uint64_t compressed_bytes() const { return compressed_bytes_; }

 private:
  struct Zlib;
  bool Named(std::uint32_t opcode, const std::string& name);
  bool Content(zorl::KFile& content, std::uint32_t size,
               const Progress& progress);
  bool Delta(updater::DeltaHead head, const std::string& frames);
  bool Put(const void* data, std::uint32_t size);
  bool Deflate(int flush);
  bool ParallelFailed();
  bool Fail(const std::string& why);

  zorl::KFile& out_;
  std::unique_ptr<Zlib> z_;
  std::uint64_t counts_[updater::kOpcodeCount] = {};
  std::uint64_t raw_bytes_ = 0;
  std::uint64_t compressed_bytes_ = 0;
  bool failed_ = false;
  std::string error_;
};

}  // namespace patchlib

#endif  // PATCHLIB_COMMAND_WRITER_H_
