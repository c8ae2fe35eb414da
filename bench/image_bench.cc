// Data generators and timed runs for bench/run-image-bench: the image
// library against libpng's and libjpeg-turbo's own ways of doing the same.
//
//   image_bench make-png OUT W H     RGBA PNG of a synthetic picture (level 6)
//   image_bench make-jpeg OUT W H    baseline JPEG of the same picture (q 90)
//   image_bench load FILE            KimgLoad (BMP, PNG, KCI, JPEG)
//   image_bench png-simplified FILE  libpng's simplified API, to RGBA in memory
//   image_bench jpeg-turbo FILE      libjpeg-turbo's decode to RGB, its defaults
//   image_bench save-png IN OUT      KimgWritePNG of IN as KimgLoad loads it
//   image_bench save-kci IN OUT      KimgWriteKCI of the same
//   image_bench save-bmp IN OUT      KimgWriteBitmap of the same
//   image_bench libpng-write IN OUT  libpng writing the same rows: RGBA, zlib
//                                    level 9, its default filters, stdio
// The timed modes print the wall-clock and the processor seconds of the
// timed part and the process's peak resident memory on stdout,
// "WALL CPU PEAK_KIB" (loading the input of a save is not timed).
#include <png.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "foundation/kfile.h"
#include "image/kimage.h"
#include "image/kimagefile.h"

namespace {

double Now() {
  return std::chrono::duration<double>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Processor seconds used by this process so far.
double Cpu() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

double cpu_start = 0;  // Cpu() when the timed part began

// The process's peak resident set in KiB (Linux: VmHWM), or -1.
long PeakKib() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long kib = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
  std::fclose(f);
  return kib;
}

// Starts the timed part; returns its wall-clock start.
double Start() {
  cpu_start = Cpu();
  return Now();
}

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "image_bench: %s\n", what.c_str());
  std::exit(1);
}

// A picture with what real ones have: smooth areas, edges, some noise, and
// an alpha channel that is mostly opaque.
std::vector<unsigned char> Picture(unsigned w, unsigned h) {
  std::vector<unsigned char> rgba(std::size_t{w} * h * 4);
  unsigned seed = 12345;
  for (unsigned y = 0; y < h; ++y)
    for (unsigned x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) & 7) - 4;
      unsigned char* p = &rgba[(std::size_t{y} * w + x) * 4];
      const bool block = ((x / 97) + (y / 61)) % 3 == 0;
      auto clamp = [](int v) {
        return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
      };
      p[0] = clamp((block ? 200 : x * 255 / w) + noise);
      p[1] = clamp(y * 255 / h + noise);
      p[2] = clamp(((x ^ y) & 0x3F) * 2 + 60 + noise);
      p[3] = (x + y) % 512 < 480 ? 255 : static_cast<unsigned char>((x * 3) & 0xFF);
    }
  return rgba;
}

void MakePng(const char* out, unsigned w, unsigned h) {
  std::vector<unsigned char> rgba = Picture(w, h);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = w;
  image.height = h;
  image.format = PNG_FORMAT_RGBA;
  if (!png_image_write_to_file(&image, out, 0, rgba.data(), 0, nullptr))
    Die(std::string("writing ") + out + ": " + image.message);
}

void MakeJpeg(const char* out, unsigned w, unsigned h) {
  std::vector<unsigned char> rgba = Picture(w, h);
  std::vector<unsigned char> rgb(std::size_t{w} * h * 3);
  for (std::size_t i = 0, j = 0; i < rgba.size(); i += 4, j += 3)
    std::memcpy(&rgb[j], &rgba[i], 3);
  FILE* f = std::fopen(out, "wb");
  if (!f) Die(std::string("cannot write ") + out);
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = &rgb[std::size_t{cinfo.next_scanline} * w * 3];
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(f);
}

void LoadInto(const char* path, zorl::KImage& image) {
  zorl::KFile file;
  if (!file.Open(zorl::KFILE_READ, path) || !zorl::KimgLoad(file, image))
    Die(std::string("cannot load ") + path);
}

double TimeLoad(const char* path) {
  const double start = Start();
  zorl::KImage image;
  LoadInto(path, image);
  return Now() - start;
}

double TimePngSimplified(const char* path) {
  const double start = Start();
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path)) Die(image.message);
  image.format = PNG_FORMAT_RGBA;
  std::vector<unsigned char> buffer(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr))
    Die(image.message);
  return Now() - start;
}

double TimeJpegTurbo(const char* path) {
  const double start = Start();
  FILE* f = std::fopen(path, "rb");
  if (!f) Die(std::string("cannot read ") + path);
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const std::size_t row = std::size_t{cinfo.output_width} * 3;
  std::vector<unsigned char> buffer(row * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW p = &buffer[cinfo.output_scanline * row];
    jpeg_read_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(f);
  return Now() - start;
}

double TimeSave(const char* in, const char* out, char kind) {
  zorl::KImage image;
  LoadInto(in, image);
  const double start = Start();
  zorl::KFile file;
  if (!file.Open(15, out)) Die(std::string("cannot write ") + out);
  const bool ok = kind == 'p'   ? zorl::KimgWritePNG(file, image, true)
                  : kind == 'k' ? zorl::KimgWriteKCI(file, image, true)
                                : zorl::KimgWriteBitmap(file, image);
  file.Close();
  if (!ok) Die(std::string("cannot save ") + out);
  return Now() - start;
}

double TimeLibpngWrite(const char* in, const char* out) {
  zorl::KImage image;
  LoadInto(in, image);
  if (image.Format() != zorl::KIMG_RGBA) Die("libpng-write wants an RGBA picture");
  const double start = Start();
  FILE* f = std::fopen(out, "wb");
  if (!f) Die(std::string("cannot write ") + out);
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) Die("libpng failed");
  png_init_io(png, f);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, image.Width(), image.Height(), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (unsigned y = 0; y < image.Height(); ++y)
    png_write_row(png, image.PixelAddress(0, y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
  return Now() - start;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  double seconds = -1;
  if (mode == "make-png" && argc == 5) {
    MakePng(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  } else if (mode == "make-jpeg" && argc == 5) {
    MakeJpeg(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  } else if (mode == "load" && argc == 3) {
    seconds = TimeLoad(argv[2]);
  } else if (mode == "png-simplified" && argc == 3) {
    seconds = TimePngSimplified(argv[2]);
  } else if (mode == "jpeg-turbo" && argc == 3) {
    seconds = TimeJpegTurbo(argv[2]);
  } else if (mode == "save-png" && argc == 4) {
    seconds = TimeSave(argv[2], argv[3], 'p');
  } else if (mode == "save-kci" && argc == 4) {
    seconds = TimeSave(argv[2], argv[3], 'k');
  } else if (mode == "save-bmp" && argc == 4) {
    seconds = TimeSave(argv[2], argv[3], 'b');
  } else if (mode == "libpng-write" && argc == 4) {
    seconds = TimeLibpngWrite(argv[2], argv[3]);
  } else {
    std::fprintf(stderr, "usage: see the head of bench/image_bench.cc\n");
    return 2;
  }
  if (seconds >= 0)
    std::printf("%.4f %.4f %ld\n", seconds, Cpu() - cpu_start, PeakKib());
  return 0;
}
