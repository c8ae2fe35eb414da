#include "delta_payloads.h"

#include <gtest/gtest.h>

#include "engine/delta_frames.h"
#include "engine_fixture.h"
#include "patchlib/delta_encoder.h"
#include "patchlib/manifest_writer.h"

namespace fixture {

std::string DeltaCommand(std::uint32_t opcode, const std::string& name,
                         const std::string& reference, const std::string& data) {
  std::string frames;
  EXPECT_TRUE(patchlib::EncodeDelta(
      reinterpret_cast<const unsigned char*>(reference.data()),
      static_cast<std::uint32_t>(reference.size()),
      reinterpret_cast<const unsigned char*>(data.data()),
      static_cast<std::uint32_t>(data.size()), 3, 1, &frames));
  updater::DeltaHead head;
  head.new_size = static_cast<std::uint32_t>(data.size());
  head.reference_size = static_cast<std::uint32_t>(reference.size());
  head.reference_hash = updater::HashBytes(reference.data(), reference.size());
  head.delta_size = static_cast<std::uint32_t>(frames.size());
  unsigned char bytes[updater::kDeltaHeadSize];
  updater::StoreDeltaHead(head, bytes);
  return Le32(opcode) + Le32(static_cast<std::uint32_t>(name.size())) + name +
         std::string(reinterpret_cast<char*>(bytes), sizeof bytes) + frames;
}

updater::ItemState FileState(const std::string& content) {
  updater::ItemState s;
  s.kind = updater::ItemState::Kind::kFile;
  s.size = content.size();
  s.hash = updater::HashBytes(content.data(), content.size());
  return s;
}

std::string ManifestBytes(const updater::Manifest& manifest) {
  std::string bytes, error;
  EXPECT_TRUE(patchlib::EncodeManifest(manifest, &bytes, &error)) << error;
  return bytes;
}

}  // namespace fixture
