// kestrel-patch pack STUB PAYLOAD -o UPDATER [--replace]
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "patchlib/console.h"
#include "producer_commands.h"
#include "subcommands.h"
#include "updater_pack.h"

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
  std::vector<std::string> errors;
  std::uint32_t image_end = 0;
  if (!CheckStub(stub, stub_shown, replace, &image_end, &errors)) {
    for (const std::string& error : errors) patchlib::PrintError(kTool, error);
    return kExitFailure;
  }
  const std::string payload_shown = patchlib::Show(payload_path);
  zorl::KFile payload;
  if (!payload.Open(zorl::KFILE_READ, payload_path.c_str())) {
    patchlib::PrintError(kTool, payload_shown + ": cannot open the payload");
    return kExitFailure;
  }
  PackResult result;
  if (!PackUpdater(stub, stub_shown, payload, payload_shown, out_path, replace,
                   &result, &errors)) {
    for (const std::string& error : errors) patchlib::PrintError(kTool, error);
    return kExitFailure;
  }
  std::printf("%s: image %u bytes + payload %d bytes\n",
              patchlib::Show(out_path).c_str(), result.image_end, result.payload_size);
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
