// Lookup tables of the image library, built once at start-up.
//
// Each table is also built on first use, so code that never called the
// start-up functions (tools, tests) still gets right answers; the start-up
// functions only move that work to a known moment.
#ifndef IMAGE_KTABLES_H_
#define IMAGE_KTABLES_H_

#include <cstdint>

namespace zorl {

// Builds the sine and square-root tables.
void KInitMathTables();

// Builds the colour-conversion tables (bit-depth expansion and reduction,
// luminance/chrominance products).
void KInitColorTables();

// Sine of `step` / 4096 of a full turn, in 16.16 fixed point (any step;
// the turn repeats).  KSin(0) -> 0, KSin(1024) -> 65536, KSin(3072) -> -65536
std::int32_t KSin(std::uint32_t step);
// Cosine, as KSin a quarter turn later.  KCos(0) -> 65536
std::int32_t KCos(std::uint32_t step);
// Square root of v (0..65535) in 8.8 fixed point, rounded down; larger
// values answer for 65535.  KSqrt(4) -> 512, KSqrt(2) -> 362
std::uint32_t KSqrt(std::uint32_t v);

// The colour-conversion tables used by the pixel converters.
struct KColorTables {
  // n-bit sample -> 8 bits by bit replication (0 -> 0, max -> 255).
  std::uint8_t expand4[16];
  std::uint8_t expand5[32];
  std::uint8_t expand6[64];
  // 8-bit sample -> n bits, rounded to the nearest level.
  std::uint8_t reduce4[256];
  std::uint8_t reduce5[256];
  std::uint8_t reduce6[256];
  // R, G, B -> Y, Cb, Cr (JFIF coefficients scaled by 128):
  //   Y  = ( 38 R + 75 G + 15 B + 64) >> 7
  //   Cb = (-22 R - 42 G + 64 B + 64) >> 7, + 128
  //   Cr = ( 64 R - 54 G - 10 B + 64) >> 7, + 128
  // each product tabled per input byte.
  std::int32_t y_r[256], y_g[256], y_b[256];
  std::int32_t cb_r[256], cb_g[256], cr_g[256], cr_b[256];
  // Y, Cb, Cr -> R, G, B (1.402, 0.344136, 0.714136 and 1.772 scaled by
  // 128; >> 7 rounds down, each result clamped to 0..255):
  //   R = Y + ((179 (Cr-128) + 64) >> 7)          r_cr: the whole term
  //   G = Y - ((44 (Cb-128) + 91 (Cr-128) + 64) >> 7)   g_cb, g_cr: products
  //   B = Y + ((227 (Cb-128) + 64) >> 7)          b_cb: the whole term
  std::int32_t r_cr[256], g_cb[256], g_cr[256], b_cb[256];
};

// The colour tables (built on the first call).
const KColorTables& KGetColorTables();

}  // namespace zorl

#endif  // IMAGE_KTABLES_H_
