// kestrel-image convert IN OUT [--to FMT] [--no-alpha]
// kestrel-image convert IN... -d DIR --to FMT [--no-alpha]
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "foundation/kexcept.h"
#include "foundation/kpath.h"
#include "foundation/ktext.h"
#include "image/kimagefile.h"
#include "image_commands.h"
#include "patchlib/atomic_output.h"
#include "patchlib/console.h"
#include "picture_file.h"
#include "platform/filesystem.h"
#include "platform/process.h"
#include "platform/text.h"
#include "progress_bar.h"

namespace kimage {
namespace {

const char kTool[] = "kestrel-image convert";

const char kDescription[] =
    "Converts IN into OUT, or each IN into DIR, as BMP, PNG or KCI: the\n"
    "format given by --to, else by OUT's extension (.bmp, .png, .kci).\n"
    "IN is read by every reader of the image library in its order (BMP,\n"
    "PNG/KCI, JPEG, then plug-ins on Windows). Pixels are kept exactly: a\n"
    "PNG, KCI or 32-bit BMP keeps its R, G, B and alpha in a PNG or KCI;\n"
    "pictures without alpha become RGB files; 16-bit samples keep their high\n"
    "byte, as the library reads them; a BMP is written with 24 bits (no\n"
    "alpha); a JPEG gives the pixels the library's JPEG reader decodes. KCI\n"
    "is written in its scrambled form.\n"
    "Each output is written to a temporary file beside it and renamed when\n"
    "complete: a conversion that fails leaves no output file, and an existing\n"
    "file is replaced only by a complete one. With -d, outputs are named\n"
    "after their inputs (DIR/NAME.FMT), DIR is made when missing, an output\n"
    "path longer than 263 bytes is refused (never cut), and a progress bar\n"
    "shows on a terminal.";

struct ConvertOptions {
  std::vector<std::string> paths;
  std::string dir;
  bool dir_given = false;
  std::string to;
  bool no_alpha = false;
  std::uint64_t max_pixels = 0;
};

enum class Kind { kBmp, kPng, kKci };

bool KindOf(const std::string& name, Kind* kind) {
  if (name == "bmp") *kind = Kind::kBmp;
  else if (name == "png") *kind = Kind::kPng;
  else if (name == "kci") *kind = Kind::kKci;
  else return false;
  return true;
}

// The extension of a cp932 path's file name, lowered ("" when none).
std::string Extension(const std::string& path) {
  char ext[zorl::kNameBufferSize];
  zorl::SplitPath(path.c_str(), nullptr, nullptr, ext);
  zorl::LowerName(ext);
  return ext;
}

// The file name of a cp932 path without its extension, never cut (a trail
// byte 0x5C is no separator).
std::string BaseName(const std::string& path) {
  std::size_t start = 0, dot = std::string::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (platform::IsLeadByte(c) && i + 1 < path.size()) {
      ++i;
    } else if (c == '/' || c == '\\') {
      start = i + 1;
      dot = std::string::npos;
    } else if (c == '.') {
      dot = i;
    }
  }
  return path.substr(start, (dot == std::string::npos ? path.size() : dot) - start);
}

bool EndsWithSeparator(const std::string& path) {
  bool separator = false;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    separator = c == '/' || c == '\\';
    if (platform::IsLeadByte(c) && i + 1 < path.size()) ++i;
  }
  return separator;
}

// DIR/BASE.EXT into `out`, as MakePath writes it. False when that is longer
// than a path may be (MakePath would cut it): `out` then holds it uncut.
bool OutputPath(const std::string& dir, const std::string& base,
                const std::string& ext, std::string* out) {
  const bool separator = dir.empty() || EndsWithSeparator(dir);
  *out = dir + (separator ? "" : "/") + base + "." + ext;
  if (out->size() > platform::kMaxPath - 1) return false;
  char path[zorl::kNameBufferSize];
  zorl::MakePath(dir.c_str(), base.c_str(), ext.c_str(), path);
  *out = path;
  return true;
}

void Error(const std::string& message) { patchlib::PrintError(kTool, message); }

int Usage(const std::string& message) {
  std::fprintf(stderr, "%s: %s\nRun '%s --help' for usage.\n", kTool,
               message.c_str(), kTool);
  return kExitUsage;
}

// Converts one file. Returns kExitSuccess, kExitFailure or kExitWrongInput,
// having said what went wrong on stderr.
int ConvertOne(const std::string& in, const std::string& out, Kind kind,
               bool no_alpha) {
  zorl::KImage image;
  PictureInfo info;
  if (!LoadPicture(in, image, &info)) {
    Error(patchlib::Show(in) + ": " + info.problem);
    return info.opened && !info.out_of_memory ? kExitWrongInput : kExitFailure;
  }
  const bool keep_alpha = !no_alpha && HasAlpha(info);
  // The PNG/KCI reader stores 255 - file alpha, the writer writes alpha as
  // it stands: turn it back, so the file's alpha comes out unchanged.
  if (IsPngOrKci(info.type) && image.Format() == zorl::KIMG_RGBA) {
    for (std::uint32_t y = 0; y < image.Height(); ++y) {
      unsigned char* p = image.PixelAddress(0, y);
      for (std::uint32_t x = 0; x < image.Width(); ++x, p += 4)
        p[3] = static_cast<unsigned char>(255 - p[3]);
    }
  }

  patchlib::AtomicOutput output;
  if (!output.Open(out)) {
    Error(patchlib::Show(out) + ": cannot create a file in " +
          patchlib::Show(patchlib::DirectoryOf(out)));
    return kExitFailure;
  }
  bool written = false;
  try {
    switch (kind) {
      case Kind::kBmp:
        written = zorl::KimgWriteBitmap(output.file(), image);
        break;
      case Kind::kPng:
        written = zorl::KimgWritePNG(output.file(), image, keep_alpha);
        break;
      case Kind::kKci:
        written = zorl::KimgWriteKCI(output.file(), image, keep_alpha);
        break;
    }
  } catch (const zorl::KExceptFile&) {
    written = false;
  }
  if (!written || !output.Commit()) {
    output.Abandon();
    Error(patchlib::Show(out) + (!written && zorl::KimgOutOfMemory()
                                     ? ": not enough memory to write it"
                                     : ": cannot write the file"));
    return kExitFailure;
  }
  return kExitSuccess;
}

