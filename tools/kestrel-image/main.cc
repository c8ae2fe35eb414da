// kestrel-image SUBCOMMAND [ARGS...]: the image library's front end.
#include "image/ksusie.h"
#include "image_commands.h"

namespace kimage {

const char kExitStatuses[] =
    "exit status: 0 success, 1 the work failed (a file could not be opened,\n"
    "read or written), 2 wrong command line, 3 a file is no picture the\n"
    "library reads.";

const char kMaxPixelsHelp[] =
    "the most pixels (width x height) a picture may have; default 268435456 "
    "(16384 x 16384): larger ones are refused before they are decoded";

}  // namespace kimage

int main(int argc, char** argv) {
  // Image plug-ins beside the program (Windows only) decode what the
  // library's own readers do not.
  zorl::KSusieInit();
  tools::CommandLine cli(
      "kestrel-image",
      "Shows what the game's image library makes of picture files and converts\n"
      "them between BMP, PNG and KCI (the library's scrambled PNG variant).\n"
      "Paths are UTF-8 on a Linux terminal, cp932 inside the game.");
  kimage::AddInfoCommand(cli);
  kimage::AddConvertCommand(cli);
  const int status = cli.Run(argc, argv);
  zorl::KSusieFree();
  return status;
}
