#include "ui/MainFm.h"

#include <commctrl.h>

#include <string>

#include "asset/uRepository.h"
#include "base/Finally.h"
#include "base/uException.h"
#include "base/uNumbers.h"
#include "host/uPlugin.h"
#include "scene/uXMLSceneReader.h"
#include "ui/DialogSettings.h"
#include "ui/MainFmLayout.h"
#include "ui/uDialogText.h"
#include "ui/uMisc.h"

namespace {

using namespace MainFormDesign;

// Not WS_CLIPCHILDREN: the group box draws only its frame and caption and
// relies on the form to paint the background inside it.
constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;

}  // namespace

// ---------------------------------------------------------------------------
// Creation and the modal run

TMainForm::TMainForm() {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = ModuleInstance();
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = VELDARA_MAINFORM_CLASS;
  // A class left registered by an earlier dialog of this library is the same class.
  if (RegisterClassExA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    RaiseError("Cannot register the window class %s.", {VELDARA_MAINFORM_CLASS});

  // The client area has the design's size; the frame comes around it.
  RECT frame{0, 0, ClientWidth, ClientHeight};
  AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  CreateWindowExA(kFormExStyle, VELDARA_MAINFORM_CLASS, VELDARA_MAINFORM_CAPTION, kFormStyle, left, top, width, height,
                  ApplicationWindow, nullptr, ModuleInstance(), this);
  if (FHandle == nullptr) RaiseError("Cannot create the export dialog.");

  try {
    CreateControls();
  } catch (...) {
    DestroyWindow(FHandle);
    UnregisterClassA(VELDARA_MAINFORM_CLASS, ModuleInstance());
    throw;
  }

  // An error while the form starts up is shown, and the form opens anyway
  // with what was loaded up to then.
  try {
    FormCreate();
  } catch (...) {
    HandleException(FHandle);
  }
}

TMainForm::~TMainForm() {
  if (FHints != nullptr) DestroyWindow(FHints);
  DestroyWindow(FHandle);
  // A DLL's window classes outlive it unless it removes them, and the editor
  // may unload the plug-in between two runs.
  UnregisterClassA(VELDARA_MAINFORM_CLASS, ModuleInstance());
}

int TMainForm::ShowModal() {
  HWND owner = GetWindow(FHandle, GW_OWNER);
  const bool enableOwner = owner != nullptr && IsWindowEnabled(owner);
  if (enableOwner) EnableWindow(owner, FALSE);

  ShowWindow(FHandle, SW_SHOWNORMAL);
  SetForegroundWindow(FHandle);
  SetFocus(edAssetName);

  FModalResult = 0;
  MSG message;
  while (FModalResult == 0) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      // The editor is quitting: leave the dialog and hand the request on.
      PostQuitMessage(static_cast<int>(message.wParam));
      FModalResult = IDCANCEL;
      break;
    }
    if (got == -1) {
      FModalResult = IDCANCEL;
      break;
    }
    // Tab, Enter (OK) and Escape (Cancel) as in any dialog.
    if (!IsDialogMessageA(FHandle, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

  // The owner is enabled before this window hides, so that Windows hands the
  // activation back to it rather than to some other program.
  if (enableOwner) EnableWindow(owner, TRUE);
  ShowWindow(FHandle, SW_HIDE);
  if (owner != nullptr) SetActiveWindow(owner);
  return FModalResult;
}

void TMainForm::CloseModal(int result) {
  FModalResult = result;
  // Wakes the modal loop, which may be waiting for its next message.
  PostMessageA(FHandle, WM_NULL, 0, 0);
}

void TMainForm::PaintImages() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(FHandle, &paint);
  const TFinally endPaint([&] { EndPaint(FHandle, &paint); });
  FBanner.Paint(dc);
}

// ---------------------------------------------------------------------------
// Messages

LRESULT CALLBACK TMainForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* form = reinterpret_cast<TMainForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    form = static_cast<TMainForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    form->FHandle = window;
  }
  if (form == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  // No exception may travel back into Windows: it cannot unwind through the
  // system's frames. An error that reaches the top of a handler is shown.
  try {
    return form->HandleMessage(message, wParam, lParam);
  } catch (...) {
    HandleException(window);
    return 0;
  }
}

LRESULT TMainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      HandleCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CLOSE:
      // Refused while an export runs: it ends by itself.
      if (!Exporting()) CloseModal(IDCANCEL);
      return 0;
    case WM_SETCURSOR:
      // The hourglass stays over the dialog while the export runs.
      if (Exporting()) {
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
        return TRUE;
      }
      return DefWindowProcA(FHandle, message, wParam, lParam);
    case DM_GETDEFID:
      return MAKELRESULT(idBtnOK, DC_HASDEFID);
    case WM_PAINT:
      PaintImages();
      return 0;
    default:
      return DefWindowProcA(FHandle, message, wParam, lParam);
  }
}

