#pragma once
// The artwork of the export dialog's banner, drawn in code so that the
// project makes its own image: a 594 x 74 strip with a wireframe emblem and
// the plug-in's title, dark on the left and light on the right, where the
// dialog writes its version in the window-text colour.

#include <cstdint>
#include <vector>

inline constexpr int BannerWidth = 594;
inline constexpr int BannerHeight = 74;

// Rows from the top, three bytes per pixel: red, green, blue.
std::vector<uint8_t> RenderBanner();
