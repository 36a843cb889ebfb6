#pragma once
// The pictures the export dialog draws itself: the banner (the picture from
// the plug-in's resources, and over it a transparent layer carrying the
// version, turned a quarter along the right edge), and the revert button's
// glyph.

#include <windows.h>

#include "ui/uForms.h"

class TDialogBanner {
public:
  // Decodes the picture and makes the layer, both `formWidth` x
  // `bannerHeight` pixels at the form's top. Raises "The banner image is missing from %s." naming the
  // plug-in when its resources lack it.
  void Load(int formWidth, int bannerHeight);
  // Writes the version on the layer.
  void DrawVersion();
  // Paints the picture and the layer at the form's top left.
  void Paint(HDC dc) const;

private:
  // A windowless picture painted by the form. A transparent image leaves the
  // pixels of its bottom-left pixel's colour unpainted.
  struct TImage {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool Transparent = false;
    TGdiObject Bitmap;
  };

  TImage FPicture;
  TImage FLayer;
};

// A small anticlockwise arrow, "back to the default", on a button's face.
HBITMAP CreateRefreshGlyph();