void TMainForm::HandleCommand(int id, int code) {
  // The controls are disabled during an export, but a message sent to one
  // (a posted click, Enter or Escape) must not start anything either.
  if (Exporting()) return;
  switch (id) {
    case idBtnOK:
      if (code == BN_CLICKED && IsWindowEnabled(btnOK)) btnOKClick();
      break;
    case idBtnCancel:
      // Cancel and Escape close the dialog and do nothing else.
      if (code == BN_CLICKED) CloseModal(IDCANCEL);
      break;
    case idBtnBrowseRepository:
      if (code == BN_CLICKED) btnBrowseRepositoryClick();
      break;
    case idBtnRefreshRepository:
      if (code == BN_CLICKED) btnRefreshRepositoryClick();
      break;
    case idEdRepository:
      if (code == EN_CHANGE) edRepositoryChange();
      break;
    case idEdScale:
      if (code == EN_CHANGE) edScaleChange();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Event handlers and their operations

void TMainForm::FormCreate() {
  FBanner.DrawVersion();
  LoadSettings();
}

void TMainForm::LoadSettings() {
  const TDialogSettings settings = LoadDialogSettings(DialogSettingsFile());
  SetWindowTextString(edAssetName, settings.AssetName);
  // Setting the scale describes it in the label; a text that is already
  // there changes nothing, so it is described here.
  if (GetWindowTextString(edScale) == settings.Scale)
    edScaleChange();
  else
    SetWindowTextString(edScale, settings.Scale);
  SendMessageA(cbCategory, CB_SETCURSEL, static_cast<WPARAM>(CategoryIndex(settings.Category)), 0);
  SendMessageA(chkOptimize, BM_SETCHECK, settings.Optimize ? BST_CHECKED : BST_UNCHECKED, 0);
  const bool chosenByUser = !settings.Repository.empty();
  SetWindowTextString(edRepository, chosenByUser ? settings.Repository : DefaultRepository());
  // Loading is no change by the user, whatever the text's change event said.
  FRepositoryChanged = chosenByUser;
}

TDialogSettings TMainForm::Settings() const {
  TDialogSettings settings;
  settings.AssetName = GetWindowTextString(edAssetName);
  settings.Repository = FRepositoryChanged ? GetWindowTextString(edRepository) : std::string();
  settings.Category = GetWindowTextString(cbCategory);
  settings.Scale = GetWindowTextString(edScale);
  settings.Optimize = SendMessageA(chkOptimize, BM_GETCHECK, 0, 0) == BST_CHECKED;
  return settings;
}

void TMainForm::edRepositoryChange() {
  if (!FRevertingRepository) FRepositoryChanged = true;
}

void TMainForm::btnBrowseRepositoryClick() {
  const std::string folder =
      BrowseForFolder("Please select an asset repository.", GetWindowTextString(edRepository), FHandle);
  if (!folder.empty()) SetWindowTextString(edRepository, folder);
}

void TMainForm::btnRefreshRepositoryClick() {
  {
    FRevertingRepository = true;
    const TFinally reverted([this] { FRevertingRepository = false; });
    SetWindowTextString(edRepository, DefaultRepository());
  }
  FRepositoryChanged = false;
}

void TMainForm::edScaleChange() { SetWindowTextString(lblScaleInfo, ScaleDescription(GetWindowTextString(edScale))); }

void TMainForm::btnOKClick() {
  Validate();
  if (FInvalid) return;
  const TDialogSettings settings = Settings();
  SaveDialogSettings(settings, DialogSettingsFile());
  TAssetExportOptions options;
  options.AssetName = settings.AssetName;
  options.Repository = GetWindowTextString(edRepository);
  options.Category = settings.Category;
  options.Scale = StrToFloat(settings.Scale);
  options.Target.OptimizeForDrawing = settings.Optimize;
  options.TextureSource = GetTextureDirectory;
  // A successful export ends the dialog.
  if (FExport->Run(options, {GroupBox2, Label4, edAssetName, Label5, edRepository, btnBrowseRepository,
                            btnRefreshRepository, Label2, cbCategory, Label1, edScale, lblScaleInfo, chkOptimize, btnOK,
                            btnCancel}))
    CloseModal(IDCANCEL);
}

void TMainForm::Validate() {
  FInvalid = false;
  // Both checks run; the asset name's message, the later one, is what stays.
  // The name is checked by the repository's own rules, as the command line
  // checks it, so that it cannot lead out of the repository.
  if (!IsValidScale(GetWindowTextString(edScale))) ShowError(VELDARA_ERROR_SCALE, edScale);
  const std::string problem = AssetNameProblem(GetWindowTextString(edAssetName));
  if (!problem.empty()) ShowError(problem, edAssetName);
  if (!FInvalid) ShowStatus("");
}

void TMainForm::ShowError(const std::string& text, HWND edit) {
  FInvalid = true;
  ShowStatus(text);
  if (edit != nullptr) SetFocus(edit);
}

void TMainForm::ShowStatus(const std::string& text) { SetStatusText(sbInfo, text); }

