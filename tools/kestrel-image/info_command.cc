// kestrel-image info FILE... [--json]
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "display_name.h"
#include "image/kimagefile.h"
#include "image_commands.h"
#include "json_output.h"
#include "picture_file.h"

namespace kimage {
namespace {

const char kDescription[] =
    "Shows, for each FILE, the format the image library reads it as (BMP,\n"
    "PNG, KCI plain, KCI scrambled, JPEG, or a plug-in on Windows), its\n"
    "width, height and bits per pixel, one line each; or why the library\n"
    "does not read it. Only the header is read (a file no header tells is\n"
    "decoded when plug-ins are loaded); with --decode every file is decoded\n"
    "in full, so a damaged one shows. A picture of more pixels than the\n"
    "limit (--max-pixels) is not readable.\n"
    "Bits per pixel are the library's: a BMP's header value, 32 for PNG and\n"
    "KCI with alpha or a transparency chunk and 24 without, 24 for JPEG.";

struct InfoOptions {
  std::vector<std::string> files;
  bool json = false;
  bool decode = false;
  std::uint64_t max_pixels = 0;
};

int Info(const InfoOptions& o) {
  zorl::KimgSetMaxPixels(o.max_pixels);  // 0: the default
  std::unique_ptr<tools::JsonObjectWriter> json;
  if (o.json) {
    json = std::make_unique<tools::JsonObjectWriter>(stdout);
    json->BeginList("files");
  }
  std::size_t unreadable = 0, unopened = 0;
  for (const std::string& path : o.files) {
    PictureInfo info;
    if (o.decode) {
      zorl::KImage image;
      LoadPicture(path, image, &info);
    } else {
      DescribePicture(path, &info);
    }
    // Memory that ran out is this run's failure, as a file not opened.
    if (!info.opened || info.out_of_memory) ++unopened;
    else if (!info.readable) ++unreadable;
    if (json) {
      nlohmann::ordered_json item = {{"name", tools::Utf8Name(path)},
                                     {"readable", info.readable}};
      if (info.readable) {
        item["format"] = zorl::KImageFileTypeName(info.type);
        item["width"] = info.width;
        item["height"] = info.height;
        item["bits"] = info.bits;
      } else {
        item["problem"] = info.problem;
      }
      json->Add(item);
    } else if (info.readable) {
      std::printf("%s: %s, %u x %u, %u bits\n", tools::ShowName(path).c_str(),
                  zorl::KImageFileTypeName(info.type), info.width, info.height,
                  info.bits);
    } else {
      std::printf("%s: %s\n", tools::ShowName(path).c_str(),
                  info.problem.c_str());
    }
  }
  if (json) {
    json->EndList();
    json->Member("count", o.files.size());
    json->Member("unreadable", unreadable + unopened);
    json->Finish();
  }
  std::fflush(stdout);
  if (unopened > 0) return kExitFailure;
  return unreadable > 0 ? kExitWrongInput : kExitSuccess;
}

}  // namespace

void AddInfoCommand(tools::CommandLine& cli) {
  auto o = std::make_shared<InfoOptions>();
  cli.Add("info", "format, size and bits per pixel of picture files",
          kDescription, [o] { return Info(*o); })
      .Paths("FILE", &o->files, "the picture files", true)
      .Flag("--json", &o->json,
            "print one JSON object for scripts: {\"files\": [{\"name\", "
            "\"readable\", \"format\", \"width\", \"height\", \"bits\"} or "
            "{\"name\", \"readable\": false, \"problem\"}...], \"count\", "
            "\"unreadable\"}, in UTF-8")
      .Flag("--decode", &o->decode,
            "decode each file in full instead of reading its header")
      .Number("--max-pixels", "N", &o->max_pixels, kMaxPixelsHelp)
      .Footer(kExitStatuses);
}

}  // namespace kimage
