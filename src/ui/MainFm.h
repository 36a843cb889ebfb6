#pragma once
// TMainForm: the modal export dialog that PluginExecute shows. The user names
// the asset, picks the repository, the category and the scale, and whether
// the mesh is optimized for drawing; OK checks the fields, stores them beside
// the plug-in (DialogSettings.h) and runs one export of the editor's open
// scene (DialogExportRun.h). Progress and errors appear in the status line; a
// successful export closes the dialog. The form and its event handlers are
// MainFm.cpp's, its controls MainFmControls.cpp's.

#include <windows.h>

#include <optional>
#include <string>

#include "ui/DialogExportRun.h"
#include "ui/DialogPictures.h"
#include "ui/DialogSettings.h"
#include "ui/uForms.h"

class TMainForm {
public:
  // Creates the window and its controls, hidden, and runs FormCreate. The
  // owner is the application window (PluginInitialize's).
  TMainForm();
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // Shows the dialog and returns when it has closed, with IDOK or IDCANCEL.
  int ShowModal();

  HWND Handle() const { return FHandle; }

private:
  // Event handlers.
  void FormCreate();
  void btnOKClick();
  void btnBrowseRepositoryClick();
  void btnRefreshRepositoryClick();
  void edRepositoryChange();
  void edScaleChange();

  // The fields from the settings stored beside the plug-in, and back.
  void LoadSettings();
  TDialogSettings Settings() const;
  void Validate();
  void ShowStatus(const std::string& text);
  void ShowError(const std::string& text, HWND edit);
  // An export runs (see DialogExportRun.h): commands and closing are refused.
  bool Exporting() const { return FExport && FExport->Running(); }

  void CreateControls();
  // A control's place in the form's client area, in the design's pixels.
  struct TPlace {
    int Left, Top, Width, Height;
  };
  HWND CreateControl(const char* windowClass, const char* text, DWORD style, TPlace place, int id);
  HWND CreateLabel(const char* text, int left, int top, int id);
  void CreateHints();
  void PaintImages();
  void CloseModal(int result);

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void HandleCommand(int id, int code);

  HWND FHandle = nullptr;
  TGdiObject FFont;
  TGdiObject FRefreshGlyph;
  HWND FHints = nullptr;
  int FModalResult = 0;

  TDialogBanner FBanner;
  HWND GroupBox2 = nullptr;
  HWND Label4 = nullptr;
  HWND edAssetName = nullptr;
  HWND Label5 = nullptr;
  HWND edRepository = nullptr;
  HWND btnBrowseRepository = nullptr;
  HWND btnRefreshRepository = nullptr;
  HWND Label2 = nullptr;
  HWND cbCategory = nullptr;
  HWND Label1 = nullptr;
  HWND edScale = nullptr;
  HWND lblScaleInfo = nullptr;
  HWND chkOptimize = nullptr;
  HWND btnOK = nullptr;
  HWND btnCancel = nullptr;
  HWND sbInfo = nullptr;

  // A validation error was reported during the current OK.
  bool FInvalid = false;
  // The repository text was set by the user rather than taken from the
  // registry default: only then is it stored in the settings file.
  bool FRepositoryChanged = false;
  // The revert button is writing the default: that is no change by the user.
  bool FRevertingRepository = false;

  std::optional<TDialogExportRun> FExport;
};