// ConvertOne, with running out of memory outside the library a failure of
// this file too (the temporary output is gone with its owner).
int ConvertOneGuarded(const std::string& in, const std::string& out,
                      Kind kind, bool no_alpha) {
  try {
    return ConvertOne(in, out, kind, no_alpha);
  } catch (const std::bad_alloc&) {
    Error(patchlib::Show(in) + ": not enough memory to convert it");
    return kExitFailure;
  }
}

int Convert(const ConvertOptions& o) {
  zorl::KimgSetMaxPixels(o.max_pixels);  // 0: the default
  Kind kind = Kind::kPng;
  const bool to_given = !o.to.empty();
  if (to_given) KindOf(o.to, &kind);  // the front door checked the choice

  // Pairs of input and output; an output path too long to be made is kept
  // whole, to be refused in its turn.
  std::vector<std::pair<std::string, std::string>> jobs;
  std::vector<bool> too_long;
  if (o.dir_given) {
    if (!to_given) return Usage("-d needs --to bmp|png|kci");
    if (o.dir.empty()) return Usage("-d needs a directory");
    std::map<std::string, std::string> taken;  // lowered output -> input
    for (const std::string& in : o.paths) {
      std::string out;
      const bool fits = OutputPath(o.dir, BaseName(in), o.to, &out);
      if (fits) {
        char key[zorl::kNameBufferSize];
        zorl::MakeNameKey(key, out.c_str());
        auto it = taken.find(key);
        if (it != taken.end())
          return Usage(patchlib::Show(in) + " and " +
                       patchlib::Show(it->second) +
                       " would both be written to " + patchlib::Show(out));
        taken[key] = in;
      }
      jobs.emplace_back(in, out);
      too_long.push_back(!fits);
    }
    const platform::PathKind dir_kind = platform::GetPathKind(o.dir.c_str());
    if (dir_kind == platform::PathKind::kFile) {
      Error(patchlib::Show(o.dir) + ": is a file, not a directory");
      return kExitFailure;
    }
    if (dir_kind == platform::PathKind::kNone &&
        !platform::MakeDirectory(o.dir.c_str())) {
      Error(patchlib::Show(o.dir) + ": cannot make the directory");
      return kExitFailure;
    }
  } else {
    if (o.paths.size() != 2)
      return Usage(o.paths.size() < 2
                       ? "needs IN and OUT (or IN... -d DIR --to FMT)"
                       : "more than IN and OUT: use -d DIR --to FMT for many files");
    if (!to_given && !KindOf(Extension(o.paths[1]), &kind))
      return Usage("cannot tell the format from " + patchlib::Show(o.paths[1]) +
                   ": give --to bmp|png|kci or an extension .bmp, .png or .kci");
    jobs.emplace_back(o.paths[0], o.paths[1]);
    too_long.push_back(false);
  }

  tools::ProgressBar bar(stdout, o.dir_given && platform::IsTerminal());
  int status = kExitSuccess;
  std::size_t done = 0, failed = 0;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const auto& job = jobs[i];
    bar.Set(static_cast<int>(done), static_cast<int>(jobs.size()));
    int result = kExitFailure;
    if (too_long[i]) {
      bar.Clear();
      Error(patchlib::Show(job.second) + ": the output path is longer than " +
            std::to_string(platform::kMaxPath - 1) + " bytes");
    } else {
      result = ConvertOneGuarded(job.first, job.second, kind, o.no_alpha);
    }
    ++done;
    bar.Clear();
    if (result == kExitSuccess) {
      std::printf("%s -> %s\n", patchlib::Show(job.first).c_str(),
                  patchlib::Show(job.second).c_str());
    } else {
      ++failed;
      // A file that fails to be read or written outranks one that is no
      // picture at all.
      if (status == kExitSuccess || result == kExitFailure) status = result;
    }
    std::fflush(stdout);
  }
  bar.Set(static_cast<int>(done), static_cast<int>(jobs.size()));
  bar.Clear();
  if (jobs.size() > 1)
    std::printf("%zu converted, %zu failed\n", done - failed, failed);
  return status;
}

}  // namespace

void AddConvertCommand(tools::CommandLine& cli) {
  auto o = std::make_shared<ConvertOptions>();
  cli.Add("convert", "convert pictures to BMP, PNG or KCI", kDescription,
          [o] { return Convert(*o); })
      .Paths("FILE", &o->paths, "IN OUT, or with -d the inputs IN...", true)
      .PathOption("-d,--dir", "DIR", &o->dir,
                  "write each IN into DIR as NAME.FMT (needs --to)", false,
                  &o->dir_given)
      .Choice("--to", "FMT", &o->to, {"bmp", "png", "kci"},
              "the output format")
      .Flag("--no-alpha", &o->no_alpha,
            "write PNG and KCI without alpha even when the input has it")
      .Number("--max-pixels", "N", &o->max_pixels, kMaxPixelsHelp)
      .Footer(kExitStatuses);
}

}  // namespace kimage
