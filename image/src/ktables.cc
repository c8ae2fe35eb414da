#include "image/ktables.h"

#include <cmath>

namespace zorl {

namespace {

constexpr std::uint32_t kSineSteps = 4096;  // per full turn
constexpr std::uint32_t kSqrtSize = 65536;

struct MathTables {
  std::int32_t sine[kSineSteps];
  std::uint16_t sqrt[kSqrtSize];

  MathTables() {
    const double turn = 2.0 * 3.14159265358979323846;
    for (std::uint32_t i = 0; i < kSineSteps; ++i)
      sine[i] = static_cast<std::int32_t>(
          std::lround(std::sin(turn * i / kSineSteps) * 65536.0));
    // floor(sqrt(v) * 256) = the largest r with r * r <= v * 65536.
    std::uint32_t r = 0;
    for (std::uint32_t v = 0; v < kSqrtSize; ++v) {
      const std::uint64_t scaled = std::uint64_t{v} << 16;
      while (std::uint64_t{r + 1} * (r + 1) <= scaled) ++r;
      sqrt[v] = static_cast<std::uint16_t>(r);
    }
  }
};

const MathTables& GetMathTables() {
  static const MathTables tables;
  return tables;
}

// floor(a / 128) for any sign.
std::int32_t FloorDiv128(std::int32_t a) {
  return a >= 0 ? a / 128 : -((-a + 127) / 128);
}

KColorTables BuildColorTables() {
  KColorTables table{};
  KColorTables* t = &table;
  for (int v = 0; v < 16; ++v) t->expand4[v] = static_cast<std::uint8_t>(v * 17);
  for (int v = 0; v < 32; ++v)
    t->expand5[v] = static_cast<std::uint8_t>((v << 3) | (v >> 2));
  for (int v = 0; v < 64; ++v)
    t->expand6[v] = static_cast<std::uint8_t>((v << 2) | (v >> 4));
  for (int v = 0; v < 256; ++v) {
    t->reduce4[v] = static_cast<std::uint8_t>((v * 15 + 127) / 255);
    t->reduce5[v] = static_cast<std::uint8_t>((v * 31 + 127) / 255);
    t->reduce6[v] = static_cast<std::uint8_t>((v * 63 + 127) / 255);
    t->y_r[v] = 38 * v;
    t->y_g[v] = 75 * v;
    t->y_b[v] = 15 * v;
    t->cb_r[v] = -22 * v;
    t->cb_g[v] = -42 * v;
    t->cr_g[v] = -54 * v;
    t->cr_b[v] = -10 * v;
    const int c = v - 128;
    t->r_cr[v] = FloorDiv128(179 * c + 64);
    t->g_cb[v] = 44 * c;
    t->g_cr[v] = 91 * c;
    t->b_cb[v] = FloorDiv128(227 * c + 64);
  }
  return table;
}

}  // namespace

void KInitMathTables() { GetMathTables(); }

void KInitColorTables() { KGetColorTables(); }

const KColorTables& KGetColorTables() {
  static const KColorTables tables = BuildColorTables();
  return tables;
}

std::int32_t KSin(std::uint32_t step) {
  return GetMathTables().sine[step % kSineSteps];
}

std::int32_t KCos(std::uint32_t step) {
  return GetMathTables().sine[(step + kSineSteps / 4) % kSineSteps];
}

std::uint32_t KSqrt(std::uint32_t v) {
  return GetMathTables().sqrt[v < kSqrtSize ? v : kSqrtSize - 1];
}

}  // namespace zorl
