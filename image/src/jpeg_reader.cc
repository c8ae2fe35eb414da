// The JPEG reader and probe (libjpeg, through a source manager on the
// library's stream).
//
// libjpeg reports a fatal error through its error_exit routine, which here
// longjmps back to the setjmp of the step that called libjpeg. As for
// libpng (png_io.h), every such step and every callback keeps nothing with
// a destructor in its frame, and the stream's own exceptions are caught in
// the callbacks and turned into libjpeg errors.
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE

#include <jerror.h>
#include <jpeglib.h>

#include "image_io.h"

namespace zorl {
namespace image_io {

namespace {

constexpr std::uint32_t kInputBufferSize = 4096;

// libjpeg's whole-picture buffers (progressive and multi-scan files) may
// use this much plus kMemoryPerFileByte per byte of the file: far beyond
// what any real picture needs, while a tiny file claiming a huge picture
// fails cleanly instead of exhausting memory.
constexpr std::int64_t kMemoryBase = std::int64_t{256} << 20;
constexpr std::int64_t kMemoryPerFileByte = 256;
// libjpeg counts memory in a long, 32 bits on Windows.
constexpr std::int64_t kMemoryMax = 0x7FFFFFFF;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

// libjpeg's progress hook, which also bounds the work of a file: a scan
// may cost a pass over every block of its components while holding a few
// bytes, so a small file of many scans could take minutes. Refused: more
// than kKimgMaxJpegScans scans, or scans that visit more blocks than
// kVisitsPerBlock passes over the picture plus kVisitAllowance.
constexpr std::uint64_t kVisitsPerBlock = 32;
constexpr std::uint64_t kVisitAllowance = std::uint64_t{32} << 20;

struct Progress {
  jpeg_progress_mgr pub;
  int scan = 0;              // the last scan counted
  std::uint64_t visits = 0;  // blocks of the scans so far
  std::uint64_t budget = 0;  // 0 until the first scan
};

void OnProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  auto* p = reinterpret_cast<Progress*>(d->progress);
  if (d->input_scan_number == p->scan) return;
  p->scan = d->input_scan_number;
  if (p->scan > kKimgMaxJpegScans) ERREXIT(cinfo, JERR_NOTIMPL);
  if (p->budget == 0) {
    std::uint64_t blocks = 0;
    for (int c = 0; c < d->num_components; ++c)
      blocks += std::uint64_t{d->comp_info[c].width_in_blocks} *
                d->comp_info[c].height_in_blocks;
    p->budget = kVisitAllowance + kVisitsPerBlock * blocks;
  }
  for (int c = 0; c < d->comps_in_scan; ++c)
    p->visits += std::uint64_t{d->cur_comp_info[c]->width_in_blocks} *
                 d->cur_comp_info[c]->height_in_blocks;
  if (p->visits > p->budget) ERREXIT(cinfo, JERR_NOTIMPL);
}

struct StreamSource {
  jpeg_source_mgr pub;
  KFile* stream;
  JOCTET buffer[kInputBufferSize];
  bool start_of_file;
};

[[noreturn]] void OnFatalError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings and trace messages are dropped.
void OnMessage(j_common_ptr, int) {}

StreamSource* SourceOf(j_decompress_ptr cinfo) {
  return reinterpret_cast<StreamSource*>(cinfo->src);
}

void InitSource(j_decompress_ptr cinfo) {
  StreamSource* src = SourceOf(cinfo);
  src->start_of_file = true;
  if (!TrySeek(*src->stream, KSEEK_BEGIN, 0)) ERREXIT(cinfo, JERR_FILE_READ);
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  StreamSource* src = SourceOf(cinfo);
  std::int32_t n = TryRead(*src->stream, src->buffer, kInputBufferSize);
  if (n <= 0) {
    if (src->start_of_file) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    // A file that ends early ends here: libjpeg fills the rest.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    n = 2;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = static_cast<std::size_t>(n);
  src->start_of_file = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  StreamSource* src = SourceOf(cinfo);
  const std::size_t n = static_cast<std::size_t>(count);
  if (n > src->pub.bytes_in_buffer) {
    const std::size_t beyond = n - src->pub.bytes_in_buffer;
    if (beyond > 0x7FFFFFFF ||
        !TrySeek(*src->stream, KSEEK_CURRENT, static_cast<std::int32_t>(beyond)))
      ERREXIT(cinfo, JERR_FILE_READ);
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = 0;
  } else {
    src->pub.next_input_byte += n;
    src->pub.bytes_in_buffer -= n;
  }
}

void TermSource(j_decompress_ptr) {}

// Owns the decompression object, its error manager and source for one call.
class JpegDecoder {
 public:
  explicit JpegDecoder(KFile& stream) {
    cinfo_.err = jpeg_std_error(&error_.pub);
    error_.pub.error_exit = OnFatalError;
    error_.pub.emit_message = OnMessage;
    source_.stream = &stream;
    source_.start_of_file = true;
    source_.pub.init_source = InitSource;
    source_.pub.fill_input_buffer = FillInputBuffer;
    source_.pub.skip_input_data = SkipInputData;
    source_.pub.resync_to_restart = jpeg_resync_to_restart;
    source_.pub.term_source = TermSource;
    source_.pub.bytes_in_buffer = 0;
    source_.pub.next_input_byte = nullptr;
    progress_.pub.progress_monitor = OnProgress;
    const std::int64_t size = SizeOf(stream);
    std::int64_t limit = kMemoryBase + (size > 0 ? size * kMemoryPerFileByte : 0);
    memory_limit_ = static_cast<long>(limit < kMemoryMax ? limit : kMemoryMax);
  }
  ~JpegDecoder() {
    if (created_) jpeg_destroy_decompress(&cinfo_);
  }
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  // Creates the object, reads the header (no scan data) and sets the
  // output up as RGB; the output size is then known.
  bool ReadHeader() { return HeaderStep(this); }
  // Starts decompression: a progressive file's scans are read here.
  bool Start() { return StartStep(this); }
  // Reads every scanline into `image` (output size, RGB) and finishes.
  bool ReadAll(KImage* image) { return ReadStep(this, image); }
  const jpeg_decompress_struct& cinfo() const { return cinfo_; }

 private:
  static bool HeaderStep(JpegDecoder* d) {
    if (setjmp(d->error_.jump)) return false;
    // Destroying is safe from here on, even if creation fails half-way: the
    // object starts zeroed, and libjpeg frees only what it allocated.
    d->created_ = true;
    jpeg_create_decompress(&d->cinfo_);
    d->cinfo_.mem->max_memory_to_use = d->memory_limit_;
    d->cinfo_.src = &d->source_.pub;
    d->cinfo_.progress = &d->progress_.pub;
    jpeg_read_header(&d->cinfo_, TRUE);
    d->cinfo_.out_color_space = JCS_RGB;
    d->cinfo_.dct_method = JDCT_FLOAT;
    jpeg_calc_output_dimensions(&d->cinfo_);
    return true;
  }

  static bool StartStep(JpegDecoder* d) {
    if (setjmp(d->error_.jump)) return false;
    jpeg_start_decompress(&d->cinfo_);
    return true;
  }

  static bool ReadStep(JpegDecoder* d, KImage* image) {
    if (setjmp(d->error_.jump)) return false;
    jpeg_decompress_struct* cinfo = &d->cinfo_;
    image->BeginAccess();
    while (cinfo->output_scanline < cinfo->output_height) {
      JSAMPROW row = image->PixelAddress(0, cinfo->output_scanline);
      jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    image->EndAccess();
    return true;
  }

  ErrorManager error_{};
  StreamSource source_{};
  Progress progress_{};
  jpeg_decompress_struct cinfo_{};
  long memory_limit_ = 0;
  bool created_ = false;
};

}  // namespace

bool ProbeJpeg(KFile& stream, Info* info) {
  Rewind(stream);
  JpegDecoder decoder(stream);
  if (!decoder.ReadHeader()) return false;
  info->width = decoder.cinfo().output_width;
  info->height = decoder.cinfo().output_height;
  info->bits = 24;
  info->type = KImageFileType::kJpeg;
  return true;
}

bool ReadJpeg(KFile& stream, KImage& image) {
  Rewind(stream);
  JpegDecoder decoder(stream);
  if (!decoder.ReadHeader() ||
      !KimgPixelsAllowed(decoder.cinfo().output_width,
                         decoder.cinfo().output_height) ||
      !decoder.Start())
    return false;
  if (!image.Create(decoder.cinfo().output_width,
                    decoder.cinfo().output_height, 0, KIMG_RGB))
    return false;
  if (!decoder.ReadAll(&image)) {
    image.Release();
    return false;
  }
  return true;
}

}  // namespace image_io
}  // namespace zorl
