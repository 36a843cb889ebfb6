#pragma once
// Resource identifiers of the plug-in library (MainFm.rc).

// The dialog's banner, a 594 x 74 JPEG image made by tools/banner.
#define IDR_BANNER_JPEG 101
