/* A small Susie image plug-in for the plug-in host's tests. One source,
 * built as several .spi files; the PLUGIN_* definition picks what this one
 * does (see tests/image/plugins/CMakeLists.txt).
 *
 * Every accepting plug-in decodes to a 4 x 3 picture whose first row
 * reports what it was given:
 *   (0, 0)  (plug-in id, 0, 0)
 *   (1, 0)  the data length, low byte first
 *   (2, 0)  the first three data bytes
 *   (3, 0)  the sum of the 4096 head bytes the last accepting IsSupported
 *           call saw, low byte first
 * and whose rows 1 and 2 hold (40 x, 60 y, 100 + id).
 */
#include <windows.h>

#include <string.h>

#define EXPORT __declspec(dllexport)

#ifndef PLUGIN_ID
#define PLUGIN_ID 1
#endif
#ifndef PLUGIN_MAGIC
#define PLUGIN_MAGIC "KT0!"
#endif

static unsigned long head_sum;
static const unsigned char* last_head;

static void Colour(int x, int y, unsigned long length, const unsigned char* data,
                   unsigned char rgb[3]) {
  if (y > 0) {
    rgb[0] = (unsigned char)(40 * x);
    rgb[1] = (unsigned char)(60 * y);
    rgb[2] = (unsigned char)(100 + PLUGIN_ID);
    return;
  }
  switch (x) {
    case 0: rgb[0] = PLUGIN_ID; rgb[1] = 0; rgb[2] = 0; break;
    case 1: rgb[0] = (unsigned char)length; rgb[1] = (unsigned char)(length >> 8);
            rgb[2] = (unsigned char)(length >> 16); break;
    case 2: rgb[0] = length > 0 ? data[0] : 0; rgb[1] = length > 1 ? data[1] : 0;
            rgb[2] = length > 2 ? data[2] : 0; break;
    default: rgb[0] = (unsigned char)head_sum; rgb[1] = (unsigned char)(head_sum >> 8);
             rgb[2] = (unsigned char)(head_sum >> 16); break;
  }
}

#ifndef PLUGIN_NO_INFO
EXPORT int WINAPI GetPluginInfo(int number, LPSTR buffer, int size) {
  const char* text = number == 0 ? PLUGIN_VERSION : "Kestrel test plug-in";
  int n = (int)strlen(text);
  if (size <= 0) return 0;
  if (n >= size) n = size - 1;
  memcpy(buffer, text, n);
  buffer[n] = '\0';
#ifdef PLUGIN_INFO_RETURNS_ZERO
  return 0;
#else
  return n;
#endif
}
#endif

EXPORT int WINAPI IsSupported(LPCSTR name, void* head) {
  const unsigned char* p = (const unsigned char*)head;
  int accept = memcmp(p, PLUGIN_MAGIC, 4) == 0;
  (void)name;
#ifdef PLUGIN_SHORT_MAGIC
  /* The second call of one decode sees the first call's head + 128; data
   * too short to skip 128 bytes is accepted there by its own magic. */
  if (!accept && last_head && p == last_head + 128 &&
      memcmp(last_head, PLUGIN_SHORT_MAGIC, 4) == 0)
    accept = 1;
#endif
  last_head = p;
  if (accept) {
    unsigned long sum = 0;
    int i;
    for (i = 0; i < 4096; ++i) sum += p[i];
    head_sum = sum;
  }
  return accept;
}

EXPORT int WINAPI GetPictureInfo(LPCSTR buffer, LONG_PTR length, unsigned int flag,
                                 void* info) {
  (void)buffer; (void)length; (void)flag; (void)info;
  return 2;  /* not implemented: the host never asks */
}

#ifndef PLUGIN_NO_PICTURE
EXPORT int WINAPI GetPicture(LPCSTR buffer, LONG_PTR length, unsigned int flag,
                             HLOCAL* info_handle, HLOCAL* bits_handle,
                             void* progress, LONG_PTR user) {
  const unsigned char* data = (const unsigned char*)buffer;
  const int width = 4, height = 3;
  const int bits = PLUGIN_BITS;
  const int row = ((bits * width + 31) / 32) * 4;
  const int colours = bits == 8 ? 256 : 0;
  SIZE_T bits_size = (SIZE_T)row * height;
  unsigned char block[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)];
  SIZE_T info_size;
  BITMAPINFO* info;
  unsigned char* pixels;
  int x, y;
  (void)progress; (void)user;
  if (flag != 1) return 1;
#ifdef PLUGIN_FAILS
  return 1;
#endif
#ifdef PLUGIN_EXTRA_BITS
  bits_size += PLUGIN_EXTRA_BITS;
#endif
#ifdef PLUGIN_BITS_KEPT
  bits_size = PLUGIN_BITS_KEPT;
#endif
  /* The information block is made here and copied into a handle of
   * PLUGIN_INFO_SIZE bytes (cut short or with room to spare). */
  memset(block, 0, sizeof block);
  info = (BITMAPINFO*)block;
  info_size = sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD);
#ifdef PLUGIN_INFO_SIZE
  info_size = PLUGIN_INFO_SIZE;
#endif
  *info_handle = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, info_size);
  *bits_handle = LocalAlloc(LMEM_MOVEABLE, bits_size);
  if (!*info_handle || !*bits_handle) return 4;
  pixels = (unsigned char*)LocalLock(*bits_handle);
  memset(pixels, 0xAB, bits_size);  /* what lies beyond the rows shows */
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
#ifdef PLUGIN_HEADER_SIZE
  info->bmiHeader.biSize = PLUGIN_HEADER_SIZE;
#endif
  info->bmiHeader.biWidth = width;
#ifdef PLUGIN_WIDTH
  info->bmiHeader.biWidth = PLUGIN_WIDTH;
#endif
#ifdef PLUGIN_BOTTOM_UP
  info->bmiHeader.biHeight = height;
#else
  info->bmiHeader.biHeight = -height;
#endif
#ifdef PLUGIN_HEIGHT
  info->bmiHeader.biHeight = PLUGIN_HEIGHT;
#endif
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = (WORD)bits;
  info->bmiHeader.biCompression = BI_RGB;
  info->bmiHeader.biClrUsed = colours;
#ifdef PLUGIN_CLR_USED
  info->bmiHeader.biClrUsed = PLUGIN_CLR_USED;
#endif
  for (y = 0; y < height; ++y) {
#ifdef PLUGIN_BOTTOM_UP
    const int stored = height - 1 - y;
#else
    const int stored = y;
#endif
    for (x = 0; x < width; ++x) {
      unsigned char rgb[3];
      SIZE_T at = (SIZE_T)stored * row + (SIZE_T)x * (bits / 8);
      Colour(x, y, (unsigned long)length, data, rgb);
      if (at + bits / 8 > bits_size) continue;  /* a handle cut short */
      if (bits == 8) {
        /* palette entry i is pixel i's colour */
        RGBQUAD* entry = &info->bmiColors[y * width + x];
        entry->rgbRed = rgb[0];
        entry->rgbGreen = rgb[1];
        entry->rgbBlue = rgb[2];
        pixels[at] = (unsigned char)(y * width + x);
      } else {
        pixels[at] = rgb[2];
        pixels[at + 1] = rgb[1];
        pixels[at + 2] = rgb[0];
        if (bits == 32) pixels[at + 3] = 0;
      }
    }
  }
  memcpy(LocalLock(*info_handle), block,
         info_size < sizeof block ? info_size : sizeof block);
  LocalUnlock(*bits_handle);
  LocalUnlock(*info_handle);
  return 0;
}
#endif
