// kestrel-image end to end: the built tool on files ImageMagick wrote
// (tests/image/make-fixtures), its outputs decoded again by ImageMagick and
// compared pixel by pixel with ImageMagick's decoding of the inputs.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/kfile.h"
#include "image/kconvert.h"
#include "image/kimagefile.h"
#include "tool_run.h"

namespace {

namespace fs = std::filesystem;
using tool_run::Quote;
using tool_run::Scratch;

const std::string kFixtures = KESTREL_IMAGE_FIXTURES;

tool_run::Result Tool(const std::string& args, const std::string& cwd = ".") {
  return tool_run::Run(KESTREL_IMAGE_EXE, args, cwd);
}

std::string Fixture(const std::string& name) { return kFixtures + "/" + name; }

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A picture as ImageMagick decodes it: 8-bit R, G, B, A samples.
struct Pixels {
  unsigned width = 0, height = 0;
  std::vector<unsigned char> rgba;
};

// ImageMagick's decoding of `path`, 16-bit samples cut to their high byte
// (as the library reads them).
Pixels Decode(const std::string& path) {
  Pixels p;
  const tool_run::Result size =
      tool_run::Run(KESTREL_IMAGEMAGICK_CONVERT, Quote(path) + " -format '%w %h' info:-");
  std::istringstream(size.out) >> p.width >> p.height;
  const tool_run::Result raw = tool_run::Run(
      KESTREL_IMAGEMAGICK_CONVERT, Quote(path) + " -depth 16 -endian MSB rgba:-");
  EXPECT_EQ(raw.out.size(), std::size_t{p.width} * p.height * 8) << path << raw.err;
  for (std::size_t i = 0; i + 1 < raw.out.size(); i += 2)
    p.rgba.push_back(static_cast<unsigned char>(raw.out[i]));
  return p;
}

// PNG colour type of a file (IHDR byte 25).
int ColorType(const std::string& path) {
  const std::string bytes = Slurp(path);
  return bytes.size() > 25 ? static_cast<unsigned char>(bytes[25]) : -1;
}

// Every regular file name in a directory.
std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct Source {
  const char* name;
  bool alpha;  // the file has alpha (or a transparency chunk)
};

// Every PNG colour type and bit depth of the fixtures.
const Source kPngSources[] = {
    {"grey1.png", false},        {"grey2.png", false},
    {"grey4.png", false},        {"grey8.png", false},
    {"grey16.png", false},       {"grey8-trns.png", true},
    {"grey16-trns.png", true},   {"grey-alpha8.png", true},
    {"grey-alpha16.png", true},  {"rgb8.png", false},
    {"rgb16.png", false},        {"rgb8-trns.png", true},
    {"rgba8.png", true},         {"rgba16.png", true},
    {"palette1.png", false},     {"palette2.png", false},
    {"palette4.png", false},     {"palette8.png", false},
    {"palette8-trns.png", true}, {"palette8-alpha.png", true},
    {"rgba8-interlaced.png", true}, {"grey2-interlaced.png", false},
};

TEST(KestrelImageTest, PngToKciToPngAndPngToPngAreExact) {
  Scratch dir("kimage");
  for (const Source& s : kPngSources) {
    SCOPED_TRACE(s.name);
    const std::string in = Fixture(s.name);
    const Pixels expected = Decode(in);
    const std::string kci = dir / "out.kci", back = dir / "back.png",
                      same = dir / "same.png";
    tool_run::Result r = Tool("convert " + Quote(in) + " " + Quote(kci));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(kci).substr(0, 8), "\x4B\x43\x49\xCC\xBB\xAA\x99\x88");
    r = Tool("convert " + Quote(kci) + " " + Quote(back));
    ASSERT_EQ(r.status, 0) << r.err;
    r = Tool("convert " + Quote(in) + " " + Quote(same));
    ASSERT_EQ(r.status, 0) << r.err;
    for (const std::string& out : {back, same}) {
      EXPECT_EQ(ColorType(out), s.alpha ? 6 : 2) << out;
      const Pixels got = Decode(out);
      EXPECT_EQ(got.width, expected.width);
      EXPECT_EQ(got.height, expected.height);
      EXPECT_TRUE(got.rgba == expected.rgba) << out;
    }
  }
}

