#pragma once
// What the export dialog shows and where: captions, control identifiers and
// the design of every control in pixels. Shared by the dialog and by the
// editor's stand-in (tools/tarnix_host), which finds the controls by these
// identifiers and reads back these texts.

// The window class and caption of the dialog.
#define VELDARA_MAINFORM_CLASS "TMainForm"
#define VELDARA_MAINFORM_CAPTION "Veldara Exporter for Tarnix"

// Control identifiers. OK and Cancel carry the identifiers that the dialog
// manager sends for Enter and Escape.
enum TMainFormControl : int {
  idBtnOK = 1,      // IDOK
  idBtnCancel = 2,  // IDCANCEL
  idGroupBox2 = 100,
  idLabel4,
  idEdAssetName,
  idLabel5,
  idEdRepository,
  idBtnBrowseRepository,
  idBtnRefreshRepository,
  idLabel2,
  idCbCategory,
  idLabel1,
  idEdScale,
  idLblScaleInfo,
  idSbInfo,
  idChkOptimize,
};

// The design of the form, in pixels, not rescaled for the system's font size.
namespace MainFormDesign {
inline constexpr int ClientWidth = 594;
inline constexpr int ClientHeight = 291;
inline constexpr int BannerHeight = 74;
// Controls inside the group box are placed relative to its corner.
inline constexpr int GroupLeft = 4;
inline constexpr int GroupTop = 80;
inline constexpr int StatusBarHeight = 19;
}  // namespace MainFormDesign

// The check box below the scale: the mesh optimized for drawing.
#define VELDARA_OPTIMIZE_CAPTION "Optimise for drawing"

// Status texts.
#define VELDARA_STATUS_READING "Reading Tarnix scene..."
#define VELDARA_ERROR_SCALE "Please specify a (valid) scale."
#define VELDARA_ERROR_ASSET_NAME "Please specify an asset name."
