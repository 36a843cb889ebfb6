#include "ui/uJpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <limits>

// jpeglib.h relies on FILE and size_t being declared first.
#include <jpeglib.h>

#include "base/uException.h"

namespace {

// libjpeg reports a fatal error by calling error_exit, which by default ends
// the process. Ours jumps back into Decode instead. A C++ exception cannot be
// thrown from there: it would have to unwind through libjpeg's C frames,
// which carry no unwind information.
struct TErrorManager {
  jpeg_error_mgr Base;
  std::jmp_buf Return;
  char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
  auto* errors = reinterpret_cast<TErrorManager*>(info->err);
  (*info->err->format_message)(info, errors->Message);
  std::longjmp(errors->Return, 1);
}

// Warnings (such as a few corrupt bytes that libjpeg can skip) are not worth
// a message on the standard error of a GUI plug-in.
void OutputNothing(j_common_ptr) {}

// Everything between setjmp and a possible longjmp lives in plain C
// structures, so the jump skips no C++ destructor. Returns false with the
// message in `errors` when libjpeg gives up.
bool Decode(jpeg_decompress_struct& info, TErrorManager& errors, const uint8_t* data, std::size_t size,
            TRgbImage& image) {
  if (setjmp(errors.Return) != 0) return false;

  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);

  image.Width = static_cast<int>(info.output_width);
  image.Height = static_cast<int>(info.output_height);
  // Sized before decoding starts and never resized while libjpeg may jump.
  image.Pixels.assign(static_cast<std::size_t>(info.output_width) * info.output_height * 3, 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.Pixels.data() + static_cast<std::size_t>(info.output_scanline) * info.output_width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  return true;
}

}  // namespace

TRgbImage DecodeJpeg(const uint8_t* data, std::size_t size) {
  if (data == nullptr || size == 0) RaiseError("Cannot decode JPEG image: %s", {"no data"});
  if (size > std::numeric_limits<unsigned long>::max()) RaiseError("Cannot decode JPEG image: %s", {"too large"});

  TRgbImage image;
  jpeg_decompress_struct info{};
  TErrorManager errors{};
  info.err = jpeg_std_error(&errors.Base);
  errors.Base.error_exit = ErrorExit;
  errors.Base.output_message = OutputNothing;

  bool decoded = false;
  try {
    decoded = Decode(info, errors, data, size, image);
  } catch (...) {
    // Only the pixel buffer's allocation can throw; libjpeg's memory goes too.
    jpeg_destroy_decompress(&info);
    throw;
  }
  jpeg_destroy_decompress(&info);
  if (!decoded) RaiseError("Cannot decode JPEG image: %s", {errors.Message});
  return image;
}
