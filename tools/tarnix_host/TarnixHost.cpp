// tarnix-host: a stand-in for the Tarnix editor that loads the plug-in and
// uses it the way the editor does, to test the real DLL and its dialog.
//
//   tarnix-host --scene FILE --install-dir DIR --repository DIR --default-repository DIR
//               [--optimized-repository DIR] [--screenshot FILE.bmp] [--warnings FILE]
//
// It loads ExportVeldaraMesh.dll by name (from its own folder), checks the
// nine exports and the identity strings, hands over a window and a callback
// that serves the two-stage request protocol (the scene document from
// --scene, the install directory --install-dir, which holds a Tarnix.ini)
// and runs PluginExecute. While the modal dialog runs on the main thread, a
// second thread drives it with window messages, as a user would with mouse
// and keyboard, and checks what it shows and what it stores beside the DLL.
//
// Every check prints "ok: ..." or "FAIL: ..."; the last line counts them.
// Exit status 0 when all passed, 1 otherwise, 2 for bad arguments.
//
// With --export-only as its first argument it checks nothing but makes one
// export through the dialog and measures it (see ExportRun.h).

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DialogDriver.h"
#include "EditorSide.h"
#include "ExportRun.h"
#include "host/uPlugin.h"
#include "ui/MainFmLayout.h"

namespace {

using namespace std::chrono_literals;

// ---------------------------------------------------------------------------
// Checks

std::mutex gOutput;
int gPassed = 0;
int gFailed = 0;

void Check(bool condition, const std::string& what) {
  const std::lock_guard<std::mutex> lock(gOutput);
  if (condition) {
    ++gPassed;
    std::printf("ok: %s\n", what.c_str());
  } else {
    ++gFailed;
    std::printf("FAIL: %s\n", what.c_str());
  }
  std::fflush(stdout);
}

void CheckEqual(const std::string& actual, const std::string& expected, const std::string& what) {
  Check(actual == expected, what + " (expected \"" + expected + "\", got \"" + actual + "\")");
}

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& name, const std::string& content) {
  std::ofstream(name, std::ios::binary) << content;
}

// ---------------------------------------------------------------------------
// What the driver reads of the folder dialog and of the form's layout

// The name of the folder selected in the folder dialog's tree.
std::string SelectedFolder(HWND browse) {
  HWND tree = FindWindowExA(browse, nullptr, WC_TREEVIEWA, nullptr);
  for (HWND child = GetWindow(browse, GW_CHILD); tree == nullptr && child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    tree = FindWindowExA(child, nullptr, WC_TREEVIEWA, nullptr);
  if (tree == nullptr) return "(no folder tree)";
  const auto item = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (item == nullptr) return "(nothing selected)";
  char text[MAX_PATH] = {};
  TVITEMA tvItem{};
  tvItem.mask = TVIF_TEXT;
  tvItem.hItem = item;
  tvItem.pszText = text;
  tvItem.cchTextMax = sizeof text;
  Send(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem));
  return text;
}

// The path component a folder tree item stands for. A drive shows as
// "(Z:)" or "Label (Z:)"; when Wine cannot read a volume's label (a
// sandbox that denies it) the dialog stops at the drive itself.
std::string FolderOfTreeItem(const std::string& text) {
  const std::size_t n = text.size();
  if (n >= 4 && text[n - 1] == ')' && text[n - 2] == ':' && text[n - 4] == '(') return text.substr(n - 3, 2);
  return text;
}

// The control's rectangle in the form's client coordinates.
RECT ClientRect(HWND form, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void CheckPlacement(HWND form, HWND control, const char* name, int left, int top, int width, int height) {
  const RECT rect = ClientRect(form, control);
  const std::string expected = std::to_string(left) + "," + std::to_string(top) + " " + std::to_string(width) + "x" +
                               std::to_string(height);
  const std::string actual = std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
                             std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top);
  CheckEqual(actual, expected, std::string(name) + " sits where the design puts it");
}

// Saves what the screen shows of the window as a 24-bit BMP file, with the
// keyboard focus on `focus` meanwhile: an edit field with the focus shows its
// blinking text caret, which the picture would catch or not by chance.
bool SaveScreenshot(HWND window, HWND focus, const std::string& fileName) {
  const HWND focused = MoveFocus(focus);
  Check(Focus() == focus, "the focus leaves the edit fields for the screenshot");
  // Time for the field to lose its caret and the button to draw its focus.
  std::this_thread::sleep_for(500ms);
  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT) != 0;
  GdiFlush();
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD imageSize = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  header.bfSize = header.bfOffBits + imageSize;
  std::string file(reinterpret_cast<const char*>(&header), sizeof header);
  file.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(BITMAPINFOHEADER));
  file.append(static_cast<const char*>(bits), imageSize);
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  MoveFocus(focused);
  if (!copied) return false;
  WriteFile(fileName, file);
  return true;
}

