// The patch payload: one zlib stream appended after the raw data of the
// last section of a PE executable (its overlay), reaching to the file's end.
#ifndef ENGINE_PAYLOAD_H_
#define ENGINE_PAYLOAD_H_

#include <cstdint>
#include <functional>

#include "foundation/kfile.h"
#include "foundation/kref.h"

namespace updater {

// Reads the PE headers of `exe` (an open stream, read from its start) and
// writes into `end` where the raw data of the counted section with the
// greatest pointer to raw data ends (equal pointers: the larger size wins;
// a section counts when both its pointer and size are non-zero): where an
// overlay starts. False on a short read, a bad "MZ" or "PE\0\0"
// signature, or no counted section. The stream's position is left anywhere.
bool FindImageEnd(zorl::KFile& exe, std::uint32_t* end);

// Opens `out` (closed) as an unlimited view of `exe_path` starting at the
// overlay. The overlay starts where the counted section with the greatest
// pointer to raw data ends (equal pointers: the larger size wins); a
// section counts when both its pointer and its size of raw data are
// non-zero. False on: an unreadable file, a bad "MZ" or "PE\0\0" signature,
// short headers, no counted section, or no byte after that section. On
// true the view holds the file open until it is closed.
bool LocatePayload(const zorl::KRef<char>& exe_path, zorl::KFile& out);

// The most inflated bytes a stream's 32-bit positions can address.
constexpr std::uint32_t kMaxPayloadSize = 0x7FFFFFFFu;

// Inflates one zlib stream from `source`'s position into `destination` at
// its position. True only when the stream ended properly and every write
// was complete; bytes after the stream's end are left unread. On false the
// destination may hold partial output. `tick`, when given, is called
// between chunks (it may throw; the inflater cleans up and rethrows).
// Inflation stops, false, as soon as the output would pass `limit` bytes
// (by default what 32-bit stream positions address: nothing could read
// more as a command stream); `too_large`, when given, tells that case
// apart from a broken stream.
bool InflatePayload(zorl::KFile& destination, zorl::KFile& source,
                    const std::function<void()>& tick = {},
                    bool* too_large = nullptr,
                    std::uint64_t limit = kMaxPayloadSize);

}  // namespace updater

#endif  // ENGINE_PAYLOAD_H_
