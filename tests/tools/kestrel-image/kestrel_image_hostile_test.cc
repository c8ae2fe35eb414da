// kestrel-image on hostile files (tests/image/hostile_files.h): each is
// refused, or decoded, within a stated bound on the process's peak memory,
// never aborts, and leaves no temporary file behind; running out of memory
// is status 1; an output path too long to be made is refused, not cut.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hostile_files.h"
#include "tool_run.h"

namespace {

namespace fs = std::filesystem;
using tool_run::Scratch;

#if defined(__SANITIZE_ADDRESS__)
#define KESTREL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTREL_ASAN 1
#endif
#endif
#ifdef KESTREL_ASAN
// The sanitizer's shadow memory and quarantine say nothing of the tool's.
constexpr bool kMeasuresMemory = false;
#else
constexpr bool kMeasuresMemory = true;
#endif

constexpr long kMiB = 1024;  // ru_maxrss counts KiB

struct Measured {
  int status = -1;      // exit status, or 128 + signal
  long peak_kib = 0;    // the process's peak resident memory
  std::string err;
};

// Runs the tool with `args` in `cwd`, measuring that one process; with
// `address_space_kib`, under that limit of address space.
Measured RunTool(const std::vector<std::string>& args, const std::string& cwd,
                 long address_space_kib = 0) {
  const std::string err_path = cwd + "/.stderr";
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(120);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(err, 2);
    if (address_space_kib > 0) {
      rlimit limit{};
      limit.rlim_cur = limit.rlim_max = rlim_t(address_space_kib) * 1024;
      setrlimit(RLIMIT_AS, &limit);
    }
    std::vector<char*> argv;
    std::string exe = KESTREL_IMAGE_EXE;
    argv.push_back(exe.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(121);
  }
  Measured m;
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return m;
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  m.peak_kib = usage.ru_maxrss;
  std::ifstream in(err_path);
  std::stringstream s;
  s << in.rdbuf();
  m.err = s.str();
  fs::remove(err_path);
  return m;
}

// Every file name in `dir` but the inputs.
std::vector<std::string> Outputs(const std::string& dir,
                                 const std::vector<std::string>& inputs) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    bool input = false;
    for (const std::string& i : inputs) input = input || name == i;
    if (!input && e.is_regular_file()) names.push_back(name);
  }
  return names;
}

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(KestrelImageHostileTest, RefusedWithinAMemoryBoundLeavingNothing) {
  Scratch dir("kimage-hostile");
  const std::string png_32767 = image_testing::ZeroPng(32767, 32767, 1, 0);
  std::string kci_32767 = png_32767;
  kci_32767.replace(0, 8, "\x4B\x43\x49\x88\x99\xAA\xBB\xCC", 8);
  // Refused before anything the size of the picture is allocated, but for
  // the progressive file, whose scans libjpeg gathers (two bytes a pixel,
  // less than the picture) until there are too many.
  const long small = 64 * kMiB;
  const long picture_8192 = 8192L * 8192 * 3 / 1024;
  struct Case {
    const char* name;
    std::string bytes;
    long bound;
  } cases[] = {
      {"huge-baseline.jpg", image_testing::BaselineJpeg(37837, 37837), small},
      {"many-scans.jpg", image_testing::ProgressiveJpeg(8192, 8192, 2000),
       picture_8192},
      {"one-bit.png", png_32767, small},
      {"one-bit.kci", kci_32767, small},
      {"one-bit-16000.png", image_testing::ZeroPng(16000, 16000, 1, 0), small},
  };
  std::vector<std::string> inputs;
  for (const Case& c : cases) {
    Write(dir / c.name, c.bytes);
    inputs.push_back(c.name);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"convert", c.name, "out.bmp"},
          std::vector<std::string>{"convert", c.name, "out.png"},
          std::vector<std::string>{"info", "--decode", c.name}}) {
      SCOPED_TRACE(args[0] + " " + args[args.size() - 1]);
      const Measured m = RunTool(args, dir.path.string());
      EXPECT_EQ(m.status, 3) << m.err;
      if (kMeasuresMemory) {
        EXPECT_LT(m.peak_kib, c.bound);
      }
      EXPECT_EQ(m.err.find("terminate"), std::string::npos) << m.err;
      EXPECT_TRUE(Outputs(dir.path.string(), inputs).empty());
    }
  }
  // Without --decode info reads the headers: the three beyond the pixel
  // limit say so, the other two show their size.
  const Measured m = RunTool({"info", "huge-baseline.jpg", "many-scans.jpg"},
                             dir.path.string());
  EXPECT_EQ(m.status, 3);
}