// The version text along the banner's right edge, as the screen shows it:
// dark letters on the pale end of the banner, running downwards, vertically
// centred, their tops two pixels in from the edge.
void CheckVersionText(HWND form) {
  constexpr int kWidth = 594, kHeight = 74, kStrip = 40;
  POINT origin{kWidth - kStrip, 0};
  ClientToScreen(form, &origin);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, kStrip, kHeight);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, kStrip, kHeight, screen, origin.x, origin.y, SRCCOPY);
  int left = kStrip, right = -1, top = kHeight, bottom = -1;
  for (int y = 0; y < kHeight - 3; ++y)  // above the accent line at the bottom
    for (int x = 0; x < kStrip; ++x) {
      const COLORREF colour = GetPixel(memory, x, y);
      if (GetRValue(colour) + GetGValue(colour) + GetBValue(colour) < 300) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
    }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  Check(right >= 0, "\"Version 1.0\" is drawn at the banner's right edge");
  if (right < 0) return;
  const int edgeGap = kStrip - 1 - right;
  Check(edgeGap >= 2 && edgeGap <= 5, "the version's letters end " + std::to_string(edgeGap) + " pixels from the edge");
  Check(bottom - top > 3 * (right - left), "the version runs downwards (" + std::to_string(right - left + 1) + " x " +
                                               std::to_string(bottom - top + 1) + " pixels)");
  Check(std::abs(top - (kHeight - 1 - bottom)) <= 4, "the version is centred vertically (" + std::to_string(top) +
                                                         " pixels above, " + std::to_string(kHeight - 1 - bottom) +
                                                         " below)");
}

// ---------------------------------------------------------------------------
// The registry value behind the default repository

constexpr const char* kRegistryKey = "Software\\Veldara\\AssetRepository";

