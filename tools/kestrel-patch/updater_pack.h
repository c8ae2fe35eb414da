// Packing: an updater stub's PE image followed by a payload, written as one
// file that appears complete or not at all. `pack` runs it on the files it
// is given; the maker's window on the payload it has just built.
#ifndef TOOLS_KESTREL_PATCH_UPDATER_PACK_H_
#define TOOLS_KESTREL_PATCH_UPDATER_PACK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/kfile.h"

namespace kpatch {

struct PackResult {
  std::uint32_t image_end = 0;    // bytes of the stub's image kept
  std::int32_t payload_size = 0;  // bytes of payload after it
};

// Checks `stub` as PackUpdater does and gives the end of its image. False
// with `errors` as below.
bool CheckStub(zorl::KFile& stub, const std::string& stub_shown, bool replace,
               std::uint32_t* image_end, std::vector<std::string>* errors);

// Writes `out_path` (cp932): the image of `stub` up to the end of its last
// section's raw data, then the whole of `payload` (read from its start;
// checked first: it must decode as a whole command stream). A stub that
// carries data after its image is refused unless `replace`; with it, the
// certificate and symbol table entries that pointed into that data are
// cleared. `stub_shown` and `payload_shown` name the inputs in messages.
// False with `errors` (UTF-8 lines, each naming the file, the last the
// reason for giving up) when nothing was written.
bool PackUpdater(zorl::KFile& stub, const std::string& stub_shown, zorl::KFile& payload,
                 const std::string& payload_shown, const std::string& out_path, bool replace,
                 PackResult* result, std::vector<std::string>* errors);

}  // namespace kpatch

#endif  // TOOLS_KESTREL_PATCH_UPDATER_PACK_H_
