#include "hostile_files.h"

#include <zlib.h>

#include <vector>

namespace image_testing {

namespace {

void Put16Be(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v >> 8);
  s += static_cast<char>(v);
}

void Put32Be(std::string& s, std::uint32_t v) {
  Put16Be(s, v >> 16);
  Put16Be(s, v);
}

void Put32Le(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
}

// A JPEG marker segment: FF code, length, body.
void Segment(std::string& s, unsigned char code, const std::string& body) {
  s += '\xFF';
  s += static_cast<char>(code);
  Put16Be(s, static_cast<std::uint32_t>(body.size() + 2));
  s += body;
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

// SOI, a flat quantisation table and a one-component frame header.
std::string JpegHead(unsigned char frame, std::uint16_t width,
                     std::uint16_t height) {
  std::string s = Bytes({0xFF, 0xD8});
  Segment(s, 0xDB, Bytes({0}) + std::string(64, '\x01'));
  std::string sof = Bytes({8});
  Put16Be(sof, height);
  Put16Be(sof, width);
  sof += Bytes({1, 1, 0x11, 0});
  Segment(s, frame, sof);
  return s;
}

// A Huffman table of one symbol with the one-bit code 0.
std::string OneSymbolTable(int table_class, int symbol) {
  std::string body = Bytes({table_class << 4, 1});
  body += std::string(15, '\0');
  body += static_cast<char>(symbol);
  return body;
}

// Entropy-coded bits, with the 00 stuffed after every FF byte.
class BitWriter {
 public:
  void Put(std::uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
      byte_ = static_cast<unsigned char>((byte_ << 1) | ((bits >> i) & 1));
      if (++filled_ == 8) Flush();
    }
  }
  std::string Finish() {
    while (filled_ != 0) Put(1, 1);  // pad with ones
    return out_;
  }

 private:
  void Flush() {
    out_ += static_cast<char>(byte_);
    if (byte_ == 0xFF) out_ += '\0';
    byte_ = 0;
    filled_ = 0;
  }
  std::string out_;
  unsigned char byte_ = 0;
  int filled_ = 0;
};

void PngChunk(std::string& s, const char* type, const std::string& data) {
  Put32Be(s, static_cast<std::uint32_t>(data.size()));
  std::string typed = std::string(type, 4) + data;
  s += typed;
  Put32Be(s, static_cast<std::uint32_t>(
                 crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
                       static_cast<uInt>(typed.size()))));
}

}  // namespace

std::string BaselineJpeg(std::uint16_t width, std::uint16_t height) {
  std::string s = JpegHead(0xC0, width, height);
  // DC: one symbol, difference category 0; AC: one symbol, end of block.
  Segment(s, 0xC4, OneSymbolTable(0, 0));
  Segment(s, 0xC4, OneSymbolTable(1, 0));
  Segment(s, 0xDA, Bytes({1, 1, 0x00, 0, 63, 0}));
  s += std::string(16, '\0');  // a few blocks; the rest is missing
  return s + Bytes({0xFF, 0xD9});
}

std::string ProgressiveJpeg(std::uint16_t width, std::uint16_t height,
                            int scans) {
  std::string s = JpegHead(0xC2, width, height);
  // The one AC symbol: a run of 2^14 + (14 more bits) empty blocks.
  Segment(s, 0xC4, OneSymbolTable(1, 0xE0));
  const std::uint64_t blocks =
      std::uint64_t{(width + 7u) / 8u} * ((height + 7u) / 8u);
  BitWriter bits;
  for (std::uint64_t done = 0; done < blocks; done += 32767) {
    bits.Put(0, 1);           // the symbol
    bits.Put(0x3FFF, 14);     // 2^14 + 16383 = 32767 blocks
  }
  const std::string scan_data = bits.Finish();
  for (int i = 0; i < scans; ++i) {
    // Component 1, table 0 for AC; coefficients 1..63, first pass.
    Segment(s, 0xDA, Bytes({1, 1, 0x00, 1, 63, 0}));
    s += scan_data;
  }
  return s + Bytes({0xFF, 0xD9});
}

std::string ZeroPng(std::uint32_t width, std::uint32_t height, int bit_depth,
                    int color_type, bool kci, std::uint32_t rows) {
  std::string s = kci ? Bytes({0x4B, 0x43, 0x49, 0x88, 0x99, 0xAA, 0xBB, 0xCC})
                      : Bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
  std::string ihdr;
  Put32Be(ihdr, width);
  Put32Be(ihdr, height);
  ihdr += Bytes({bit_depth, color_type, 0, 0, 0});
  PngChunk(s, "IHDR", ihdr);

  const int channels = color_type == 2 ? 3 : color_type == 4 ? 2
                       : color_type == 6 ? 4 : 1;
  const std::uint64_t row_bytes =
      1 + (std::uint64_t{width} * channels * bit_depth + 7) / 8;
  const std::uint64_t total = row_bytes * (rows < height ? rows : height);
  // Deflate the zero rows a block at a time.
  z_stream z{};
  deflateInit(&z, 9);
  std::vector<unsigned char> zeros(1 << 20, 0);
  std::vector<unsigned char> out(1 << 16);
  std::string compressed;
  std::uint64_t left = total;
  int flush = Z_NO_FLUSH;
  do {
    const uInt n = static_cast<uInt>(left < zeros.size() ? left : zeros.size());
    left -= n;
    flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = zeros.data();
    z.avail_in = n;
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      deflate(&z, flush);
      compressed.append(reinterpret_cast<char*>(out.data()),
                        out.size() - z.avail_out);
    } while (z.avail_out == 0);
  } while (flush != Z_FINISH);
  deflateEnd(&z);
  PngChunk(s, "IDAT", compressed);
  PngChunk(s, "IEND", "");
  return s;
}

std::string Bmp8(std::uint32_t width, std::uint32_t height) {
  const std::uint32_t row = (width + 3) & ~3u;
  const std::uint32_t offset = 14 + 40 + 256 * 4;
  std::string s = "BM";
  Put32Le(s, offset + row * height);
  Put32Le(s, 0);
  Put32Le(s, offset);
  Put32Le(s, 40);
  Put32Le(s, width);
  Put32Le(s, height);
  s += Bytes({1, 0, 8, 0});
  for (int i = 0; i < 6; ++i) Put32Le(s, 0);
  for (int i = 0; i < 256; ++i) s += Bytes({i, i, i, 0});
  s.append(std::size_t{row} * height, '\0');
  return s;
}

}  // namespace image_testing
