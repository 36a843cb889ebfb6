// The form's controls, made once with the form, in the design's places.

#include "ui/MainFm.h"

#include <commctrl.h>

#include <string>
#include <string_view>
#include <utility>

#include "base/uException.h"
#include "ui/MainFmLayout.h"
#include "ui/uDialogText.h"

namespace {

using namespace MainFormDesign;

// The design's font, in pixels: 8 points at the 96 dots per inch the form
// was laid out for. The form is not rescaled, so neither is its font.
constexpr int kEightPointHeight = -11;

}  // namespace

HWND TMainForm::CreateControl(const char* windowClass, const char* text, DWORD style, TPlace place, int id) {
  HWND control = CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, place.Left, place.Top,
                                 place.Width, place.Height, FHandle, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 ModuleInstance(), nullptr);
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
  return CreateControl("STATIC", text, SS_LEFT | SS_NOPREFIX, {left, top, size.cx, size.cy}, id);
}

void TMainForm::CreateControls() {
  FFont.Reset(CreateFontA(kEightPointHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif"));

  FBanner.Load(ClientWidth, BannerHeight);

  // Created in tab order: the dialog manager moves between controls in the
  // order in which they were created.
  const int gx = GroupLeft, gy = GroupTop;
  GroupBox2 = CreateControl("BUTTON", " Asset Export ", BS_GROUPBOX, {gx, gy, 585, 153}, idGroupBox2);
  Label4 = CreateLabel("Asset Name", gx + 8, gy + 24, idLabel4);
  edAssetName =
      CreateControl("EDIT", "", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, {gx + 96, gy + 21, 481, 19}, idEdAssetName);
  Label5 = CreateLabel("Asset Repository", gx + 8, gy + 48, idLabel5);
  edRepository =
      CreateControl("EDIT", "", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, {gx + 96, gy + 45, 433, 19}, idEdRepository);
  btnBrowseRepository =
      CreateControl("BUTTON", "...", WS_TABSTOP | BS_PUSHBUTTON, {gx + 532, gy + 45, 21, 19}, idBtnBrowseRepository);
  btnRefreshRepository = CreateControl("BUTTON", "", WS_TABSTOP | BS_PUSHBUTTON | BS_BITMAP,
                                       {gx + 556, gy + 45, 21, 19}, idBtnRefreshRepository);
  Label2 = CreateLabel("Category", gx + 8, gy + 72, idLabel2);
  Label1 = CreateLabel("Scale", gx + 8, gy + 96, idLabel1);
  edScale = CreateControl("EDIT", "", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, {gx + 96, gy + 93, 145, 19}, idEdScale);
  lblScaleInfo = CreateControl("STATIC", "<scale description>", SS_LEFT | SS_NOPREFIX, {gx + 256, gy + 96, 321, 13},
                               idLblScaleInfo);
  // In the group's free row below the scale, in line with the fields; next
  // after the scale in the tab order.
  chkOptimize = CreateControl("BUTTON", VELDARA_OPTIMIZE_CAPTION, WS_TABSTOP | BS_AUTOCHECKBOX,
                              {gx + 96, gy + 120, 145, 17}, idChkOptimize);
  // The height covers the opened list; the closed box takes its height from the font.
  cbCategory = CreateControl("COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                             {gx + 96, gy + 68, 145, 21 + 120}, idCbCategory);
  for (const std::string_view category : AssetCategories)
    SendMessageA(cbCategory, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::string(category).c_str()));
  SendMessageA(cbCategory, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);

  // The group box lies below the controls it frames; it takes no part in the
  // tab order, so its place in the stacking order does not change that.
  SetWindowPos(GroupBox2, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  btnOK = CreateControl("BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, {434, 243, 75, 25}, idBtnOK);
  btnCancel = CreateControl("BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, {514, 243, 75, 25}, idBtnCancel);

  sbInfo = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, ClientHeight - StatusBarHeight,
                           ClientWidth, StatusBarHeight, FHandle,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(idSbInfo)), ModuleInstance(), nullptr);
  if (sbInfo == nullptr) RaiseError("Cannot create the status line of the export dialog.");
  SendMessageA(sbInfo, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), FALSE);
  SendMessageA(sbInfo, SB_SIMPLE, TRUE, 0);

  FRefreshGlyph.Reset(CreateRefreshGlyph());
  SendMessageA(btnRefreshRepository, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(FRefreshGlyph.Get()));
  FExport.emplace(FHandle, sbInfo);
  CreateHints();
}

void TMainForm::CreateHints() {
  FHints =
      CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FHandle, nullptr, ModuleInstance(), nullptr);
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