TEST(KestrelImageTest, BmpToPngAsImageMagickDecodesIt) {
  Scratch dir("kimage");
  for (const Source& s :
       {Source{"palette8.bmp", false}, Source{"palette8-topdown.bmp", false},
        Source{"palette8-v5.bmp", false}, Source{"rgb24.bmp", false},
        Source{"rgb24-topdown.bmp", false}, Source{"rgba32.bmp", true},
        Source{"rgba32-topdown.bmp", true}, Source{"rgba32-v5.bmp", true},
        Source{"rgba32-v5-topdown.bmp", true}}) {
    SCOPED_TRACE(s.name);
    const std::string out = dir / "out.png";
    const tool_run::Result r = Tool("convert " + Quote(Fixture(s.name)) + " " +
                                    Quote(out));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ColorType(out), s.alpha ? 6 : 2);
    EXPECT_TRUE(Decode(out).rgba == Decode(Fixture(s.name)).rgba);
  }
}

TEST(KestrelImageTest, JpegGivesTheLibrarysPixels) {
  Scratch dir("kimage");
  for (const char* name : {"baseline.jpg", "progressive.jpg", "grey.jpg"}) {
    SCOPED_TRACE(name);
    const std::string out = dir / "out.kci";
    const std::string png = dir / "out.png";
    ASSERT_EQ(Tool("convert " + Quote(Fixture(name)) + " " + Quote(out)).status, 0);
    ASSERT_EQ(Tool("convert " + Quote(out) + " " + Quote(png)).status, 0);
    EXPECT_EQ(ColorType(png), 2);
    // Exactly what the library's reader decodes ...
    zorl::KFile file;
    ASSERT_TRUE(file.Open(zorl::KFILE_READ, Fixture(name).c_str()));
    zorl::KImage image, rgba;
    ASSERT_TRUE(zorl::KimgLoad(file, image));
    ASSERT_TRUE(rgba.Create(image.Width(), image.Height(), zorl::KIMG_RGBA));
    ASSERT_TRUE(zorl::KConvertImage(image, rgba));
    std::vector<unsigned char> library;
    for (unsigned y = 0; y < rgba.Height(); ++y)
      library.insert(library.end(), rgba.PixelAddress(0, y),
                     rgba.PixelAddress(0, y) + rgba.Width() * 4);
    const Pixels got = Decode(png);
    EXPECT_TRUE(got.rgba == library);
    // ... and within a few levels of ImageMagick's own decoding.
    const Pixels reference = Decode(Fixture(name));
    ASSERT_EQ(got.rgba.size(), reference.rgba.size());
    int worst = 0;
    for (std::size_t i = 0; i < got.rgba.size(); ++i)
      worst = std::max(worst, std::abs(got.rgba[i] - reference.rgba[i]));
    EXPECT_LE(worst, 4);
  }
}

TEST(KestrelImageTest, BmpOutputIs24BitAndNoAlphaDropsAlpha) {
  Scratch dir("kimage");
  const std::string in = Fixture("rgba8.png");
  ASSERT_EQ(Tool("convert " + Quote(in) + " " + Quote(dir / "out.bmp")).status, 0);
  const std::string bmp = Slurp(dir / "out.bmp");
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(bmp[28], 24);
  Pixels expected = Decode(in);
  for (std::size_t i = 3; i < expected.rgba.size(); i += 4) expected.rgba[i] = 255;
  EXPECT_TRUE(Decode(dir / "out.bmp").rgba == expected.rgba);

  // --to wins over the extension; --no-alpha gives RGB.
  ASSERT_EQ(Tool("convert " + Quote(in) + " " + Quote(dir / "x.bmp") +
                 " --to png --no-alpha").status,
            0);
  EXPECT_EQ(Slurp(dir / "x.bmp").substr(1, 3), "PNG");
  EXPECT_EQ(ColorType(dir / "x.bmp"), 2);
  EXPECT_TRUE(Decode(dir / "x.bmp").rgba == expected.rgba);
}

