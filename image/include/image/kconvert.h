// Pixel conversion between the image formats (see kimage.h).
#ifndef IMAGE_KCONVERT_H_
#define IMAGE_KCONVERT_H_

#include "image/kimage.h"

namespace zorl {

// Converts the rectangle (x, y, width, height) of `source` into `dest`,
// its top-left pixel landing at (dest_x, dest_y), from the source's format
// into the destination's. The rectangle is clipped to both images first
// (negative positions included). Works for any pair of formats and either
// storage order; source and destination may not be the same image.
//
// Each pixel goes through 8-bit R, G, B, A: narrower samples widen by bit
// replication (5 bits 0x10 -> 0x84), wider ones narrow to the nearest level
// (0x84 -> 5 bits 0x10); a format without alpha reads as alpha 255 and
// 1-bit alpha is set from 128 up; Y, Cb, Cr use the JFIF coefficients
// scaled by 128 (ktables.h).
//   RGBA (10, 20, 30, 40) -> BGR        30, 20, 10
//   RGB  (255, 0, 0)      -> RGB565     word 0xF800
//   RGB  (255, 0, 0)      -> Y, Cb, Cr  76, 84, 255
// Returns false when either image is empty or nothing is left to convert.
bool KConvertRect(const KImage& source, int x, int y, int width, int height,
                  KImage& dest, int dest_x, int dest_y);

// Converts the whole of `source` into `dest` at (0, 0).
bool KConvertImage(const KImage& source, KImage& dest);

}  // namespace zorl

#endif  // IMAGE_KCONVERT_H_