TEST(KestrelImageHostileTest, InfoTellsThePixelLimitAndItsOption) {
  Scratch dir("kimage-hostile");
  Write(dir / "huge.jpg", image_testing::BaselineJpeg(37837, 37837));
  Write(dir / "wide.jpg", image_testing::BaselineJpeg(20000, 8));
  tool_run::Result r = tool_run::Run(KESTREL_IMAGE_EXE, "info huge.jpg wide.jpg",
                                     dir.path.string());
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.out.find("huge.jpg: a 37837 x 37837 picture, more than the limit "
                       "of 268435456 pixels (--max-pixels raises it)"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("wide.jpg: JPEG, 20000 x 8, 24 bits"), std::string::npos)
      << r.out;
  r = tool_run::Run(KESTREL_IMAGE_EXE, "info --max-pixels 159999 wide.jpg",
                    dir.path.string());
  EXPECT_EQ(r.status, 3);
  r = tool_run::Run(KESTREL_IMAGE_EXE, "convert --max-pixels 160000 wide.jpg w.png",
                    dir.path.string());
  EXPECT_EQ(r.status, 0) << r.err;
  r = tool_run::Run(KESTREL_IMAGE_EXE, "convert --max-pixels 159999 wide.jpg w2.png",
                    dir.path.string());
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_FALSE(fs::exists(dir / "w2.png"));
  r = tool_run::Run(KESTREL_IMAGE_EXE, "info --max-pixels 0 wide.jpg",
                    dir.path.string());
  EXPECT_EQ(r.status, 2);
}

// A flat picture decodes within its own size plus a margin: the BMP writer
// keeps no second copy of it.
TEST(KestrelImageHostileTest, DecodedWithinThePicturesSizeAndAMargin) {
  if (!kMeasuresMemory) GTEST_SKIP() << "memory is not the tool's under ASan";
  Scratch dir("kimage-hostile");
  Write(dir / "flat.png", image_testing::ZeroPng(4096, 4096, 8, 2));
  const long picture = 4096L * 4096 * 3 / 1024;  // KiB
  for (const char* out : {"flat.bmp", "flat.kci"}) {
    SCOPED_TRACE(out);
    const Measured m = RunTool({"convert", "flat.png", out}, dir.path.string());
    EXPECT_EQ(m.status, 0) << m.err;
    EXPECT_LT(m.peak_kib, picture + 24 * kMiB);
  }
}

TEST(KestrelImageHostileTest, RunningOutOfMemoryIsStatusOne) {
  if (!kMeasuresMemory) GTEST_SKIP() << "ASan needs more address space";
  Scratch dir("kimage-hostile");
  // 192 MiB of RGB pixels, a valid file of 200 KB.
  Write(dir / "big.png", image_testing::ZeroPng(8192, 8192, 8, 2));
  for (const char* out : {"big.bmp", "big.png2"}) {
    const Measured m = RunTool({"convert", "big.png", out, "--to", "bmp"},
                               dir.path.string(), 160 * kMiB);
    EXPECT_EQ(m.status, 1) << m.err;
    EXPECT_NE(m.err.find("big.png: not enough memory to read it"),
              std::string::npos)
        << m.err;
    EXPECT_TRUE(Outputs(dir.path.string(), {"big.png"}).empty());
  }
  const Measured info = RunTool({"info", "--decode", "big.png"},
                                dir.path.string(), 160 * kMiB);
  EXPECT_EQ(info.status, 1);
}

TEST(KestrelImageHostileTest, LongOutputPathsAreRefusedNotCut) {
  Scratch dir("kimage-hostile");
  const std::string long_name = std::string(26, 'n') + ".png";
  Write(dir / "a.png", image_testing::ZeroPng(4, 4, 8, 2));
  Write(dir / long_name, image_testing::ZeroPng(4, 4, 8, 2));
  // DIR of 240 bytes: DIR/a.png and its temporary file fit in 263 bytes,
  // DIR/nnn...n.png (271) does not.
  const std::string base = dir.path.string() + "/";
  const std::string long_dir = base + std::string(240 - base.size(), 'd');
  fs::create_directories(long_dir);
  const tool_run::Result r = tool_run::Run(
      KESTREL_IMAGE_EXE,
      "convert a.png " + long_name + " -d " + tool_run::Quote(long_dir) + " --to png",
      dir.path.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("/" + long_name + ": the output path is longer than 263 bytes"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("1 converted, 1 failed"), std::string::npos) << r.out;
  // Only a.png was written, in DIR; nothing under a cut name anywhere
  // (the files besides the long input: a.png and DIR/a.png).
  EXPECT_TRUE(fs::exists(long_dir + "/a.png"));
  EXPECT_EQ(Outputs(dir.path.string(), {long_name}),
            (std::vector<std::string>{"a.png", "a.png"}));
}

}  // namespace
