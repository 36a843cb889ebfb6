// Writes the export dialog's banner as a JPEG file:
//   make-banner OUTPUT.jpg
// The plug-in stores the result (src/ui/banner.jpg) as a resource; a test
// checks that the stored file still shows what RenderBanner draws.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "BannerArt.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-banner OUTPUT.jpg\n");
    return 2;
  }
  const std::string output = argv[1];
  std::vector<uint8_t> pixels = RenderBanner();

  // Encoded in memory first, so that a failure leaves no half-written file.
  unsigned char* encoded = nullptr;
  unsigned long encodedSize = 0;
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &encoded, &encodedSize);
  info.image_width = BannerWidth;
  info.image_height = BannerHeight;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 92, TRUE);
  // No chroma subsampling: the thin coloured lettering stays crisp.
  for (int i = 0; i < info.num_components; ++i) info.comp_info[i].h_samp_factor = info.comp_info[i].v_samp_factor = 1;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = pixels.data() + static_cast<std::size_t>(info.next_scanline) * BannerWidth * 3;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);

  const std::string temporary = output + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  const bool written = file != nullptr && std::fwrite(encoded, 1, encodedSize, file) == encodedSize;
  const bool closed = file != nullptr && std::fclose(file) == 0;
  std::free(encoded);
  if (!written || !closed || std::rename(temporary.c_str(), output.c_str()) != 0) {
    std::remove(temporary.c_str());
    std::fprintf(stderr, "make-banner: cannot write %s\n", output.c_str());
    return 1;
  }
  return 0;
}