TEST(KestrelImageTest, DamagedAndForeignFilesAreRefusedWithoutOutput) {
  Scratch dir("kimage");
  const std::string png = Slurp(Fixture("big-rgb8.png"));
  const std::string jpeg = Slurp(Fixture("baseline.jpg"));
  tool_run::Write(dir / "cut.png", png.substr(0, png.size() / 2));
  tool_run::Write(dir / "badsig.png", png.substr(0, 4) + "xxxx" + png.substr(8));
  tool_run::Write(dir / "short.jpg", jpeg.substr(0, 200));
  tool_run::Write(dir / "text.txt", "just some text\n");
  tool_run::Write(dir / "keep.png", "an older file");
  struct Case {
    const char* input;
    const char* message;
  } cases[] = {
      {"cut.png", "cut.png: a damaged or cut-short PNG file"},
      {"badsig.png", "badsig.png: a damaged or cut-short PNG file"},
      {"short.jpg", "short.jpg: a damaged or cut-short JPEG file"},
      {"text.txt", "text.txt: not a BMP, PNG, KCI or JPEG file"},
  };
  for (const Case& c : cases) {
    for (const char* out : {"new.kci", "keep.png"}) {
      const tool_run::Result r =
          Tool(std::string("convert ") + c.input + " " + out, dir.path.string());
      EXPECT_EQ(r.status, 3) << c.input;
      EXPECT_NE(r.err.find(std::string("kestrel-image convert: ") + c.message),
                std::string::npos)
          << r.err;
      EXPECT_EQ(r.out, "");
    }
  }
  // No output, no temporary file; the older file untouched.
  EXPECT_EQ(Names(dir.path.string()),
            (std::vector<std::string>{"badsig.png", "cut.png", "keep.png",
                                      "short.jpg", "text.txt"}));
  EXPECT_EQ(Slurp(dir / "keep.png"), "an older file");
  // 4-bit and run-length BMPs: refused with what the library reads.
  const tool_run::Result r = Tool("convert " + Quote(Fixture("refused-4bit.bmp")) +
                                  " " + Quote(dir / "x.png"));
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("a BMP with 4 bits per pixel"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "x.png"));
  // A missing input is a failure of its own kind.
  EXPECT_EQ(Tool("convert " + Quote(dir / "missing.png") + " " + Quote(dir / "y.png")).status, 1);
}

