#include "patchlib/command_writer.h"

#include <zlib.h>

#include <cstring>
#include <vector>

#include "engine/little_endian.h"
#include "patchlib/parallel_deflate.h"

namespace patchlib {
namespace {

constexpr std::uint32_t kChunk = 1u << 20;

using updater::StoreLe32;

}  // namespace

struct CommandWriter::Zlib {
  z_stream stream;
  bool live = false;
  std::vector<unsigned char> out = std::vector<unsigned char>(kChunk);
  std::vector<unsigned char> in = std::vector<unsigned char>(kChunk);
  std::unique_ptr<ParallelDeflate> parallel;  // with more than one thread
  bool write_failed = false;                   // the parallel sink's
};

CommandWriter::CommandWriter(zorl::KFile& out, int level, unsigned threads)
    : out_(out), z_(new Zlib) {
  std::memset(&z_->stream, 0, sizeof z_->stream);
  if (threads > 1) {
    z_->parallel = std::make_unique<ParallelDeflate>(
        level, threads, [this](const unsigned char* data, std::size_t size) {
          if (out_.Write(data, static_cast<std::uint32_t>(size)) !=
              static_cast<std::int32_t>(size)) {
            z_->write_failed = true;
            return false;
          }
          compressed_bytes_ += size;
          return true;
        });
    return;
  }
  if (deflateInit2(&z_->stream, level, Z_DEFLATED, 15, 9,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    Fail("cannot start the compressor");
    return;
  }
  z_->live = true;
}

CommandWriter::~CommandWriter() {
  if (z_->live) deflateEnd(&z_->stream);
}

bool CommandWriter::Fail(const std::string& why) {
  if (!failed_) error_ = why;
  failed_ = true;
  return false;
}

bool CommandWriter::ParallelFailed() {
  return Fail(z_->write_failed ? "cannot write the output file"
                               : "compressor failed");
}

bool CommandWriter::Deflate(int flush) {
  z_stream& s = z_->stream;
  for (;;) {
    s.next_out = z_->out.data();
    s.avail_out = kChunk;
    const int result = deflate(&s, flush);
    if (result == Z_STREAM_ERROR) return Fail("compressor failed");
    const std::uint32_t have = kChunk - s.avail_out;
    if (have > 0) {
      if (out_.Write(z_->out.data(), have) != static_cast<std::int32_t>(have))
        return Fail("cannot write the output file");
      compressed_bytes_ += have;
    }
    if (flush == Z_FINISH ? result == Z_STREAM_END
                          : (s.avail_in == 0 && s.avail_out != 0))
      return true;
  }
}

bool CommandWriter::Put(const void* data, std::uint32_t size) {
  if (failed_) return false;
  z_->stream.next_in =
      const_cast<Bytef*>(static_cast<const Bytef*>(data));
  z_->stream.avail_in = size;
  raw_bytes_ += size;
  if (z_->parallel) {
    return z_->parallel->Write(data, size) || ParallelFailed();
  }
  return Deflate(Z_NO_FLUSH);
}

bool CommandWriter::Named(std::uint32_t opcode, const std::string& name) {
  if (failed_) return false;
  if (name.size() > updater::kMaxPatchNameLength)
    return Fail("name longer than 262 bytes");
  unsigned char head[8];
  StoreLe32(head, opcode);
  StoreLe32(head + 4, static_cast<std::uint32_t>(name.size()));
  if (!Put(head, 8) ||
      !Put(name.data(), static_cast<std::uint32_t>(name.size())))
    return false;
  ++counts_[opcode];
  return true;
}

bool CommandWriter::Content(zorl::KFile& content, std::uint32_t size,
                            const Progress& progress) {
  if (size > 0x7FFFFFFFu) return Fail("content larger than 2 GiB - 1");
  unsigned char head[4];
  StoreLe32(head, size);
  if (!Put(head, 4)) return false;
  if (!content.Seek(zorl::KSEEK_BEGIN, 0))
    return Fail("cannot read the content");
  std::uint32_t left = size;
  while (left > 0) {
    const std::uint32_t n = left < kChunk ? left : kChunk;
    if (content.Read(n, z_->in.data()) != static_cast<std::int32_t>(n))
      return Fail("content shorter than expected (changed while read?)");
    if (!Put(z_->in.data(), n)) return false;
    left -= n;
    if (progress) progress(n);
  }
  return true;
}

bool CommandWriter::WriteFile(const std::string& name, zorl::KFile& content,
                              std::uint32_t size, const Progress& progress) {
  return Named(updater::kOpWriteFile, name) && Content(content, size, progress);
}
bool CommandWriter::DeleteFile(const std::string& name) {
  return Named(updater::kOpDeleteFile, name);
}
bool CommandWriter::MakeDirectory(const std::string& name) {
  return Named(updater::kOpMakeDirectory, name);
}
bool CommandWriter::EmptyTree(const std::string& name) {
  return Named(updater::kOpEmptyDirectoryTree, name);
}
bool CommandWriter::PutEntry(const std::string& name, zorl::KFile& content,
                             std::uint32_t size, const Progress& progress) {
  return Named(updater::kOpPutEntry, name) && Content(content, size, progress);
}
bool CommandWriter::RemoveEntry(const std::string& name) {
  return Named(updater::kOpRemoveEntry, name);
}

bool CommandWriter::Delta(updater::DeltaHead head, const std::string& frames) {
  if (frames.size() > 0x7FFFFFFFu) return Fail("delta larger than 2 GiB - 1");
  head.delta_size = static_cast<std::uint32_t>(frames.size());
  unsigned char bytes[updater::kDeltaHeadSize];
  updater::StoreDeltaHead(head, bytes);
  return Put(bytes, sizeof bytes) &&
         Put(frames.data(), static_cast<std::uint32_t>(frames.size()));
}
bool CommandWriter::PatchFile(const std::string& name, updater::DeltaHead head,
                              const std::string& frames) {
  return Named(updater::kOpPatchFile, name) && Delta(head, frames);
}
bool CommandWriter::PatchEntry(const std::string& name, updater::DeltaHead head,
                               const std::string& frames) {
  return Named(updater::kOpPatchEntry, name) && Delta(head, frames);
}

bool CommandWriter::Finish() {
  if (failed_) return false;
  if (z_->parallel) {
    if (!z_->parallel->Finish()) return ParallelFailed();
    failed_ = true;  // nothing more may be written
    return true;
  }
  z_->stream.next_in = nullptr;
  z_->stream.avail_in = 0;
  if (!Deflate(Z_FINISH)) return false;
  deflateEnd(&z_->stream);
  z_->live = false;
  failed_ = true;  // nothing more may be written
  return true;
}

}  // namespace patchlib