void SetDefaultRepository(DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  RegSetValueExA(key, "RepositoryDirectory", 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void SetDefaultRepository(const std::string& directory) {
  SetDefaultRepository(REG_SZ, directory.c_str(), static_cast<DWORD>(directory.size() + 1));
}

void RemoveDefaultRepository() {
  RegDeleteKeyA(HKEY_CURRENT_USER, kRegistryKey);
}

// ---------------------------------------------------------------------------
// The scenarios, each one run of PluginExecute

struct TOptions {
  std::string Scene, InstallDirectory, Repository, DefaultRepository, OptimizedRepository, Screenshot, WarningsFile;
};

TOptions gOptions;
std::string gSettingsFile;

// The five settings the dialog stores, as StoredSettings shows them.
struct TStoredSettings {
  std::string Asset, Repository, Category, Scale, Optimize;
};

std::string Settings(const TStoredSettings& stored) {
  return "asset=" + stored.Asset + " repository=" + stored.Repository + " category=" + stored.Category +
         " scale=" + stored.Scale + " optimize=" + stored.Optimize;
}

// The five keys of the settings file as Windows reads them; "?" for a missing one.
std::string StoredSettings() {
  std::string result;
  for (const char* key : {"asset", "repository", "category", "scale", "optimize"}) {
    char value[1024] = {};
    GetPrivateProfileStringA("export", key, "?", value, sizeof value, gSettingsFile.c_str());
    result += (result.empty() ? "" : " ") + std::string(key) + "=" + value;
  }
  return result;
}

// Whether every control of the dialog but the status line is enabled (or, with false, disabled).
bool ControlsEnabled(const TControls& c, bool enabled) {
  for (HWND control : {c.GroupBox2, c.edAssetName, c.edRepository, c.btnBrowseRepository, c.btnRefreshRepository,
                       c.cbCategory, c.edScale, c.lblScaleInfo, c.chkOptimize, c.btnOK, c.btnCancel})
    if ((IsWindowEnabled(control) != 0) != enabled) return false;
  return true;
}

bool CloseItemGrayed(HWND form) {
  return (GetMenuState(GetSystemMenu(form, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

// Checks, from inside the editor's callback and so in the middle of the
// export, that the dialog is locked: its controls disabled, closing refused,
// and no click, Enter or Escape that reaches it starts anything. The status
// line shows the step, with its percentage once the mesh export reports.
void CheckLockedDuringExport(HWND form, const std::string& request) {
  const TControls c = FindControls(form);
  const bool scene = request == kSceneRequest;
  const std::string when = scene ? " while the scene is read" : " while textures are copied";
  Check(ControlsEnabled(c, false), "every control is disabled" + when);
  Check(CloseItemGrayed(form), "the close button is disabled" + when);
  const std::string status = StatusText(c.sbInfo);
  if (scene)
    CheckEqual(status, VELDARA_STATUS_READING, "the status line tells that the scene is read");
  else
    Check(status.rfind("Copying texture files... ", 0) == 0 && status.back() == '%',
          "the status line shows the step and its percentage (" + status + ")");
  if (!scene) return;
  // Same thread: each message is handled before SendMessage returns.
  const std::size_t requests = gHost.Requests.size();
  SendMessageA(form, WM_CLOSE, 0, 0);
  SendMessageA(form, WM_SYSCOMMAND, SC_CLOSE, 0);
  SendMessageA(c.btnCancel, BM_CLICK, 0, 0);
  SendMessageA(form, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  SendMessageA(c.btnOK, BM_CLICK, 0, 0);
  SendMessageA(form, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  // A Cancel that got through would only end the dialog after the export,
  // as the export's success does: what can be seen is that OK and Enter
  // start no second export and that the dialog stays.
  Check(IsWindowVisible(form) != 0 && FindThreadWindow("#32770") == nullptr,
        "closing, Cancel and OK sent during the export leave the dialog as it is");
  Check(gHost.Requests.size() == requests, "no second export starts during the export");
}

// Runs PluginExecute on this thread while `drive` works the dialog from another.
void RunWithDriver(FARPROC execute, const std::function<void()>& drive) {
  std::atomic<bool> returned{false};
  std::thread driver([&] {
    drive();
    // Whatever the checks found, the dialog must not stay open for ever.
    if (!WaitUntil([&] { return returned.load(); }, 20s)) {
      Check(false, "the dialog closed at the end of the scenario");
      if (HWND form = FindThreadWindow(VELDARA_MAINFORM_CLASS)) PostMessageA(form, WM_CLOSE, 0, 0);
    }
  });
  ExportAs<void(__stdcall*)()>(execute)();
  returned = true;
  driver.join();
}

// First run: settings from an earlier session, the registry's default
// repository, every field rule, a refused and a failed export, then the
// export that closes the dialog.
void FirstRun(FARPROC execute) {
  WriteFile(gSettingsFile, "[export]\r\nasset=Crate\r\ncategory=props\r\nscale=10\r\n");
  SetDefaultRepository(gOptions.DefaultRepository);
  gHost.SceneFailures = 1;

  RunWithDriver(execute, [] {
    HWND form = WaitForDialog();
    Check(form != nullptr, "PluginExecute shows the dialog");
    if (form == nullptr) return;
    const TControls c = FindControls(form);

    // What the form is made of.
    CheckEqual(Text(form), VELDARA_MAINFORM_CAPTION, "the caption");
    RECT client{};
    GetClientRect(form, &client);
    CheckEqual(std::to_string(client.right) + "x" + std::to_string(client.bottom), "594x291", "the client area");
    Check(GetWindow(form, GW_OWNER) != nullptr, "the dialog is owned by the editor's window");
    CheckPlacement(form, c.GroupBox2, "GroupBox2", 4, 80, 585, 153);
    CheckPlacement(form, c.edAssetName, "edAssetName", 100, 101, 481, 19);
    CheckPlacement(form, c.edRepository, "edRepository", 100, 125, 433, 19);
    CheckPlacement(form, c.btnBrowseRepository, "btnBrowseRepository", 536, 125, 21, 19);
    CheckPlacement(form, c.btnRefreshRepository, "btnRefreshRepository", 560, 125, 21, 19);
    CheckPlacement(form, c.edScale, "edScale", 100, 173, 145, 19);
    CheckPlacement(form, c.chkOptimize, "chkOptimize", 100, 200, 145, 17);
    CheckPlacement(form, c.btnOK, "btnOK", 434, 243, 75, 25);
    CheckPlacement(form, c.btnCancel, "btnCancel", 514, 243, 75, 25);
    const RECT combo = ClientRect(form, c.cbCategory);
    CheckEqual(std::to_string(combo.left) + "," + std::to_string(combo.top) + " " +
                   std::to_string(combo.right - combo.left),
               "100,148 145", "cbCategory sits where the design puts it");
    const RECT status = ClientRect(form, c.sbInfo);
    Check(status.bottom == 291 && status.left == 0 && status.right == 594, "the status bar runs along the bottom");
    CheckEqual(Text(c.GroupBox2), " Asset Export ", "the group's caption");
    CheckEqual(Text(c.btnBrowseRepository), "...", "the browse button's caption");
    CheckEqual(Text(c.btnOK), "OK", "the OK button's caption");
    CheckEqual(Text(c.btnCancel), "Cancel", "the Cancel button's caption");
    CheckEqual(Text(c.chkOptimize), VELDARA_OPTIMIZE_CAPTION, "the check box's caption");
    Check((GetWindowLongA(c.chkOptimize, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX, "the check box checks itself on a click");
    Check((GetWindowLongA(c.btnOK, GWL_STYLE) & BS_DEFPUSHBUTTON) != 0, "OK is the default button");
    CheckEqual(std::to_string(Send(c.cbCategory, CB_GETCOUNT)), "5", "five categories");
    Check((GetWindowLongA(c.cbCategory, GWL_STYLE) & 3) == CBS_DROPDOWNLIST, "the category list takes no free text");

    // Tab order: asset, repository, browse, revert, scale, optimize, category, OK, Cancel.
    const HWND order[] = {c.edAssetName, c.edRepository, c.btnBrowseRepository, c.btnRefreshRepository, c.edScale,
                          c.chkOptimize, c.cbCategory,   c.btnOK,               c.btnCancel};
    bool tabOrder = true;
    for (std::size_t i = 0; i < std::size(order); ++i)
      tabOrder = tabOrder && GetNextDlgTabItem(form, order[i], FALSE) == order[(i + 1) % std::size(order)];
    Check(tabOrder, "Tab moves through the controls in the design's order");
    Check(Focus() == c.edAssetName, "the asset name has the focus when the dialog opens");

    // The hints of the two small buttons.
    HWND hints = FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr);
    while (hints != nullptr && GetWindow(hints, GW_OWNER) != form)
      hints = FindWindowExA(nullptr, hints, TOOLTIPS_CLASSA, nullptr);
    std::map<HWND, std::string> hintTexts;
    for (int i = 0; hints != nullptr && i < static_cast<int>(Send(hints, TTM_GETTOOLCOUNT)); ++i) {
      char text[128] = {};
      TOOLINFOA tool{};
      tool.cbSize = TTTOOLINFOA_V1_SIZE;
      tool.lpszText = text;
      Send(hints, TTM_ENUMTOOLSA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tool));
      hintTexts[reinterpret_cast<HWND>(tool.uId)] = text;
    }
    CheckEqual(hintTexts[c.btnBrowseRepository], "Browse for an asset repository", "the browse button's hint");
    CheckEqual(hintTexts[c.btnRefreshRepository], "Revert to default Veldara asset repository",
               "the revert button's hint");

    // Loaded settings, with the registry's repository and the lower-case category.
    CheckEqual(Text(c.edAssetName), "Crate", "the asset name comes from the settings");
    CheckEqual(Text(c.edRepository), gOptions.DefaultRepository, "an unset repository is the registry's default");
    CheckEqual(CategoryText(c.cbCategory), "Props", "the stored category \"props\" selects Props");
    CheckEqual(Text(c.edScale), "10", "the scale comes from the settings");
    CheckEqual(Text(c.lblScaleInfo), "(1 Tarnix unit = 1 cm in the Veldara)", "the scale 10 is described as 1 cm");
    Check(Send(c.chkOptimize, BM_GETCHECK) == BST_UNCHECKED, "settings without the option leave the box unchecked");
    CheckEqual(StatusText(c.sbInfo), "", "the status line starts empty");

    // What the screen shows, once the dialog has painted itself in full.
    std::this_thread::sleep_for(500ms);
    RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    std::this_thread::sleep_for(1000ms);
    CheckVersionText(form);
    if (!gOptions.Screenshot.empty())
      Check(SaveScreenshot(form, c.btnOK, gOptions.Screenshot), "the screenshot is saved");

    // The scale's description follows every change of the text.
    const std::pair<const char*, const char*> scales[] = {
        {"2.5", "(1 Tarnix unit = 2.5 mm in the Veldara)"}, {"1500", "(1 Tarnix unit = 1.5 m in the Veldara)"},
        {"999", "(1 Tarnix unit = 99.9 cm in the Veldara)"}, {"-3", "(1 Tarnix unit = -3 mm in the Veldara)"},
        {"0", ""},
        {"abc", ""},
        {"1,5", ""},
        {"1e39", ""},
    };
    for (const auto& [scale, description] : scales) {
      SetText(c.edScale, scale);
      CheckEqual(Text(c.lblScaleInfo), description, std::string("the description of the scale ") + scale);
    }

    // OK with a scale that is no number (a decimal comma), zero or negative:
    // refused, nothing stored.
    const std::string settingsBefore = ReadFile(gSettingsFile);
    for (const char* scale : {"1,5", "0", "-3"}) {
      SetText(c.edScale, scale);
      MoveFocus(c.edAssetName);
      Click(c.btnOK);
      CheckEqual(StatusText(c.sbInfo), VELDARA_ERROR_SCALE, std::string("the scale ") + scale + " is refused");
      Check(Focus() == c.edScale, std::string("the focus moves to the scale ") + scale);
      CheckEqual(ReadFile(gSettingsFile), settingsBefore, "a refused OK stores nothing");
      Check(IsWindowVisible(form) != 0, "a refused OK leaves the dialog open");
    }

    // Both fields wrong: one message, the asset name's, and the focus there.
    SetText(c.edScale, "1e39");
    SetText(c.edAssetName, "");
    Click(c.btnOK);
    CheckEqual(StatusText(c.sbInfo), VELDARA_ERROR_ASSET_NAME, "with both fields wrong the asset name's message shows");
    Check(Focus() == c.edAssetName, "the focus moves to the asset name");
    CheckEqual(ReadFile(gSettingsFile), settingsBefore, "still nothing stored");

    // A name that would lead out of the repository: refused by the
    // repository's own rules before anything is stored or written.
    SetText(c.edScale, "10");
    SetText(c.edAssetName, "./Crate");
    Click(c.btnOK);
    CheckEqual(StatusText(c.sbInfo), "The asset name \"./Crate\" has an empty or \".\" part.",
               "an asset name with a \".\" part is refused");
    Check(Focus() == c.edAssetName, "the focus moves to the asset name");
    CheckEqual(ReadFile(gSettingsFile), settingsBefore, "a refused name stores nothing");

    // A repository typed by the user and then reverted counts as the default.
    SetText(c.edRepository, gOptions.Repository);
    Click(c.btnRefreshRepository);
    CheckEqual(Text(c.edRepository), gOptions.DefaultRepository, "the revert button restores the registry's default");

    // A click checks the box and a second one clears it again.
    Click(c.chkOptimize);
    Check(Send(c.chkOptimize, BM_GETCHECK) == BST_CHECKED, "a click checks the box");
    Click(c.chkOptimize);
    Check(Send(c.chkOptimize, BM_GETCHECK) == BST_UNCHECKED, "a second click clears it");

    // A valid OK whose export fails in the editor: settings stored, message
    // in the status line, the dialog stays.
    SetText(c.edAssetName, "Crate");
    SetText(c.edScale, "10");
    Click(c.btnOK);
    CheckEqual(StatusText(c.sbInfo), "Tarnix callback returned error code 5", "the editor's error shows in the status line");
    Check(IsWindowVisible(form) != 0, "a failed export leaves the dialog open");
    Check(ControlsEnabled(c, true), "every control is enabled again after a failed export");
    Check(!CloseItemGrayed(form), "the close button is enabled again after a failed export");
    CheckEqual(StoredSettings(), Settings({"Crate", "", "Props", "10", "0"}),
               "a valid OK stores the fields, the reverted repository as empty");

    // The repository the user types is stored; this export succeeds and the
    // dialog closes, after showing the export's warnings if it has any.
    // Meanwhile the dialog is looked at from inside the editor's callback.
    std::atomic<bool> sawScene{false}, sawCopying{false};
    gHost.OnReplied = [&](const std::string& request) {
      std::atomic<bool>& seen = request == kSceneRequest ? sawScene : sawCopying;
      if (!seen) CheckLockedDuringExport(form, request);
      seen = true;
    };
    SetText(c.edRepository, gOptions.Repository);
    PostMessageA(c.btnOK, BM_CLICK, 0, 0);
    std::string warnings;
    WaitUntil([&] {
      if (!IsWindow(form) || !IsWindowVisible(form)) return true;
      if (FindThreadWindow("#32770") != nullptr) warnings = AnswerMessageBox(1s);
      return false;
    }, 60s);
    Check(!IsWindowVisible(form), "a successful export closes the dialog");
    Check(sawScene && sawCopying, "the dialog was looked at during the export");
    gHost.OnReplied = nullptr;
    if (!gOptions.WarningsFile.empty()) WriteFile(gOptions.WarningsFile, warnings);
  });

  CheckEqual(StoredSettings(), Settings({"Crate", gOptions.Repository, "Props", "10", "0"}),
             "the settings file holds the fields of the successful export");
}

// Second run: the stored repository is the user's and wins over the
// registry; Escape closes the dialog without storing anything.
void SecondRun(FARPROC execute) {
  SetDefaultRepository(gOptions.DefaultRepository + "\\elsewhere");
  const std::string settingsBefore = ReadFile(gSettingsFile);
  const std::size_t requestsBefore = gHost.Requests.size();
  RunWithDriver(execute, [&] {
    HWND form = WaitForDialog();
    Check(form != nullptr, "the second PluginExecute shows a new dialog");
    if (form == nullptr) return;
    const TControls c = FindControls(form);
    CheckEqual(Text(c.edRepository), gOptions.Repository, "a stored repository wins over the registry");

    // The browse button opens the shell's folder dialog on the repository's
    // folder; the folder chosen there becomes the repository, and a
    // cancelled dialog changes nothing. Wine's folder dialog opens a deep
    // path only part of the way down, so the folder it starts on, and hands
    // back on OK, may be one of the repository's parent folders: that one
    // is still the dialog's own answer, not the text that was there.
    SetText(c.edRepository, gOptions.DefaultRepository);
    HWND browse = ClickAndWaitForDialog(c.btnBrowseRepository);
    Check(browse != nullptr, "the browse button opens the folder dialog");
    if (browse != nullptr) {
      Check(HasChildWithText(browse, "Please select an asset repository."), "the folder dialog asks for a repository");
      Check(GetWindow(browse, GW_OWNER) == form, "the folder dialog is owned by the export dialog");
      std::this_thread::sleep_for(500ms);
      const std::string selected = SelectedFolder(browse);
      const std::string folder = FolderOfTreeItem(selected);
      const std::string& wanted = gOptions.DefaultRepository;
      Check(("\\" + wanted + "\\").find("\\" + folder + "\\") != std::string::npos,
            "the folder dialog starts on the repository's folder or on its way there (" + selected + ")");
      CloseDialogWith(browse, IDOK);
      const std::string chosen = Text(c.edRepository);
      Check((chosen.ends_with("\\" + folder) || chosen == folder + "\\") && wanted.starts_with(chosen),
            "the folder chosen becomes the repository (" + chosen + ")");
    }
    SetText(c.edRepository, gOptions.Repository);
    browse = ClickAndWaitForDialog(c.btnBrowseRepository);
    if (browse != nullptr) CloseDialogWith(browse, IDCANCEL);
    CheckEqual(Text(c.edRepository), gOptions.Repository, "a cancelled folder dialog changes nothing");
    SetText(c.edAssetName, "Changed");
    PostMessageA(c.edAssetName, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(c.edAssetName, WM_KEYUP, VK_ESCAPE, 0);
    WaitUntil([&] { return !IsWindow(form) || !IsWindowVisible(form); });
    Check(!IsWindow(form) || !IsWindowVisible(form), "Escape closes the dialog");
  });
  CheckEqual(ReadFile(gSettingsFile), settingsBefore, "Escape stores nothing");
  Check(gHost.Requests.size() == requestsBefore, "Escape asks the editor for nothing");
}

// Third run: a registry value that is no text. Its error is shown in a
// message box, and the dialog opens with what was loaded before it.
void ThirdRun(FARPROC execute) {
  WriteFile(gSettingsFile, "[export]\r\nasset=Barrel\r\ncategory=Nothing\r\nscale=2.5\r\n");
  const DWORD number = 42;
  SetDefaultRepository(REG_DWORD, &number, sizeof number);
  RunWithDriver(execute, [] {
    CheckEqual(AnswerMessageBox(15s), "Invalid data type for 'RepositoryDirectory'",
               "a registry value that is no text is reported");
    HWND form = WaitForDialog();
    Check(form != nullptr, "the dialog opens after the error");
    if (form == nullptr) return;
    const TControls c = FindControls(form);
    CheckEqual(Text(c.edAssetName), "Barrel", "fields before the repository are loaded");
    CheckEqual(Text(c.lblScaleInfo), "(1 Tarnix unit = 2.5 mm in the Veldara)", "the scale 2.5 is described in mm");
    CheckEqual(std::to_string(Send(c.cbCategory, CB_GETCURSEL)), "-1", "an unknown category selects nothing");
    CheckEqual(Text(c.edRepository), "", "the repository stays empty");
    Click(c.btnCancel);
    WaitUntil([&] { return !IsWindow(form) || !IsWindowVisible(form); });
    Check(!IsWindow(form) || !IsWindowVisible(form), "Cancel closes the dialog");
  });
  RemoveDefaultRepository();
}

// Fourth run: no registry value and a settings file that cannot be written
// (a folder stands in its place). The first-start defaults show; OK reports
// the file in a message box and runs no export.
void FourthRun(FARPROC execute) {
  DeleteFileA(gSettingsFile.c_str());
  CreateDirectoryA(gSettingsFile.c_str(), nullptr);
  const std::size_t requestsBefore = gHost.Requests.size();
  RunWithDriver(execute, [] {
    HWND form = WaitForDialog();
    Check(form != nullptr, "the dialog opens without settings and registry value");
    if (form == nullptr) return;
    const TControls c = FindControls(form);
    CheckEqual(Text(c.edAssetName) + "|" + Text(c.edRepository) + "|" + std::to_string(Send(c.cbCategory, CB_GETCURSEL)) +
                   "|" + Text(c.edScale) + "|" + Text(c.lblScaleInfo) + "|" +
                   std::to_string(Send(c.chkOptimize, BM_GETCHECK)),
               "||-1|10|(1 Tarnix unit = 1 cm in the Veldara)|0", "a first start shows the defaults");
    SetText(c.edAssetName, "Crate");
    HWND box = ClickAndWaitForDialog(c.btnOK);
    Check(box != nullptr && Text(GetDlgItem(box, 0xFFFF)) == "Unable to write to " + gSettingsFile,
          "a settings file that cannot be written is reported in a message box");
    if (box != nullptr) CloseDialogWith(box, IDOK);
    Check(IsWindowVisible(form) != 0, "the dialog stays open after that error");
    Click(c.btnCancel);
    WaitUntil([&] { return !IsWindow(form) || !IsWindowVisible(form); });
  });
  Check(gHost.Requests.size() == requestsBefore, "no export runs when the settings cannot be stored");
  RemoveDirectoryA(gSettingsFile.c_str());
}

// Fifth run: the option stored as on checks the box, and the export it runs
// writes the mesh optimized for drawing into the second repository, which
// the test script compares with what the tool's --optimize writes.
void FifthRun(FARPROC execute) {
  WriteFile(gSettingsFile, "[export]\r\nasset=Crate\r\nrepository=" + gOptions.OptimizedRepository +
                               "\r\ncategory=Props\r\nscale=10\r\noptimize=1\r\n");
  RunWithDriver(execute, [] {
    HWND form = WaitForDialog();
    Check(form != nullptr, "the dialog opens with the option stored as on");
    if (form == nullptr) return;
    const TControls c = FindControls(form);
    Check(Send(c.chkOptimize, BM_GETCHECK) == BST_CHECKED, "the stored option checks the box");
    PostMessageA(c.btnOK, BM_CLICK, 0, 0);
    WaitUntil([&] {
      if (!IsWindow(form) || !IsWindowVisible(form)) return true;
      if (FindThreadWindow("#32770") != nullptr) AnswerMessageBox(1s);
      return false;
    }, 60s);
    Check(!IsWindowVisible(form), "the optimized export succeeds and closes the dialog");
  });
  CheckEqual(StoredSettings(), Settings({"Crate", gOptions.OptimizedRepository, "Props", "10", "1"}),
             "the settings file keeps the option on");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--export-only") {
    TExportRunOptions options;
    if (!ParseExportRunOptions(argc, argv, options)) return 2;
    return RunExport(options);
  }
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i], value = argv[i + 1];
    if (name == "--scene") gOptions.Scene = value;
    else if (name == "--install-dir") gOptions.InstallDirectory = value;
    else if (name == "--repository") gOptions.Repository = value;
    else if (name == "--default-repository") gOptions.DefaultRepository = value;
    else if (name == "--optimized-repository") gOptions.OptimizedRepository = value;
    else if (name == "--screenshot") gOptions.Screenshot = value;
    else if (name == "--warnings") gOptions.WarningsFile = value;
    else {
      std::fprintf(stderr, "tarnix-host: unknown option %s\n", name.c_str());
      return 2;
    }
  }
  if (gOptions.Scene.empty() || gOptions.InstallDirectory.empty() || gOptions.Repository.empty() ||
      gOptions.DefaultRepository.empty()) {
    std::fprintf(stderr,
                 "usage: tarnix-host --scene FILE --install-dir DIR --repository DIR --default-repository DIR "
                 "[--optimized-repository DIR] [--screenshot FILE.bmp] [--warnings FILE]\n");
    return 2;
  }
  try {
    if (!LoadSceneReply(gOptions.Scene)) {
      std::fprintf(stderr, "tarnix-host: cannot read the scene %s\n", gOptions.Scene.c_str());
      return 2;
    }
  } catch (const TSceneTooLarge&) {
    std::fprintf(stderr, "tarnix-host: the stand-in editor could not hold the scene %s\n", gOptions.Scene.c_str());
    return 2;
  }
  gHost.InstallDirectory = gOptions.InstallDirectory;
  gUiThread = GetCurrentThreadId();

  // By name, as the editor does: from this program's own folder.
  HMODULE plugin = LoadLibraryA("ExportVeldaraMesh.dll");
  Check(plugin != nullptr, "ExportVeldaraMesh.dll loads");
  if (plugin == nullptr) {
    std::printf("%d passed, %d failed\n", gPassed, gFailed);
    return 1;
  }
  char modulePath[MAX_PATH] = {};
  GetModuleFileNameA(plugin, modulePath, sizeof modulePath);
  gSettingsFile = modulePath;
  gSettingsFile = gSettingsFile.substr(0, gSettingsFile.rfind('.')) + ".ini";

  const char* const names[] = {"PluginExecute",       "PluginSetCallback", "PluginEmail",
                               "PluginAuthor",        "PluginVersion",     "PluginTarnixVersion",
                               "PluginDescription",   "PluginName",        "PluginInitialize"};
  std::map<std::string, FARPROC> exports;
  for (std::size_t i = 0; i < std::size(names); ++i) {
    exports[names[i]] = GetProcAddress(plugin, names[i]);
    Check(exports[names[i]] != nullptr, std::string("the export ") + names[i]);
    Check(GetProcAddress(plugin, MAKEINTRESOURCEA(i + 1)) == exports[names[i]],
          std::string(names[i]) + " has the ordinal " + std::to_string(i + 1));
  }
  if (gFailed > 0) {
    std::printf("%d passed, %d failed\n", gPassed, gFailed);
    return 1;
  }

  using TIdentity = const char*(__stdcall*)();
  const auto identity = [&](const char* name) { return std::string(ExportAs<TIdentity>(exports[name])()); };
  CheckEqual(identity("PluginVersion"), "1.0", "PluginVersion");
  CheckEqual(identity("PluginTarnixVersion"), "1.6", "PluginTarnixVersion");
  CheckEqual(identity("PluginDescription"), "Veldara Mesh Exporter", "PluginDescription");
  CheckEqual(identity("PluginName"), "Veldara Exporter", "PluginName");
  Check(!identity("PluginAuthor").empty(), "PluginAuthor names someone");
  Check(identity("PluginEmail").find('@') != std::string::npos, "PluginEmail is an address");

  // The editor's main window, which owns the plug-in's windows.
  HWND editor = CreateEditorWindow();
  ExportAs<void(__stdcall*)(HWND)>(exports["PluginInitialize"])(editor);
  ExportAs<void(__stdcall*)(TPluginCallback)>(exports["PluginSetCallback"])(HostCallbackFunction);

  FirstRun(exports["PluginExecute"]);
  SecondRun(exports["PluginExecute"]);
  ThirdRun(exports["PluginExecute"]);
  FourthRun(exports["PluginExecute"]);
  if (!gOptions.OptimizedRepository.empty()) FifthRun(exports["PluginExecute"]);

  Check(gHost.ProtocolKept, "the plug-in keeps the request protocol" +
                                (gHost.ProtocolKept ? std::string() : ": " + gHost.ProtocolProblem));
  Check(!gHost.Requests.empty() && gHost.Requests.front() == kSceneRequest,
        "the scene request arrives byte for byte as written down");
  Check(std::find(gHost.Requests.begin(), gHost.Requests.end(), kInstallDirectoryRequest) != gHost.Requests.end(),
        "the texture directory is asked for with the install-directory request");
  Check(IsWindowEnabled(editor) != 0, "the editor's window is enabled again");

  DestroyWindow(editor);
  FreeLibrary(plugin);
  std::printf("%d passed, %d failed\n", gPassed, gFailed);
  return gFailed == 0 ? 0 : 1;
}
