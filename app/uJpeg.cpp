#include "app/uJpeg.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors through error_exit, which must not return; we
// leave the decoder through longjmp back into DecodeInto.
struct TJpegError {
  jpeg_error_mgr Pub;
  std::jmp_buf Escape;
};

extern "C" void JpegErrorExit(j_common_ptr Info) {
  std::longjmp(reinterpret_cast<TJpegError*>(Info->err)->Escape, 1);
}

// Silences libjpeg's messages on stderr; warnings are still counted.
extern "C" void JpegOutputMessage(j_common_ptr) {}

// Beyond this the data is not a picture we show; it also bounds what a forged
// header can make us allocate.
constexpr long MaxPixels = 64L * 1024 * 1024;

// Owned by the caller, so that a longjmp out of libjpeg skips no destructor:
// this frame holds only plain C structures.
struct TDecodeTarget {
  QImage Image;
};

bool DecodeInto(const unsigned char* Data, unsigned long Size, TDecodeTarget* Target) {
  // Zeroed, so that destroying it is harmless even if creation itself failed.
  jpeg_decompress_struct Info{};
  TJpegError Error{};
  Info.err = jpeg_std_error(&Error.Pub);
  Error.Pub.error_exit = JpegErrorExit;
  Error.Pub.output_message = JpegOutputMessage;
  if (setjmp(Error.Escape)) {
    jpeg_destroy_decompress(&Info);
    return false;
  }
  jpeg_create_decompress(&Info);
  jpeg_mem_src(&Info, Data, Size);
  jpeg_read_header(&Info, TRUE);
  Info.out_color_space = JCS_RGB;  // greyscale is widened; CMYK cannot be and fails
  jpeg_start_decompress(&Info);
  if (Info.output_components != 3 ||
      static_cast<long>(Info.output_width) * static_cast<long>(Info.output_height) > MaxPixels) {
    jpeg_destroy_decompress(&Info);
    return false;
  }
  Target->Image = QImage(static_cast<int>(Info.output_width), static_cast<int>(Info.output_height),
                         QImage::Format_RGB888);
  if (Target->Image.isNull()) {
    jpeg_destroy_decompress(&Info);
    return false;
  }
  while (Info.output_scanline < Info.output_height) {
    JSAMPROW Row = Target->Image.scanLine(static_cast<int>(Info.output_scanline));
    jpeg_read_scanlines(&Info, &Row, 1);
  }
  jpeg_finish_decompress(&Info);
  // A truncated or damaged scan only raises warnings and is filled with grey;
  // we would rather show nothing than a half picture.
  const bool Sound = Error.Pub.num_warnings == 0;
  jpeg_destroy_decompress(&Info);
  return Sound;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& Data) {
  // jpeg_mem_src refuses an empty buffer through error_exit; no need to go there.
  if (Data.isEmpty()) return QImage();
  TDecodeTarget Target;
  if (!DecodeInto(reinterpret_cast<const unsigned char*>(Data.constData()),
                  static_cast<unsigned long>(Data.size()), &Target))
    return QImage();
  return Target.Image;
}
