// KFile: the one stream class, over a file, a memory block, or a window
// (view) onto another stream.
//
// A view shares its source's handle or block and lock, and sees only the
// window [base, base + limit) of it; limit kNoLimit reaches to the end of the
// data. Every transfer names its absolute offset, so views of one file used
// alternately always read the right bytes.
//
// Failure: Read/Write/Tell/GetSize answer -1, Seek/Flush false. With the
// throw switch on (SetThrowMode(true)) they throw KExceptFile instead.
// Reaching a window's limit is a failure (-1); reaching the physical end of
// a file is an empty read (0). A failed seek clamps the position to the
// nearest edge it crossed, so later transfers start from a defined place.
//
//   KFile f;  f.Open(KFILE_READ, "mareld.dat");     // 1000 bytes
//   KFile v;  v.OpenView(f, 100, 50);
//   v.GetSize()         -> 50
//   v.Read(80, buf)     -> 50  (bytes 100..149 of the file)
//   v.Read(1, buf)      -> -1
#ifndef FOUNDATION_KFILE_H_
#define FOUNDATION_KFILE_H_

#include <cstdint>

#include "foundation/klock.h"
#include "foundation/kref.h"
#include "foundation/ktext.h"
#include "platform/file.h"

namespace zorl {

// Open mode bits.
enum : std::uint32_t {
  KFILE_READ = 1,    // read access
  KFILE_WRITE = 2,   // write access
  KFILE_CREATE = 4,  // open always (with KFILE_NEW: create or empty)
  KFILE_NEW = 8,     // alone: create, failing if the file exists
};

// Seek origins.
enum : std::uint32_t {
  KSEEK_BEGIN = 1,    // from the window's start
  KSEEK_CURRENT = 2,  // from the current position
  KSEEK_END = 4,      // from the window's end
};

// Memory access bits.
enum : std::uint32_t {
  KMEM_READ = 1,
  KMEM_WRITE = 2,
};

class KFile {
 public:
  static constexpr std::uint32_t kNoLimit = 0xFFFFFFFFu;

  KFile() = default;
  ~KFile();
  // Copying opens a view of the whole source window.
  KFile(const KFile& source);
  KFile& operator=(const KFile& source);

  // Opens a file. False (never throws) when this stream is open already or
  // the file cannot be opened; the stream is then closed.
  bool Open(std::uint32_t mode, const KRef<char>& path);
  // Creates a new, empty file "<dir>/<prefix><hex>.tmp" and opens it for
  // reading and writing in one step (platform::CreateTempFile: exclusive,
  // never through a link, never reopened by name); the name is its path.
  // False (never throws) when this stream is open or no file can be made.
  bool OpenNewTemp(const KRef<char>& dir, const char* prefix);
  // Opens a block of `size` uninitialised bytes with KMEM_* access. A
  // missing name (empty value) reads "(In Memory)". False when open or
  // size is 0.
  bool OpenMemory(const KRef<char>& name, std::uint32_t size,
                  std::uint32_t access);
  // Opens a window onto `source` (which must be open) starting `offset`
  // bytes into the source's window (negative: at the source's position),
  // `length` bytes long (-1: to the source's limit, or unlimited). Never
  // checks the window against the data. False when this stream is open.
  bool OpenView(const KFile& source, std::int32_t offset,
                std::int32_t length = -1);
  // False when the stream was not open. The last sharer closes the handle.
  bool Close();

  // Bytes read (0 at the end of a file), or -1.
  std::int32_t Read(std::uint32_t count, void* buffer);
  // Bytes written (memory never grows: cut at its end), or -1.
  std::int32_t Write(const void* buffer, std::uint32_t count);
  bool Seek(std::uint32_t origin, std::int32_t offset);
  // Position within the window, or -1.
  std::int32_t Tell();
  // Size of the window, or -1.
  std::int32_t GetSize();
  bool Flush();
  // Starts writing `length` bytes of the window from `offset` to the device
  // without waiting, so a later Flush has less left to wait for. A hint:
  // never throws; false when not open or the system refused (Flush still
  // reports real failures); true for memory.
  bool StartWriteback(std::uint32_t offset, std::uint32_t length);
  // Ends the data at the current position (files) / after it (memory).
  // Never throws.
  bool SetEnd();
  // The identity of the file under a file stream or view (the same for
  // every view of one file). False for memory, a closed stream, or when
  // the system cannot tell. Never throws.
  bool GetIdentity(platform::FileIdentity* out) const;

  // Names the stream (at most 263 characters are kept).
  void SetName(const KRef<char>& name);
  // The name: the path it was opened with, its source's for a view.
  const char* GetName() const { return TextOf(name_); }
  // The name's counted buffer (empty when never named). Never edited in
  // place, so a holder may keep it, or a Sub of it, as text of its own.
  const KRef<char>& NameText() const { return name_; }
  bool GetThrowMode() const;
  // Sets the throw switch and returns its previous value.
  bool SetThrowMode(bool on);

  bool IsOpen() const { return handle_ || memory_; }
  bool IsFile() const { return static_cast<bool>(handle_); }
  bool IsMemory() const { return static_cast<bool>(memory_); }
  bool HasLimit() const { return limit_ != kNoLimit; }
  std::uint32_t Base() const { return base_; }
  std::uint32_t Limit() const { return limit_; }
  // The memory block of a memory stream (its whole block, not the window).
  unsigned char* MemoryData() const { return memory_.Get(); }

 private:
  // Takes `file`, just opened under `path`, as the stream's own handle.
  void Adopt(platform::FileHandle file, const KRef<char>& path);
  // Applies the positioning rule before a transfer; false when the
  // position is outside what the stream can reach (it is then clamped).
  bool Position();
  // Read or Write: the window arithmetic is the same in both directions.
  std::int32_t Transfer(bool write, void* buffer, std::uint32_t count);
  // Throws when the switch is on; returns `result` otherwise.
  template <class R>
  R Fail(R result) const;
  void CopyViewFrom(const KFile& source, std::int32_t offset,
                    std::int32_t length);
  KLock* Lock() const { return lock_.Get(); }

  std::uint32_t position_ = 0;
  std::uint32_t base_ = 0;
  std::uint32_t limit_ = kNoLimit;
  bool throw_on_error_ = false;
  // Shared, never edited in place: views of one file share one name
  // (an archive holds thousands of views); SetName makes a new buffer.
  KRef<char> name_;
  KRef<platform::FileHandle> handle_;
  KRef<unsigned char> memory_;
  std::uint32_t memory_access_ = 0;
  std::uint32_t memory_size_ = 0;
  KRef<KLock> lock_;
};

}  // namespace zorl

#endif  // FOUNDATION_KFILE_H_
