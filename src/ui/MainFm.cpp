#include "ui/MainFm.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
#include <utility>

#include "asset/KVMeshExporterCl.h"
#include "asset/uRepository.h"
#include "base/uException.h"
#include "base/uNumbers.h"
#include "platform/uIniFile.h"
#include "host/uPlugin.h"
#include "scene/uXMLSceneReader.h"
#include "ui/MainFmLayout.h"
#include "ui/uDialogText.h"
#include "ui/uJpegImage.h"
#include "ui/uMisc.h"
#include "ui/uResources.h"

namespace {

using namespace MainFormDesign;

constexpr const char* kSettingsSection = "export";
constexpr const char* kRepositoryKey = "Software\\Veldara\\AssetRepository";
constexpr const char* kRepositoryValue = "RepositoryDirectory";
constexpr const char* kVersionText = "Version 1.0";
// The design's fonts, in pixels: 8 points at the 96 dots per inch the form
// was laid out for. The form is not rescaled, so neither are its fonts.
constexpr int kEightPointHeight = -11;
// At most this many warnings are listed in the message box; the rest are counted.
constexpr std::size_t kWarningsShown = 20;
// How often an export handles the window messages that wait, in
// milliseconds: often enough to repaint smoothly, far below the five
// seconds after which Windows calls a window not responding.
constexpr DWORD kMessageInterval = 100;

// Not WS_CLIPCHILDREN: the group box draws only its frame and caption and
// relies on the form to paint the background inside it.
constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;

// Runs a function at the end of a scope, whatever way it is left.
template <typename F>
class TFinally {
public:
  explicit TFinally(F action) : FAction(std::move(action)) {}
  ~TFinally() { FAction(); }
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;

private:
  F FAction;
};

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

class TRegistryKey {
public:
  TRegistryKey(HKEY root, const char* name) {
    if (RegOpenKeyExA(root, name, 0, KEY_READ, &FKey) != ERROR_SUCCESS) FKey = nullptr;
  }
  ~TRegistryKey() {
    if (FKey != nullptr) RegCloseKey(FKey);
  }
  TRegistryKey(const TRegistryKey&) = delete;
  TRegistryKey& operator=(const TRegistryKey&) = delete;
  HKEY Handle() const { return FKey; }

private:
  HKEY FKey = nullptr;
};

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

// ---------------------------------------------------------------------------
// Controls

HWND TMainForm::CreateControl(const char* windowClass, const char* text, DWORD style, int left, int top, int width,
                              int height, int id) {
  HWND control = CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, left, top, width,
                                 height, FHandle, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(),
                                 nullptr);
  if (control == nullptr) RaiseError("Cannot create the control %s of the export dialog.", {text});
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), FALSE);
  return control;
}

HWND TMainForm::CreateLabel(const char* text, int left, int top, int id) {
  // Labels size themselves to their text.
  SIZE size{0, 0};
  HDC dc = GetDC(FHandle);
  HGDIOBJ previous = SelectObject(dc, FFont.Get());
  GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
  SelectObject(dc, previous);
  ReleaseDC(FHandle, dc);
  return CreateControl("STATIC", text, SS_LEFT | SS_NOPREFIX, left, top, size.cx, size.cy, id);
}

