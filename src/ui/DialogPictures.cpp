#include "ui/DialogPictures.h"

#include <cstdint>
#include <string>

#include "base/uException.h"
#include "ui/uJpegImage.h"
#include "ui/uMisc.h"
#include "ui/uResources.h"

namespace {
constexpr const char* kVersionText = "Version 1.0";
// The design's font, in pixels: 8 points at the 96 dots per inch the form
// was laid out for. The form is not rescaled, so neither is its font.
constexpr int kEightPointHeight = -11;

// A 24-bit top-down DIB section of the given size; its pixels, if asked for.
HBITMAP CreateBitmap24(int width, int height, uint8_t** pixels) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) RaiseError("Cannot create a bitmap of %s pixels.", {std::to_string(width) + " x " + std::to_string(height)});
  if (pixels != nullptr) *pixels = static_cast<uint8_t*>(bits);
  return bitmap;
}
}  // namespace

void TDialogBanner::Load(int formWidth, int bannerHeight) {
  HINSTANCE module = ModuleInstance();
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(IDR_BANNER_JPEG), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) RaiseError("The banner image is missing from %s.", {GetModulePath()});
  const TRgbImage banner = DecodeJpeg(static_cast<const uint8_t*>(data), SizeofResource(module, resource));

  FPicture.Width = formWidth;
  FPicture.Height = bannerHeight;
  uint8_t* pixels = nullptr;
  FPicture.Bitmap.Reset(CreateBitmap24(banner.Width, banner.Height, &pixels));
  // DIB rows are blue, green, red and padded to four bytes.
  const std::size_t stride = (static_cast<std::size_t>(banner.Width) * 3 + 3) & ~std::size_t{3};
  const auto width = static_cast<std::size_t>(banner.Width);
  const auto height = static_cast<std::size_t>(banner.Height);
  for (std::size_t y = 0; y < height; ++y)
    for (std::size_t x = 0; x < width; ++x) {
      const uint8_t* from = &banner.Pixels[(y * width + x) * 3];
      uint8_t* to = pixels + y * stride + x * 3;
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
    }

  // The layer over it starts white, the colour its transparency leaves out.
  FLayer.Width = formWidth;
  FLayer.Height = bannerHeight;
  FLayer.Transparent = true;
  FLayer.Bitmap.Reset(CreateBitmap24(FLayer.Width, FLayer.Height, nullptr));
  TMemoryDC dc(FLayer.Bitmap.Get());
  RECT all{0, 0, FLayer.Width, FLayer.Height};
  FillRect(dc.Handle(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void TDialogBanner::DrawVersion() {
  TMemoryDC dc(FLayer.Bitmap.Get());
  SetBkMode(dc.Handle(), TRANSPARENT);
  SetTextColor(dc.Handle(), GetSysColor(COLOR_WINDOWTEXT));

  // Crisp pixels only: smoothed edges would blend with the layer's white,
  // which its transparency does not leave out, and fringe the letters.
  LOGFONTA font{};
  font.lfHeight = kEightPointHeight;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = ANSI_CHARSET;
  font.lfQuality = NONANTIALIASED_QUALITY;
  lstrcpynA(font.lfFaceName, "Arial", LF_FACESIZE);

  TGdiObject upright(CreateFontIndirectA(&font));
  HGDIOBJ previous = SelectObject(dc.Handle(), upright.Get());
  SIZE extent{0, 0};
  GetTextExtentPoint32A(dc.Handle(), kVersionText, lstrlenA(kVersionText), &extent);

  // Turned a quarter clockwise: the text runs downwards, the tops of its
  // letters facing right, vertically centred along the banner's right edge.
  font.lfEscapement = -900;
  font.lfOrientation = -900;
  TGdiObject rotated(CreateFontIndirectA(&font));
  SelectObject(dc.Handle(), rotated.Get());
  TextOutA(dc.Handle(), FLayer.Width - 2, (FLayer.Height - extent.cx) / 2, kVersionText, lstrlenA(kVersionText));
  SelectObject(dc.Handle(), previous);
}

void TDialogBanner::Paint(HDC dc) const {
  for (const TImage* image : {&FPicture, &FLayer}) {
    if (image->Bitmap.Get() == nullptr) continue;
    TMemoryDC source(image->Bitmap.Get());
    if (image->Transparent) {
      const COLORREF key = GetPixel(source.Handle(), 0, image->Height - 1);
      TransparentBlt(dc, image->Left, image->Top, image->Width, image->Height, source.Handle(), 0, 0, image->Width,
                     image->Height, key);
    } else {
      BitBlt(dc, image->Left, image->Top, image->Width, image->Height, source.Handle(), 0, 0, SRCCOPY);
    }
  }
}

HBITMAP CreateRefreshGlyph() {
  constexpr int kSize = 13;
  HBITMAP glyph = CreateBitmap24(kSize, kSize, nullptr);
  TMemoryDC dc(glyph);
  RECT all{0, 0, kSize, kSize};
  FillRect(dc.Handle(), &all, GetSysColorBrush(COLOR_BTNFACE));
  const COLORREF colour = RGB(0, 96, 160);
  TGdiObject pen(CreatePen(PS_SOLID, 2, colour));
  TGdiObject brush(CreateSolidBrush(colour));
  HGDIOBJ previousPen = SelectObject(dc.Handle(), pen.Get());
  HGDIOBJ previousBrush = SelectObject(dc.Handle(), brush.Get());
  // Three quarters of a circle, from the top round the left to the right...
  Arc(dc.Handle(), 2, 2, 11, 11, 6, 2, 11, 7);
  // ...ending in an arrowhead at the top that points to the left.
  const POINT head[] = {{4, 0}, {8, 0}, {8, 5}};
  SelectObject(dc.Handle(), GetStockObject(NULL_PEN));
  Polygon(dc.Handle(), head, 3);
  SelectObject(dc.Handle(), previousPen);
  SelectObject(dc.Handle(), previousBrush);
  return glyph;
}
