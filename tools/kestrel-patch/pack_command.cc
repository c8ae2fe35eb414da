// kestrel-patch pack STUB PAYLOAD -o UPDATER [--replace]
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/manifest.h"
#include "engine/payload.h"
#include "patchlib/atomic_output.h"
#include "patchlib/command_decoder.h"
#include "patchlib/console.h"
#include "patchlib/pe_overlay.h"
#include "patchlib/tree_copy.h"
#include "producer_commands.h"
#include "subcommands.h"

namespace kpatch {

namespace {

const char kTool[] = "kestrel-patch pack";
const char kDescription[] =
    "Writes UPDATER: the PE image of STUB up to the end of its last section's\n"
    "raw data, followed by PAYLOAD (checked first: it must decode as a whole\n"
    "command stream). A STUB that already carries data after its image (an\n"
    "overlay, such as an earlier payload) is refused unless --replace; what\n"
    "those bytes are is said where the headers tell: a COFF symbol table\n"
    "(link the stub with -s), a certificate table (the stub is signed: sign\n"
    "the packed updater instead), an earlier payload.\n"
    "The payload's version manifest goes with it unchanged; a payload whose\n"
    "manifest is damaged or cut off is refused.\n"
    "UPDATER appears complete or not at all.";

struct PackArguments {
  std::string stub, payload, out;
  bool replace = false;
};

int Pack(const PackArguments& a) {
  const std::string& stub_path = a.stub;
  const std::string& payload_path = a.payload;
  const std::string& out_path = a.out;
  const bool replace = a.replace;
  const std::string stub_shown = patchlib::Show(stub_path);
  zorl::KFile stub;
  if (!stub.Open(zorl::KFILE_READ, stub_path.c_str())) {
    patchlib::PrintError(kTool, stub_shown + ": cannot open the stub");
    return kExitFailure;
  }
  std::uint32_t image_end = 0;
  if (!updater::FindImageEnd(stub, &image_end)) {
    patchlib::PrintError(kTool, stub_shown +
                                    ": not a PE file (or no section with raw data)");
    return kExitFailure;
  }
  const std::int32_t stub_size = stub.GetSize();
  if (stub_size < 0 || static_cast<std::uint32_t>(stub_size) < image_end) {
    patchlib::PrintError(kTool, stub_shown + ": truncated (its image ends at " +
                                    std::to_string(image_end) + ", the file at " +
                                    std::to_string(stub_size) + ")");
    return kExitFailure;
  }
  if (static_cast<std::uint32_t>(stub_size) > image_end && !replace) {
    // Say what the extra bytes are where the headers tell, then refuse.
    for (const std::string& part :
         patchlib::DescribeOverlay(patchlib::ExamineOverlay(stub, image_end)))
      patchlib::PrintError(kTool, stub_shown + " carries " + part);
    patchlib::PrintError(
        kTool, stub_shown + ": already carries " +
                   std::to_string(stub_size - image_end) +
                   " bytes after its image (an overlay); use --replace to drop them");
    return kExitFailure;
  }

  const std::string payload_shown = patchlib::Show(payload_path);
  zorl::KFile payload;
  if (!payload.Open(zorl::KFILE_READ, payload_path.c_str())) {
    patchlib::PrintError(kTool, payload_shown + ": cannot open the payload");
    return kExitFailure;
  }
  const std::int32_t payload_size = payload.GetSize();
  {
    patchlib::InflateReader reader(payload);
    std::string error;
    if (payload_size <= 0 ||
        !patchlib::DecodeCommands(reader, [](const patchlib::DecodedCommand&) {},
                                  &error)) {
      patchlib::PrintError(kTool, payload_shown + ": not a valid payload" +
                                      (error.empty() ? "" : " (" + error + ")"));
      return kExitFailure;
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
      patchlib::PrintError(kTool, payload_shown + ": " + problem +
                                      "; build the payload again");
      return kExitFailure;
    }
  }
  patchlib::AtomicOutput output;
  if (!output.Open(out_path)) {
    patchlib::PrintError(kTool, patchlib::Show(out_path) +
                                    ": cannot create a file in its directory");
    return kExitFailure;
  }
  // Packed with --replace, a signed or unstripped stub loses its
  // certificate or symbol table with the rest of the overlay: the header
  // entries must not point into the payload (Windows would read it as a
  // signature, debuggers as symbols).
  const patchlib::OverlayParts parts = patchlib::ExamineOverlay(stub, image_end);
  static const unsigned char kNone[8] = {};
  auto clear = [&](bool present, std::uint32_t at) {
    return !present ||
           (output.file().Seek(zorl::KSEEK_BEGIN, static_cast<std::int32_t>(at)) &&
            output.file().Write(kNone, sizeof kNone) == sizeof kNone);
  };
  if (!patchlib::CopyStream(stub, image_end, output.file()) ||
      !clear(parts.certificate, parts.certificate_entry_at) ||
      !clear(parts.symbol_table, parts.symbols_entry_at) ||
      !output.file().Seek(zorl::KSEEK_BEGIN, static_cast<std::int32_t>(image_end)) ||
      !patchlib::CopyStream(payload, static_cast<std::uint64_t>(payload_size),
                            output.file()) ||
      !output.Commit()) {
    patchlib::PrintError(kTool, patchlib::Show(out_path) + ": cannot write the updater");
    return kExitFailure;
  }
  std::printf("%s: image %u bytes + payload %d bytes\n",
              patchlib::Show(out_path).c_str(), image_end, payload_size);
  return kExitSuccess;
}

}  // namespace

void AddPackCommand(tools::CommandLine& cli) {
  auto a = std::make_shared<PackArguments>();
  cli.Add("pack", "append a payload to an updater stub", kDescription,
          [a] { return Pack(*a); })
      .Path("STUB", &a->stub, "the updater without a payload")
      .Path("PAYLOAD", &a->payload, "the payload that build wrote")
      .PathOption("-o,--output", "UPDATER", &a->out, "the updater to write", true)
      .Flag("--replace", &a->replace,
            "drop the data STUB carries after its image (an earlier payload)");
}

}  // namespace kpatch
