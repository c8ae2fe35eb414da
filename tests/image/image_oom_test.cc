// Running out of memory inside the readers and writers: a clean failure
// with the call's log line, never an exception. This program replaces the
// global allocator with one that refuses any single request above a size
// the test sets, as an exhausted heap would.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "foundation/kexcept.h"
#include "foundation/kfile.h"
#include "hostile_files.h"
#include "image/kimagefile.h"
#include "image_test_util.h"
#include "support/temp_dir.h"

namespace {
std::atomic<std::size_t> refuse_above{~std::size_t{0}};
}  // namespace

// The pair below allocates with malloc and frees with free.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
  if (size > refuse_above.load()) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace zorl {
namespace {

using image_testing::LogCapture;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// Refuses allocations above `bytes` while it lives.
class AllocationCap {
 public:
  explicit AllocationCap(std::size_t bytes) { refuse_above.store(bytes); }
  ~AllocationCap() { refuse_above.store(~std::size_t{0}); }
};

class ImageOomTest : public ::testing::Test {
 protected:
  TempDir dir_{"imageoom"};
};

TEST_F(ImageOomTest, ExceptionsNeverLeaveALoad) {
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"BMP", image_testing::Bmp8(1000, 1000)},
      {"PNG", image_testing::ZeroPng(1000, 1000, 8, 0)},
      {"JPEG", image_testing::BaselineJpeg(1000, 1000)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_ / "picture";
    ASSERT_TRUE(WriteFileBytes(path, c.bytes));
    KFile file;
    ASSERT_TRUE(file.Open(KFILE_READ, path.c_str()));
    {
      KImage loads;
      ASSERT_TRUE(KimgLoad(file, loads));  // with memory enough
      EXPECT_FALSE(KimgOutOfMemory());
    }
    LogCapture log(dir_ / "log.txt");
    KImage image;
    bool loaded = true;
    {
      AllocationCap cap(1 << 20);  // the picture needs 3 or 4 MB
      EXPECT_NO_THROW(loaded = KimgLoad(file, image));
    }
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(KimgOutOfMemory());
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(log.Text(), "[KimgLoad] \"" + path + "\": Load Error\n");
  }
}

TEST_F(ImageOomTest, ExceptionsNeverLeaveAWrite) {
  KImage image;
  ASSERT_TRUE(image.Create(300, 200, KIMG_RGBA));
  image_testing::FillPattern(image);
  struct Case {
    const char* head;
    bool (*write)(KFile&, const KImage&);
  } cases[] = {
      {"[KimgWriteBitmap]",
       [](KFile& f, const KImage& i) { return KimgWriteBitmap(f, i); }},
      {"[KimgWritePNG]",
       [](KFile& f, const KImage& i) { return KimgWritePNG(f, i, true); }},
      {"[KimgWriteKCI]",
       [](KFile& f, const KImage& i) { return KimgWriteKCI(f, i, true); }},
  };
  for (const Case& c : cases) {
    for (bool throw_mode : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.head << " throw mode " << throw_mode);
      const std::string path = dir_ / "out";
      KFile file;
      ASSERT_TRUE(file.Open(KFILE_READ | KFILE_WRITE | KFILE_CREATE | KFILE_NEW,
                            path.c_str()));
      file.SetThrowMode(throw_mode);
      LogCapture log(dir_ / "log.txt");
      bool written = true;
      {
        AllocationCap cap(512);  // less than one row
        EXPECT_NO_THROW(written = c.write(file, image));
      }
      EXPECT_FALSE(written);
      EXPECT_TRUE(KimgOutOfMemory());
      EXPECT_EQ(file.GetThrowMode(), throw_mode);
      EXPECT_EQ(log.Text(),
                std::string(c.head) + " \"" + path + "\": Write Error\n");
    }
  }
}

}  // namespace
}  // namespace zorl
