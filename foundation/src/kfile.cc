#include "foundation/kfile.h"

#include <cstring>

#include "foundation/kexcept.h"
#include "platform/filesystem.h"

namespace zorl {

namespace {
constexpr std::uint64_t kMaxPosition = 0xFFFFFFFFu;   // 32-bit streams
constexpr std::uint32_t kMaxTransfer = 0x7FFFFFFFu;   // fits the result

// The largest count a transfer at `position` of a window at `base` may
// move: the result must fit an int32, and neither the position nor the
// absolute offset may pass the 32-bit range.
std::uint32_t CapCount(std::uint32_t base, std::uint32_t position,
                       std::uint32_t count) {
  const std::uint64_t at = std::uint64_t{base} + position;
  if (at >= kMaxPosition) return 0;
  if (count > kMaxTransfer) count = kMaxTransfer;
  if (at + count > kMaxPosition)
    count = static_cast<std::uint32_t>(kMaxPosition - at);
  return count;
}
}  // namespace

KFile::~KFile() { Close(); }

KFile::KFile(const KFile& source) { OpenView(source, 0, -1); }

KFile& KFile::operator=(const KFile& source) {
  if (this != &source) {
    Close();
    OpenView(source, 0, -1);
  }
  return *this;
}

template <class R>
R KFile::Fail(R result) const {
  if (throw_on_error_) throw KExceptFile();
  return result;
}

bool KFile::Open(std::uint32_t mode, const KRef<char>& path) {
  if (IsOpen()) return false;
  const platform::FileHandle file = platform::FileOpen(TextOf(path), mode);
  if (file == platform::kInvalidFile) return false;
  Adopt(file, path);
  return true;
}

bool KFile::OpenNewTemp(const KRef<char>& dir, const char* prefix) {
  if (IsOpen()) return false;
  char path[platform::kMaxPath];
  platform::FileHandle file = platform::kInvalidFile;
  if (!platform::CreateTempFile(TextOf(dir), prefix, path, &file)) return false;
  Adopt(file, path);
  return true;
}

void KFile::Adopt(platform::FileHandle file, const KRef<char>& path) {
  handle_.Reset(1);
  *handle_ = file;
  position_ = 0;
  base_ = 0;
  limit_ = kNoLimit;
  SetName(path);
  lock_.Reset(1);
}

bool KFile::OpenMemory(const KRef<char>& name, std::uint32_t size,
                       std::uint32_t access) {
  if (IsOpen() || size == 0) return false;
  memory_.Reset(size);
  memory_size_ = size;
  memory_access_ = access;
  position_ = 0;
  base_ = 0;
  limit_ = kNoLimit;
  SetName(name ? name : KRef<char>("(In Memory)"));
  lock_.Reset(1);
  return true;
}

bool KFile::OpenView(const KFile& source, std::int32_t offset,
                     std::int32_t length) {
  if (IsOpen() || !source.IsOpen()) return false;
  KRef<KLock> lock = source.lock_;  // keeps the lock alive while held
  KLockGuard guard(*lock);
  CopyViewFrom(source, offset, length);
  return true;
}

void KFile::CopyViewFrom(const KFile& source, std::int32_t offset,
                         std::int32_t length) {
  std::uint32_t at;
  if (offset < 0) {
    std::int32_t told = const_cast<KFile&>(source).Tell();
    at = told < 0 ? source.position_ : static_cast<std::uint32_t>(told);
  } else {
    at = static_cast<std::uint32_t>(offset);
  }
  position_ = 0;
  const std::uint32_t wanted = static_cast<std::uint32_t>(length);
  if (!source.HasLimit()) {
    limit_ = wanted;
  } else {
    // A window past its source's end is empty, never a wrapped huge one.
    std::uint32_t remaining = at < source.limit_ ? source.limit_ - at : 0;
    limit_ = (length == -1 || wanted > remaining) ? remaining : wanted;
  }
  std::uint64_t base = std::uint64_t{source.base_} + at;
  base_ = static_cast<std::uint32_t>(base > kMaxPosition ? kMaxPosition : base);
  handle_ = source.handle_;
  memory_ = source.memory_;
  memory_size_ = source.memory_size_;
  memory_access_ = source.memory_access_;
  throw_on_error_ = source.throw_on_error_;
  name_ = source.name_;
  lock_ = source.lock_;
}

bool KFile::Close() {
  if (!IsOpen()) return false;
  if (handle_ && handle_.UseCount() <= 1 &&
      *handle_ != platform::kInvalidFile)
    platform::FileClose(*handle_);
  throw_on_error_ = false;
  handle_.Release();
  memory_.Release();
  lock_.Release();
  return true;
}

bool KFile::Position() {
  if (HasLimit() && position_ > limit_) {
    position_ = limit_;
    return false;
  }
  if (handle_) return true;  // every transfer names its offset
  if (memory_) {
    if (std::uint64_t{base_} + position_ >= memory_size_) {
      position_ = memory_size_ > base_ ? memory_size_ - base_ : 0;
      return false;
    }
    return true;
  }
  return false;
}

std::int32_t KFile::Read(std::uint32_t count, void* buffer) {
  return Transfer(false, buffer, count);
}

std::int32_t KFile::Write(const void* buffer, std::uint32_t count) {
  return Transfer(true, const_cast<void*>(buffer), count);
}

std::int32_t KFile::Transfer(bool write, void* buffer, std::uint32_t count) {
  std::int32_t result = -1;
  if (lock_) {
    KLockGuard guard(*lock_);
    count = CapCount(base_, position_, count);
    if (HasLimit() && position_ < limit_ && limit_ - position_ < count)
      count = limit_ - position_;
    if (!(HasLimit() && position_ >= limit_) && Position()) {
      const std::uint64_t at = std::uint64_t{base_} + position_;
      if (handle_) {
        std::int64_t moved =
            write ? platform::FileWriteAt(*handle_, at, buffer, count)
                  : platform::FileReadAt(*handle_, at, buffer, count);
        if (moved >= 0) {
          position_ += static_cast<std::uint32_t>(moved);
          result = static_cast<std::int32_t>(moved);
        }
      } else if ((memory_access_ & (write ? KMEM_WRITE : KMEM_READ)) &&
                 at < memory_size_) {
        if (count > memory_size_ - at)  // a memory block never grows
          count = static_cast<std::uint32_t>(memory_size_ - at);
        unsigned char* block = memory_.Get() + at;
        if (write)
          std::memcpy(block, buffer, count);
        else
          std::memcpy(buffer, block, count);
        position_ += count;
        result = static_cast<std::int32_t>(count);
      }
    }
  }
  return result < 0 ? Fail(result) : result;
}

bool KFile::Seek(std::uint32_t origin, std::int32_t offset) {
  bool ok = false;
  if (lock_) {
    KLockGuard guard(*lock_);
    const std::int64_t off = offset;
    const std::int64_t pos = position_;
    const bool limited = HasLimit();
    // Moves to `target` (a position within the window) if the stream can
    // address it; clamps on the way out otherwise.
    auto move_to = [&](std::int64_t target) {
      if (target < 0) {
        position_ = 0;
        return false;
      }
      if (std::uint64_t{base_} + static_cast<std::uint64_t>(target) >
          kMaxPosition)
        return false;  // unaddressable: position unchanged
      position_ = static_cast<std::uint32_t>(target);
      return true;
    };
    if (handle_) {
      switch (origin) {
        case KSEEK_BEGIN:
          if (off < 0) {
            position_ = 0;
          } else if (limited && off > limit_) {
            position_ = limit_;
          } else {
            ok = move_to(off);
          }
          break;
        case KSEEK_CURRENT:
          if (limited && off >= 0 && pos + off > limit_) {
            position_ = limit_;
          } else if (off < 0 && pos < -off) {
            position_ = 0;
          } else {
            ok = move_to(pos + off);
          }
          break;
        case KSEEK_END: {
          std::int64_t end;
          if (limited) {
            end = limit_;
          } else {
            std::int64_t size = platform::FileSize(*handle_);
            if (size < 0) break;  // position unchanged
            end = size - base_;
          }
          if (off > 0) {
            if (end >= 0) move_to(end);
          } else if (-off > end) {
            if (limited) position_ = 0;  // else the native move fails
          } else {
            ok = move_to(end + off);
          }
          break;
        }
        default:
          break;
      }
    } else if (memory_) {
      const std::int64_t size = std::int64_t{memory_size_} - base_;
      const std::int64_t clamp_end = size > 0 ? size : 0;
      switch (origin) {
        case KSEEK_BEGIN:
          if (off < 0) {
            position_ = 0;
          } else if (limited && off > limit_) {
            position_ = limit_;
          } else if (off >= size) {
            position_ = static_cast<std::uint32_t>(clamp_end);
          } else {
            position_ = static_cast<std::uint32_t>(off);
            ok = true;
          }
          break;
        case KSEEK_CURRENT:
          if (limited && off >= 0 && pos + off > limit_) {
            position_ = limit_;
          } else if (off < 0 && pos < -off) {
            position_ = 0;
          } else if (pos + off >= size) {
            position_ = static_cast<std::uint32_t>(clamp_end);
          } else {
            position_ = static_cast<std::uint32_t>(pos + off);
            ok = true;
          }
          break;
        case KSEEK_END: {
          const std::int64_t end = limited ? std::int64_t{limit_} : clamp_end;
          if (off > 0) {
            position_ = static_cast<std::uint32_t>(end);
          } else if (-off > end) {
            position_ = 0;
          } else {
            position_ = static_cast<std::uint32_t>(end + off);
            ok = true;
          }
          break;
        }
        default:
          break;
      }
    }
  }
  return ok ? true : Fail(false);
}

std::int32_t KFile::Tell() {
  std::int32_t result = -1;
  if (lock_) {
    KLockGuard guard(*lock_);
    if (Position() && position_ <= kMaxTransfer)
      result = static_cast<std::int32_t>(position_);
  }
  return result < 0 ? Fail(result) : result;
}

std::int32_t KFile::GetSize() {
  std::int64_t result = -1;
  if (lock_) {
    KLockGuard guard(*lock_);
    if (HasLimit()) {
      result = limit_;
    } else if (handle_) {
      std::int64_t size = platform::FileSize(*handle_);
      // A window that starts past the end of the file is empty.
      if (size >= 0) result = size > base_ ? size - base_ : 0;
    } else if (memory_) {
      result = memory_size_ > base_ ? memory_size_ - base_ : 0;
    }
  }
  if (result < 0 || result > kMaxTransfer) return Fail(-1);
  return static_cast<std::int32_t>(result);
}

bool KFile::Flush() {
  bool ok = false;
  if (lock_) {
    KLockGuard guard(*lock_);
    ok = handle_ ? platform::FileFlush(*handle_) : true;
  }
  return ok ? true : Fail(false);
}

bool KFile::StartWriteback(std::uint32_t offset, std::uint32_t length) {
  if (!lock_) return false;
  KLockGuard guard(*lock_);
  if (!handle_) return true;
  return platform::FileStartWriteback(*handle_, std::uint64_t{base_} + offset,
                                      length);
}

bool KFile::GetIdentity(platform::FileIdentity* out) const {
  if (!handle_ || !lock_) return false;
  KLockGuard guard(*lock_);
  return platform::GetFileIdentity(*handle_, out);
}

bool KFile::SetEnd() {
  if (!lock_) return false;
  KLockGuard guard(*lock_);
  const std::uint64_t at = std::uint64_t{base_} + position_;
  if (handle_) return platform::FileTruncate(*handle_, at);
  // A memory block never grows; it can only end earlier.
  if (at > memory_size_) return false;
  memory_size_ = static_cast<std::uint32_t>(at);
  return true;
}

void KFile::SetName(const KRef<char>& name) {
  const char* text = TextOf(name);
  std::size_t length = strnlen(text, kNameBufferSize - 1);
  KRef<char> copy;
  copy.Reset(static_cast<std::uint32_t>(length + 1));
  std::memcpy(copy.Get(), text, length);
  copy[length] = '\0';
  name_ = copy;
}

bool KFile::GetThrowMode() const {
  if (!lock_) return throw_on_error_;
  KLockGuard guard(*lock_);
  return throw_on_error_;
}

bool KFile::SetThrowMode(bool on) {
  if (!lock_) {
    bool old = throw_on_error_;
    throw_on_error_ = on;
    return old;
  }
  KLockGuard guard(*lock_);
  bool old = throw_on_error_;
  throw_on_error_ = on;
  return old;
}

}  // namespace zorl
