#pragma once
// TMainForm: the modal export dialog that PluginExecute shows. The user names
// the asset, picks the repository, the category and the scale, and whether
// the mesh is optimised for drawing; OK checks the fields, stores them beside
// the plug-in and runs one export of the editor's open scene. Progress and
// errors appear in the status line; a successful export closes the dialog.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

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
  // A windowless picture painted by the form, as the banner and the
  // transparent layer over it. A transparent image leaves the pixels of its
  // bottom-left pixel's colour unpainted.
  struct TImage {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool Transparent = false;
    TGdiObject Bitmap;
  };

  // Event handlers.
  void FormCreate();
  void btnOKClick();
  void btnBrowseRepositoryClick();
  void btnRefreshRepositoryClick();
  void edRepositoryChange();
  void edScaleChange();

  void DrawVersion();
  void LoadSettings();
  void SaveSettings();
  std::string GetSettingsFileName() const;
  bool IsOptimizeChecked() const;
  std::string GetDefaultRepository() const;
  void Validate();
  void ShowStatus(const std::string& text);
  void ShowError(const std::string& text, HWND edit);
  void RunExport();
  void ShowWarnings(const std::vector<std::string>& warnings);
  // While an export runs: the step and its percentage in the status line,
  // and the window messages that wait, handled every 100 ms or so, so that
  // the dialog and the editor repaint and Windows does not take them for
  // hung. The dialog's controls are disabled meanwhile and closing it is
  // refused, so no message can start anything.
  void ShowProgress(const std::string& step, int percent);
  void HandlePendingMessages();
  void BeginExport();
  void EndExport();

  void CreateControls();
  HWND CreateControl(const char* windowClass, const char* text, DWORD style, int left, int top, int width, int height,
                     int id);
  HWND CreateLabel(const char* text, int left, int top, int id);
  void CreateHints();
  void CreateRefreshGlyph();
  void LoadBanner();
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

  TImage imgTopJPEG;
  TImage imgTop;
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

  // An export runs: commands and closing are refused.
  bool FExporting = false;
  // The controls disabled for the export, each with whether it was enabled.
  std::vector<std::pair<HWND, bool>> FDisabled;
  HWND FFocusBeforeExport = nullptr;
  // When waiting messages were last handled (GetTickCount).
  DWORD FLastMessages = 0;
  std::string FProgressStep;
  std::string FProgressText;
  // The editor asked to quit while the export ran: passed on after it.
  bool FQuitPending = false;
  WPARAM FQuitCode = 0;
};
