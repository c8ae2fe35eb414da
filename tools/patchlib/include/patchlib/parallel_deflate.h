// ParallelDeflate: one zlib stream (window bits 15) compressed on several
// threads.
//
// The input is cut into blocks of kBlockSize bytes. Each block is deflated
// raw on a worker, primed with the last 32 KiB of the block before it as its
// dictionary (so matches still reach back across the cut), and ends with a
// sync flush that leaves the output on a byte boundary; the last block ends
// the deflate stream instead. The pieces are joined in input order behind one
// zlib header and followed by the Adler-32 of the whole input (combined from
// the blocks' own sums), so any inflater reads the result as one ordinary
// stream. The bytes depend only on the input and the level, never on the
// number of threads or on how the input was handed in.
//
// Memory stays bounded: at most two blocks per thread are in flight.
#ifndef PATCHLIB_PARALLEL_DEFLATE_H_
#define PATCHLIB_PARALLEL_DEFLATE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace patchlib {

class ParallelDeflate {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

  // Receives the compressed stream in order; false stops the compression
  // (Write and Finish then fail).
  using Sink = std::function<bool(const unsigned char* data, std::size_t size)>;

  // `level` as zlib's (0..9); `threads` workers (at least 1).
  ParallelDeflate(int level, unsigned threads, Sink sink);
  // Stops the workers; a stream not finished is abandoned.
  ~ParallelDeflate();
  ParallelDeflate(const ParallelDeflate&) = delete;
  ParallelDeflate& operator=(const ParallelDeflate&) = delete;

  // Adds input. False once the sink refused or a worker could not compress
  // (out of memory): the stream is then unusable.
  bool Write(const void* data, std::size_t size);
  // Compresses what is left, writes the stream's end and waits for every
  // block. False as for Write. Nothing may be written after it.
  bool Finish();

 private:
  struct Shared;
  bool Submit(bool last);
  bool Drain(std::size_t keep);

  std::unique_ptr<Shared> shared_;
};

// The number of threads "all the cores" means here: at least 1.
unsigned DefaultCompressionThreads();

}  // namespace patchlib

#endif  // PATCHLIB_PARALLEL_DEFLATE_H_