void TMainForm::CreateControls() {
  FFont.Reset(CreateFontA(kEightPointHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif"));

  LoadBanner();

  // Created in tab order: the dialog manager moves between controls in the
  // order in which they were created.
  const int gx = GroupLeft, gy = GroupTop;
  GroupBox2 = CreateControl("BUTTON", " Asset Export ", BS_GROUPBOX, gx, gy, 585, 153, idGroupBox2);
  Label4 = CreateLabel("Asset Name", gx + 8, gy + 24, idLabel4);
  edAssetName = CreateControl("EDIT", "", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, gx + 96, gy + 21, 481, 19,
                              idEdAssetName);
  Label5 = CreateLabel("Asset Repository", gx + 8, gy + 48, idLabel5);
  edRepository = CreateControl("EDIT", "", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, gx + 96, gy + 45, 433, 19,
                               idEdRepository);
  btnBrowseRepository = CreateControl("BUTTON", "...", WS_TABSTOP | BS_PUSHBUTTON, gx + 532, gy + 45, 21, 19,
                                      idBtnBrowseRepository);
  btnRefreshRepository = CreateControl("BUTTON", "", WS_TABSTOP | BS_PUSHBUTTON | BS_BITMAP, gx + 556, gy + 45, 21, 19,
                                       idBtnRefreshRepository);
  Label2 = CreateLabel("Category", gx + 8, gy + 72, idLabel2);
  Label1 = CreateLabel("Scale", gx + 8, gy + 96, idLabel1);
  edScale = CreateControl("EDIT", "", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, gx + 96, gy + 93, 145, 19, idEdScale);
  lblScaleInfo = CreateControl("STATIC", "<scale description>", SS_LEFT | SS_NOPREFIX, gx + 256, gy + 96, 321, 13,
                               idLblScaleInfo);
  // In the group's free row below the scale, in line with the fields; next
  // after the scale in the tab order.
  chkOptimize = CreateControl("BUTTON", VELDARA_OPTIMIZE_CAPTION, WS_TABSTOP | BS_AUTOCHECKBOX, gx + 96, gy + 120, 145,
                              17, idChkOptimize);
  // The height covers the opened list; the closed box takes its height from the font.
  cbCategory = CreateControl("COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, gx + 96, gy + 68, 145, 21 + 120,
                             idCbCategory);
  for (const std::string_view category : AssetCategories)
    SendMessageA(cbCategory, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::string(category).c_str()));
  SendMessageA(cbCategory, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);

  // The group box lies below the controls it frames; it takes no part in the
  // tab order, so its place in the stacking order does not change that.
  SetWindowPos(GroupBox2, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  btnOK = CreateControl("BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 434, 243, 75, 25, idBtnOK);
  btnCancel = CreateControl("BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 514, 243, 75, 25, idBtnCancel);

  sbInfo = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, ClientHeight - StatusBarHeight,
                           ClientWidth, StatusBarHeight, FHandle,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(idSbInfo)), ModuleInstance(), nullptr);
  if (sbInfo == nullptr) RaiseError("Cannot create the status line of the export dialog.");
  SendMessageA(sbInfo, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), FALSE);
  SendMessageA(sbInfo, SB_SIMPLE, TRUE, 0);

  CreateRefreshGlyph();
  SendMessageA(btnRefreshRepository, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(FRefreshGlyph.Get()));
  CreateHints();
}

void TMainForm::CreateHints() {
  FHints = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FHandle, nullptr,
                           ModuleInstance(), nullptr);
  if (FHints == nullptr) return;  // the dialog works without its hints
  const std::pair<HWND, const char*> hints[] = {
      {btnBrowseRepository, "Browse for an asset repository"},
      {btnRefreshRepository, "Revert to default Veldara asset repository"},
  };
  for (const auto& [button, text] : hints) {
    TOOLINFOA tool{};
    // The first version of the record: understood by every common-controls library.
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = FHandle;
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.lpszText = const_cast<char*>(text);
    SendMessageA(FHints, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void TMainForm::CreateRefreshGlyph() {
  // A small anticlockwise arrow, "back to the default", on the button's face.
  constexpr int kSize = 13;
  FRefreshGlyph.Reset(CreateBitmap24(kSize, kSize, nullptr));
  TMemoryDC dc(FRefreshGlyph.Get());
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
}

void TMainForm::LoadBanner() {
  HINSTANCE module = ModuleInstance();
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(IDR_BANNER_JPEG), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) RaiseError("The banner image is missing from %s.", {GetModulePath()});
  const TRgbImage banner = DecodeJpeg(static_cast<const uint8_t*>(data), SizeofResource(module, resource));

  imgTopJPEG.Width = ClientWidth;
  imgTopJPEG.Height = BannerHeight;
  uint8_t* pixels = nullptr;
  imgTopJPEG.Bitmap.Reset(CreateBitmap24(banner.Width, banner.Height, &pixels));
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
  imgTop.Width = ClientWidth;
  imgTop.Height = BannerHeight;
  imgTop.Transparent = true;
  imgTop.Bitmap.Reset(CreateBitmap24(imgTop.Width, imgTop.Height, nullptr));
  TMemoryDC dc(imgTop.Bitmap.Get());
  RECT all{0, 0, imgTop.Width, imgTop.Height};
  FillRect(dc.Handle(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void TMainForm::PaintImages() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(FHandle, &paint);
  const TFinally endPaint([&] { EndPaint(FHandle, &paint); });
  for (const TImage* image : {&imgTopJPEG, &imgTop}) {
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
      if (!FExporting) CloseModal(IDCANCEL);
      return 0;
    case WM_SETCURSOR:
      // The hourglass stays over the dialog while the export runs.
      if (FExporting) {
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
  if (FExporting) return;
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
  DrawVersion();
  LoadSettings();
}

void TMainForm::DrawVersion() {
  TMemoryDC dc(imgTop.Bitmap.Get());
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
  TextOutA(dc.Handle(), imgTop.Width - 2, (imgTop.Height - extent.cx) / 2, kVersionText, lstrlenA(kVersionText));
  SelectObject(dc.Handle(), previous);
}

std::string TMainForm::GetSettingsFileName() const { return ChangeFileExt(GetModulePath(), ".ini"); }

std::string TMainForm::GetDefaultRepository() const {
  const TRegistryKey key(HKEY_CURRENT_USER, kRepositoryKey);
  if (key.Handle() == nullptr) return {};

  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.Handle(), kRepositoryValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
  // Only text will do; an expandable text is taken as it stands.
  if (type != REG_SZ && type != REG_EXPAND_SZ) RaiseError("Invalid data type for '%s'", {kRepositoryValue});

  std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
  DWORD read = size;
  if (RegQueryValueExA(key.Handle(), kRepositoryValue, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &read) !=
      ERROR_SUCCESS)
    return {};
  // The stored text may or may not count its terminating zero.
  return std::string(buffer.data());
}

void TMainForm::LoadSettings() {
  const std::string file = GetSettingsFileName();
  SetWindowTextString(edAssetName, ReadIniString(file, kSettingsSection, "asset", ""));

  // Setting the scale describes it in the label; a text that is already
  // there changes nothing, so it is described here.
  const std::string scale = ReadIniString(file, kSettingsSection, "scale", "10");
  if (GetWindowTextString(edScale) == scale)
    edScaleChange();
  else
    SetWindowTextString(edScale, scale);

  SendMessageA(cbCategory, CB_SETCURSEL,
               static_cast<WPARAM>(CategoryIndex(ReadIniString(file, kSettingsSection, "category", ""))), 0);
  // Off unless stored as on: a fresh install writes the mesh as it always was.
  const bool optimize = ReadIniString(file, kSettingsSection, "optimize", "0") == "1";
  SendMessageA(chkOptimize, BM_SETCHECK, optimize ? BST_CHECKED : BST_UNCHECKED, 0);

  // An empty repository in the settings means "the registry's default", read
  // again at every start.
  std::string repository = ReadIniString(file, kSettingsSection, "repository", "");
  const bool chosenByUser = !repository.empty();
  if (!chosenByUser) repository = GetDefaultRepository();
  SetWindowTextString(edRepository, repository);
  // Loading is no change by the user, whatever the text's change event said.
  FRepositoryChanged = chosenByUser;
}

void TMainForm::SaveSettings() {
  const std::string file = GetSettingsFileName();
  const std::pair<const char*, std::string> values[] = {
      {"asset", GetWindowTextString(edAssetName)},
      {"repository", FRepositoryChanged ? GetWindowTextString(edRepository) : std::string()},
      {"category", GetWindowTextString(cbCategory)},
      {"scale", GetWindowTextString(edScale)},
      {"optimize", IsOptimizeChecked() ? "1" : "0"},
  };
  for (const auto& [key, value] : values)
    if (!WritePrivateProfileStringA(kSettingsSection, key, value.c_str(), file.c_str()))
      RaiseError("Unable to write to %s", {file});
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
    SetWindowTextString(edRepository, GetDefaultRepository());
  }
  FRepositoryChanged = false;
}

bool TMainForm::IsOptimizeChecked() const { return SendMessageA(chkOptimize, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TMainForm::edScaleChange() { SetWindowTextString(lblScaleInfo, ScaleDescription(GetWindowTextString(edScale))); }

void TMainForm::btnOKClick() {
  Validate();
  if (FInvalid) return;
  SaveSettings();
  RunExport();
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

void TMainForm::ShowStatus(const std::string& text) {
  SendMessageA(sbInfo, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
  // Between two rounds of messages the export paints nothing: a new text is painted now.
  UpdateWindow(sbInfo);
}

void TMainForm::ShowProgress(const std::string& step, int percent) {
  const std::string text = step + " " + std::to_string(std::clamp(percent, 0, 100)) + "%";
  if (text != FProgressText) {
    FProgressText = text;
    if (step != FProgressStep) {
      // A new step shows at once, even one too short for a round of messages.
      FProgressStep = step;
      ShowStatus(text);
    } else {
      // A new percentage is painted with the next round of messages.
      SendMessageA(sbInfo, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
    }
  }
  if (GetTickCount() - FLastMessages >= kMessageInterval) HandlePendingMessages();
}

void TMainForm::HandlePendingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Taking it off the queue ends nothing: it is posted again after the
      // export, for the modal loop to end the dialog and hand it on.
      FQuitPending = true;
      FQuitCode = message.wParam;
      break;
    }
    // No dialog keys: with every control disabled, Tab, Enter and Escape have nothing to do.
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  FLastMessages = GetTickCount();
}

void TMainForm::BeginExport() {
  FExporting = true;
  FProgressStep.clear();
  FProgressText.clear();
  FLastMessages = GetTickCount();
  // A disabled control keeps the keyboard focus and swallows the keys: the
  // form takes it meanwhile, and it goes back afterwards.
  FFocusBeforeExport = GetFocus();
  SetFocus(FHandle);
  FDisabled.clear();
  for (HWND control : {GroupBox2, Label4, edAssetName, Label5, edRepository, btnBrowseRepository, btnRefreshRepository,
                       Label2, cbCategory, Label1, edScale, lblScaleInfo, chkOptimize, btnOK, btnCancel}) {
    FDisabled.emplace_back(control, IsWindowEnabled(control) != 0);
    EnableWindow(control, FALSE);
  }
  // The caption's close button too: the window refuses to close anyway.
  EnableMenuItem(GetSystemMenu(FHandle, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

void TMainForm::EndExport() {
  EnableMenuItem(GetSystemMenu(FHandle, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
  for (const auto& [control, enabled] : FDisabled) EnableWindow(control, enabled ? TRUE : FALSE);
  FDisabled.clear();
  if (FFocusBeforeExport != nullptr && IsWindow(FFocusBeforeExport) && IsWindowEnabled(FFocusBeforeExport))
    SetFocus(FFocusBeforeExport);
  FExporting = false;
  if (FQuitPending) {
    FQuitPending = false;
    PostQuitMessage(static_cast<int>(FQuitCode));
  }
}

void TMainForm::RunExport() {
  HCURSOR previousCursor = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  const TFinally restoreCursor([previousCursor] { SetCursor(previousCursor); });
  // Whichever way the export ends, the dialog works again afterwards.
  BeginExport();
  const TFinally endExport([this] { EndExport(); });

  try {
    std::vector<std::string> warnings;
    {
      // The asset is locked before the scene is read, so that an export of it
      // running elsewhere is reported at once.
      TAssetExportOptions options;
      options.OnProgress = [this](const std::string& step, int percent) { ShowProgress(step, percent); };
      options.AssetName = GetWindowTextString(edAssetName);
      options.Repository = GetWindowTextString(edRepository);
      options.Category = GetWindowTextString(cbCategory);
      options.OptimizeForDrawing = IsOptimizeChecked();
      options.TextureSource = GetTextureDirectory;
      KVMeshExporterT exporter(std::move(options),
                               [&warnings](const std::string& warning) { warnings.push_back(warning); });
      exporter.Lock();

      ShowStatus(VELDARA_STATUS_READING);
      std::unique_ptr<TScene> scene;
      {
        TXMLSceneReader reader;
        reader.Scale = StrToFloat(GetWindowTextString(edScale));
        reader.OnProgress = [this](int percent) { ShowProgress(VELDARA_STATUS_READING, percent); };
        scene = RequestScene(reader);
      }

      ShowStatus(VELDARA_STATUS_EXPORTING);
      exporter.Export(*scene);
    }

    if (!warnings.empty()) ShowWarnings(warnings);
    CloseModal(IDCANCEL);
  } catch (const TException& error) {
    // The export's own errors: the message alone, in the status line, and
    // the dialog stays open for another try.
    ShowStatus(error.Message());
  } catch (const std::bad_alloc&) {
    ShowStatus("Out of memory.");
  } catch (const std::exception& error) {
    // Nothing of an export may escape into the editor: any other error is
    // shown the same way.
    ShowStatus(std::string("The export failed: ") + error.what());
  } catch (...) {
    ShowStatus("The export failed with an unknown error.");
  }
}

void TMainForm::ShowWarnings(const std::vector<std::string>& warnings) {
  std::string text = warnings.size() == 1 ? "The asset was exported with a warning:\r\n"
                                          : "The asset was exported with " + std::to_string(warnings.size()) +
                                                " warnings:\r\n";
  for (std::size_t i = 0; i < warnings.size() && i < kWarningsShown; ++i) text += "\r\n" + warnings[i];
  if (warnings.size() > kWarningsShown)
    text += "\r\n\r\n...and " + std::to_string(warnings.size() - kWarningsShown) + " more.";
  ShowMessage(FHandle, text, MB_ICONWARNING);
}
