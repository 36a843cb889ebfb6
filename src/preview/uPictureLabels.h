#pragma once
// Labels drawn into a rendered picture: each view's name and the size of the
// mesh's box, so that a picture passed around still says what it shows and
// how large the asset is. A small built-in bitmap font (5 x 7 dots, scaled),
// so that no font file and no text renderer is needed; characters it lacks
// are drawn as blanks.
//
// Portable: no OGRE needed, so it is unit-tested on every platform.

#include <string>

#include "preview/uPreviewRenderer.h"  // the picture and its colours; no OGRE

// Draws `text` with its top-left corner at (x, y), each dot `scale` pixels
// square, in `colour` on a one-dot shadow of `shadow` below and to the right,
// clipped to the image; characters that would reach `right` or beyond are
// left out. Returns the width drawn, in pixels.
int DrawLabel(TPreviewImage& image, int x, int y, const std::string& text, const TRgb& colour, const TRgb& shadow,
              int scale, int right);

// The height of a line of labels at that scale, the gap to the next included.
int LabelLineHeight(int scale);

// The size of a box measured in millimetres, as width (x) by height (y) by
// depth (z) in metres: "0.60 x 0.60 x 0.60 m".
std::string BoxSizeLabel(double widthMm, double heightMm, double depthMm);
