// Delta commands and version manifests for tests of runs that patch files
// and entries (made with the producer's own encoder).
#ifndef TESTS_UPDATER_DELTA_PAYLOADS_H_
#define TESTS_UPDATER_DELTA_PAYLOADS_H_

#include <cstdint>
#include <string>

#include "engine/manifest.h"

namespace fixture {

// A whole command: `opcode` (6 or 7), the name, and a delta that turns
// `reference` into `data`.
std::string DeltaCommand(std::uint32_t opcode, const std::string& name,
                         const std::string& reference, const std::string& data);

// What the manifest records for a file holding `content`.
updater::ItemState FileState(const std::string& content);

// The manifest's bytes, to append to an updater.
std::string ManifestBytes(const updater::Manifest& manifest);

}  // namespace fixture

#endif  // TESTS_UPDATER_DELTA_PAYLOADS_H_
