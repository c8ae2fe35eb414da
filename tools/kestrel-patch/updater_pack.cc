#include "updater_pack.h"

#include "engine/manifest.h"
#include "engine/payload.h"
#include "patchlib/atomic_output.h"
#include "patchlib/command_decoder.h"
#include "patchlib/console.h"
#include "patchlib/pe_overlay.h"
#include "patchlib/tree_copy.h"

namespace kpatch {

bool CheckStub(zorl::KFile& stub, const std::string& stub_shown, bool replace,
               std::uint32_t* image_end_out, std::vector<std::string>* errors) {
  std::uint32_t image_end = 0;
  if (!updater::FindImageEnd(stub, &image_end)) {
    errors->push_back(stub_shown + ": not a PE file (or no section with raw data)");
    return false;
  }
  const std::int32_t stub_size = stub.GetSize();
  if (stub_size < 0 || static_cast<std::uint32_t>(stub_size) < image_end) {
    errors->push_back(stub_shown + ": truncated (its image ends at " + std::to_string(image_end) +
                      ", the file at " + std::to_string(stub_size) + ")");
    return false;
  }
  if (static_cast<std::uint32_t>(stub_size) > image_end && !replace) {
    // Say what the extra bytes are where the headers tell, then refuse.
    for (const std::string& part :
         patchlib::DescribeOverlay(patchlib::ExamineOverlay(stub, image_end)))
      errors->push_back(stub_shown + " carries " + part);
    errors->push_back(stub_shown + ": already carries " + std::to_string(stub_size - image_end) +
                      " bytes after its image (an overlay); use --replace to drop them");
    return false;
  }
  *image_end_out = image_end;
  return true;
}

bool PackUpdater(zorl::KFile& stub, const std::string& stub_shown, zorl::KFile& payload,
                 const std::string& payload_shown, const std::string& out_path, bool replace,
                 PackResult* result, std::vector<std::string>* errors) {
  std::uint32_t image_end = 0;
  if (!CheckStub(stub, stub_shown, replace, &image_end, errors)) return false;
  const std::int32_t payload_size = payload.GetSize();
  if (!payload.Seek(zorl::KSEEK_BEGIN, 0)) {
    errors->push_back(payload_shown + ": cannot read the payload");
    return false;
  }
  {
    patchlib::InflateReader reader(payload);
    std::string error;
    if (payload_size <= 0 || !patchlib::DecodeCommands(
                                 reader, [](const patchlib::DecodedCommand&) {}, &error)) {
      errors->push_back(payload_shown + ": not a valid payload" +
                        (error.empty() ? "" : " (" + error + ")"));
      return false;
    }
    // The manifest must be whole and belong to this stream: packed as it
    // is, a damaged one would make the updater refuse every player.
    updater::Manifest manifest;
    std::uint32_t body_at = 0;
    const updater::ManifestLookup lookup = updater::ReadManifestAt(
        payload, 0, static_cast<std::uint32_t>(payload_size), false, &manifest, &body_at);
    const std::uint64_t stream_end = reader.consumed();
    std::string problem;
    if (lookup == updater::ManifestLookup::kDamaged)
      problem = "its version manifest is damaged (checksum, length or layout)";
    else if (lookup == updater::ManifestLookup::kFound &&
             (stream_end != body_at || reader.position() != manifest.inflated_size))
      problem = "its version manifest does not fit the zlib stream before it";
    else if (lookup == updater::ManifestLookup::kNone &&
             updater::LooksLikeManifestBody(payload, static_cast<std::uint32_t>(stream_end)))
      problem = "its version manifest is cut off (the end is missing)";
    if (!problem.empty()) {
      errors->push_back(payload_shown + ": " + problem + "; build the payload again");
      return false;
    }
  }
  patchlib::AtomicOutput output;
  if (!output.Open(out_path)) {
    errors->push_back(patchlib::Show(out_path) + ": cannot create a file in its directory");
    return false;
  }
  // Packed with --replace, a signed or unstripped stub loses its
  // certificate or symbol table with the rest of the overlay: the header
  // entries must not point into the payload (Windows would read it as a
  // signature, debuggers as symbols).
  const patchlib::OverlayParts parts = patchlib::ExamineOverlay(stub, image_end);
  static const unsigned char kNone[8] = {};
  auto clear = [&](bool present, std::uint32_t at) {
    return !present || (output.file().Seek(zorl::KSEEK_BEGIN, static_cast<std::int32_t>(at)) &&
                        output.file().Write(kNone, sizeof kNone) == sizeof kNone);
  };
  if (!stub.Seek(zorl::KSEEK_BEGIN, 0) || !patchlib::CopyStream(stub, image_end, output.file()) ||
      !clear(parts.certificate, parts.certificate_entry_at) ||
      !clear(parts.symbol_table, parts.symbols_entry_at) ||
      !output.file().Seek(zorl::KSEEK_BEGIN, static_cast<std::int32_t>(image_end)) ||
      !patchlib::CopyStream(payload, static_cast<std::uint64_t>(payload_size), output.file()) ||
      !output.Commit()) {
    errors->push_back(patchlib::Show(out_path) + ": cannot write the updater");
    return false;
  }
  result->image_end = image_end;
  result->payload_size = payload_size;
  return true;
}

}  // namespace kpatch