TEST(KestrelImageTest, InfoJsonParsesBack) {
  Scratch dir("kimage");
  tool_run::Write(dir / "junk.bin", "no picture");
  ASSERT_EQ(Tool("convert " + Quote(Fixture("rgba8.png")) + " " + Quote(dir / "a.kci")).status, 0);
  const std::string plain = "\x4B\x43\x49\x88\x99\xAA\xBB\xCC" +
                            Slurp(Fixture("rgb8.png")).substr(8);
  tool_run::Write(dir / "plain.kci", plain);
  const std::string args = Quote(Fixture("rgba8.png")) + " " + Quote(Fixture("rgb16.png")) +
                           " " + Quote(dir / "a.kci") + " " + Quote(dir / "plain.kci") +
                           " " + Quote(Fixture("baseline.jpg")) + " " +
                           Quote(Fixture("palette8.bmp")) + " " +
                           Quote(Fixture("refused-4bit.bmp")) + " " + Quote(dir / "junk.bin");
  const tool_run::Result r = Tool("info --json " + args);
  EXPECT_EQ(r.status, 3) << r.err;  // two files the library does not read
  const nlohmann::json j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["files"].size(), 8u);
  EXPECT_EQ(j["count"], 8);
  EXPECT_EQ(j["unreadable"], 2);
  struct Want {
    const char* format;
    unsigned width, height, bits;
  } want[] = {{"PNG", 61, 47, 32},           {"PNG", 61, 47, 24},
              {"KCI scrambled", 61, 47, 32}, {"KCI plain", 61, 47, 24},
              {"JPEG", 160, 120, 24},        {"BMP", 61, 47, 8}};
  for (std::size_t i = 0; i < 6; ++i) {
    const nlohmann::json& f = j["files"][i];
    EXPECT_EQ(f["readable"], true) << f;
    EXPECT_EQ(f["format"], want[i].format) << f;
    EXPECT_EQ(f["width"], want[i].width) << f;
    EXPECT_EQ(f["height"], want[i].height) << f;
    EXPECT_EQ(f["bits"], want[i].bits) << f;
  }
  EXPECT_EQ(j["files"][0]["name"], Fixture("rgba8.png"));
  EXPECT_EQ(j["files"][6]["readable"], false);
  EXPECT_EQ(j["files"][6]["problem"],
            "a BMP with 4 bits per pixel (the library reads 8, 24 and 32 bits)");
  EXPECT_EQ(j["files"][7]["problem"], "not a BMP, PNG, KCI or JPEG file");

  // The same as lines.
  const tool_run::Result lines = Tool("info " + Quote(Fixture("rgba8.png")) + " " +
                                      Quote(dir / "plain.kci"));
  EXPECT_EQ(lines.status, 0);
  EXPECT_EQ(lines.out, Fixture("rgba8.png") + ": PNG, 61 x 47, 32 bits\n" +
                           (dir / "plain.kci") + ": KCI plain, 61 x 47, 24 bits\n");
  // A file that cannot be opened: status 1, and JSON still valid.
  const tool_run::Result missing = Tool("info --json " + Quote(dir / "none.png"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(nlohmann::json::parse(missing.out)["files"][0]["problem"],
            "cannot open the file");
}

TEST(KestrelImageTest, InfoJsonStaysValidForAnyName) {
  Scratch dir("kimage");
  // Control characters in a name are shown escaped, and the JSON stays
  // valid (a name cp932 cannot hold is refused before, as a wrong command
  // line).
  const std::string odd = dir / "a\x1b[2Kb.png";
  fs::copy_file(Fixture("rgb8.png"), odd);
  const tool_run::Result r = Tool("info --json " + Quote(odd));
  EXPECT_EQ(r.status, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["files"][0]["name"], (dir / "a") + "\\x1b[2Kb.png");
}

TEST(KestrelImageTest, BatchIntoADirectory) {
  Scratch dir("kimage");
  const std::string out = dir / "out";
  const tool_run::Result r =
      Tool("convert " + Quote(Fixture("rgba8.png")) + " " + Quote(Fixture("rgb24.bmp")) +
           " " + Quote(Fixture("baseline.jpg")) + " -d " + Quote(out) + " --to kci");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Names(out), (std::vector<std::string>{"baseline.kci", "rgb24.kci", "rgba8.kci"}));
  EXPECT_NE(r.out.find("3 converted, 0 failed"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\r'), std::string::npos);  // no progress bar off a terminal
  ASSERT_EQ(Tool("convert " + Quote(out + "/rgba8.kci") + " " + Quote(dir / "back.png")).status, 0);
  EXPECT_TRUE(Decode(dir / "back.png").rgba == Decode(Fixture("rgba8.png")).rgba);

  // One bad input: the others are still converted; status 3.
  tool_run::Write(dir / "bad.png", "nope");
  const tool_run::Result mixed = Tool("convert " + Quote(dir / "bad.png") + " " +
                                      Quote(Fixture("grey8.png")) + " -d " +
                                      Quote(dir / "mixed") + " --to png");
  EXPECT_EQ(mixed.status, 3);
  EXPECT_EQ(Names(dir / "mixed"), std::vector<std::string>{"grey8.png"});
  EXPECT_NE(mixed.out.find("1 converted, 1 failed"), std::string::npos) << mixed.out;

  // Command lines that cannot work.
  struct Case {
    std::string args;
    const char* message;
  } cases[] = {
      {"convert " + Quote(Fixture("rgb8.png")) + " -d " + Quote(out), "-d needs --to"},
      {"convert " + Quote(Fixture("palette8.png")) + " " + Quote(Fixture("palette8.bmp")) +
           " -d " + Quote(out) + " --to png", "would both be written to"},
      {"convert " + Quote(Fixture("rgb8.png")) + " " + Quote(dir / "x.gif"),
       "cannot tell the format"},
      {"convert " + Quote(Fixture("rgb8.png")), "needs IN and OUT"},
      {"convert a b c", "more than IN and OUT"},
      {"convert a b --to gif", "--to"},
  };
  for (const Case& c : cases) {
    const tool_run::Result u = Tool(c.args);
    EXPECT_EQ(u.status, 2) << c.args;
    EXPECT_NE(u.err.find(c.message), std::string::npos) << u.err;
  }
}

}  // namespace
