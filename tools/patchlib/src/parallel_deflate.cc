#include "patchlib/parallel_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace patchlib {
namespace {

// Deflate's window: a block may refer back this far into the one before.
constexpr std::size_t kDictionarySize = 32768;

using Bytes = std::vector<unsigned char>;

struct Block {
  Bytes input;
  Bytes dictionary;  // the end of the block before (empty for the first)
  bool last = false;
  // Set by the worker:
  Bytes output;
  uLong adler = 0;
  std::size_t input_size = 0;  // the input is released once compressed
  bool done = false;
  bool ok = false;
};

// Deflates one block raw: primed with its dictionary, ended by a sync flush
// (or, for the last block, by the end of the deflate stream).
bool CompressBlock(int level, Block& block) {
  z_stream s;
  std::memset(&s, 0, sizeof s);
  if (deflateInit2(&s, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    return false;
  bool ok = true;
  if (!block.dictionary.empty())
    ok = deflateSetDictionary(&s, block.dictionary.data(),
                              static_cast<uInt>(block.dictionary.size())) ==
         Z_OK;
  if (ok) {
    // A sync flush adds at most an empty stored block to the bound.
    block.output.resize(deflateBound(&s, static_cast<uLong>(block.input.size())) +
                        16);
    s.next_in = block.input.data();
    s.avail_in = static_cast<uInt>(block.input.size());
    s.next_out = block.output.data();
    s.avail_out = static_cast<uInt>(block.output.size());
    const int flush = block.last ? Z_FINISH : Z_SYNC_FLUSH;
    const int result = deflate(&s, flush);
    ok = (block.last ? result == Z_STREAM_END : result == Z_OK) &&
         s.avail_in == 0 && s.avail_out != 0;
    block.output.resize(block.output.size() - s.avail_out);
  }
  deflateEnd(&s);
  block.input_size = block.input.size();
  block.adler = adler32(adler32(0, Z_NULL, 0), block.input.data(),
                        static_cast<uInt>(block.input.size()));
  Bytes().swap(block.input);
  Bytes().swap(block.dictionary);
  return ok;
}

// zlib's two header bytes for window bits 15 at `level`, as deflate writes them.
void ZlibHeader(int level, unsigned char out[2]) {
  const unsigned flevel = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  unsigned header = (0x78u << 8) | (flevel << 6);
  header += 31 - header % 31;
  out[0] = static_cast<unsigned char>(header >> 8);
  out[1] = static_cast<unsigned char>(header);
}

}  // namespace

struct ParallelDeflate::Shared {
  int level;
  std::size_t window;  // blocks in flight at most
  Sink sink;
  std::vector<std::thread> workers;

  std::mutex lock;
  std::condition_variable work_ready, block_done;
  std::deque<Block*> waiting;       // submitted, not taken by a worker
  std::deque<std::unique_ptr<Block>> in_flight;  // in input order
  bool stopping = false;

  // Used by the writing thread only.
  Bytes pending;
  Bytes tail;  // the last kDictionarySize bytes handed to a block
  uLong adler = adler32(0, Z_NULL, 0);
  bool started = false;  // the header is out
  bool failed = false;
  bool finished = false;

  void Work() {
    for (;;) {
      Block* block;
      {
        std::unique_lock<std::mutex> hold(lock);
        work_ready.wait(hold, [&] { return stopping || !waiting.empty(); });
        if (waiting.empty()) return;
        block = waiting.front();
        waiting.pop_front();
      }
      bool ok;
      try {
        ok = CompressBlock(level, *block);
      } catch (const std::bad_alloc&) {
        ok = false;
      }
      {
        std::lock_guard<std::mutex> hold(lock);
        block->ok = ok;
        block->done = true;
      }
      block_done.notify_all();
    }
  }

  bool Emit(const unsigned char* data, std::size_t size) {
    if (failed) return false;
    if (size > 0 && !sink(data, size)) failed = true;
    return !failed;
  }
};

ParallelDeflate::ParallelDeflate(int level, unsigned threads, Sink sink)
    : shared_(new Shared) {
  Shared& s = *shared_;
  s.level = level;
  s.sink = std::move(sink);
  threads = std::max(threads, 1u);
  s.window = 2 * std::size_t{threads};
  s.pending.reserve(kBlockSize);
  for (unsigned i = 0; i < threads; ++i)
    s.workers.emplace_back([&s] { s.Work(); });
}

ParallelDeflate::~ParallelDeflate() {
  Shared& s = *shared_;
  {
    std::lock_guard<std::mutex> hold(s.lock);
    s.stopping = true;
    s.waiting.clear();
  }
  s.work_ready.notify_all();
  for (std::thread& t : s.workers) t.join();
}

bool ParallelDeflate::Write(const void* data, std::size_t size) {
  Shared& s = *shared_;
  if (s.failed || s.finished) return false;
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const std::size_t n = std::min(size, kBlockSize - s.pending.size());
    s.pending.insert(s.pending.end(), bytes, bytes + n);
    bytes += n;
    size -= n;
    if (s.pending.size() == kBlockSize && !Submit(false)) return false;
  }
  return true;
}

bool ParallelDeflate::Finish() {
  Shared& s = *shared_;
  if (s.failed || s.finished) return false;
  s.finished = true;
  if (!Submit(true) || !Drain(0)) return false;
  const unsigned char trailer[4] = {
      static_cast<unsigned char>(s.adler >> 24),
      static_cast<unsigned char>(s.adler >> 16),
      static_cast<unsigned char>(s.adler >> 8),
      static_cast<unsigned char>(s.adler)};
  return s.Emit(trailer, sizeof trailer);
}

// Hands the pending input to the workers as one block, then writes out
// what is done so that no more than the window stays in flight.
bool ParallelDeflate::Submit(bool last) {
  Shared& s = *shared_;
  auto block = std::make_unique<Block>();
  block->last = last;
  block->dictionary.swap(s.tail);
  block->input.swap(s.pending);
  // The next block's dictionary: the end of this one, topped up from the
  // dictionary before it when this block is shorter than a window.
  const Bytes& in = block->input;
  if (in.size() >= kDictionarySize) {
    s.tail.assign(in.end() - kDictionarySize, in.end());
  } else {
    const Bytes& before = block->dictionary;
    const std::size_t keep =
        std::min(before.size(), kDictionarySize - in.size());
    s.tail.assign(before.end() - keep, before.end());
    s.tail.insert(s.tail.end(), in.begin(), in.end());
  }
  s.pending.reserve(kBlockSize);
  {
    std::lock_guard<std::mutex> hold(s.lock);
    s.waiting.push_back(block.get());
    s.in_flight.push_back(std::move(block));
  }
  s.work_ready.notify_one();
  return Drain(s.window);
}

// Writes out finished blocks in input order, waiting while more than
// `keep` blocks are in flight.
bool ParallelDeflate::Drain(std::size_t keep) {
  Shared& s = *shared_;
  for (;;) {
    std::unique_ptr<Block> block;
    {
      std::unique_lock<std::mutex> hold(s.lock);
      if (s.in_flight.empty()) return !s.failed;
      Block& front = *s.in_flight.front();
      if (!front.done) {
        if (s.in_flight.size() <= keep) return !s.failed;
        s.block_done.wait(hold, [&] { return front.done; });
      }
      block = std::move(s.in_flight.front());
      s.in_flight.pop_front();
    }
    if (!block->ok) s.failed = true;
    if (!s.started) {
      unsigned char header[2];
      ZlibHeader(s.level, header);
      s.started = true;
      if (!s.Emit(header, sizeof header)) return false;
    }
    if (!s.Emit(block->output.data(), block->output.size())) return false;
    s.adler = adler32_combine(s.adler, block->adler,
                              static_cast<z_off_t>(block->input_size));
  }
}

unsigned DefaultCompressionThreads() {
  return std::max(std::thread::hardware_concurrency(), 1u);
}

}  // namespace patchlib
