#include "DialogDriver.h"

#include <commctrl.h>

#include <thread>
#include <utility>

#include "ui/MainFmLayout.h"

using namespace std::chrono_literals;

DWORD gUiThread = 0;

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(20ms);
  }
  return condition();
}

namespace {

struct TWindowSearch {
  const char* ClassName;
  HWND Found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TWindowSearch*>(data);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (IsWindowVisible(window) && lstrcmpA(name, search->ClassName) == 0) {
    search->Found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK MatchChildText(HWND child, LPARAM data) {
  auto* wanted = reinterpret_cast<std::pair<std::string, bool>*>(data);
  if (Text(child) == wanted->first) {
    wanted->second = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindThreadWindow(const char* className) {
  TWindowSearch search{className, nullptr};
  EnumThreadWindows(gUiThread, MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

HWND WaitForDialog() {
  HWND dialog = nullptr;
  WaitUntil([&] { return (dialog = FindThreadWindow(VELDARA_MAINFORM_CLASS)) != nullptr; });
  return dialog;
}

std::string Text(HWND window) {
  char buffer[1024] = {};
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, 5000, &result);
  return buffer;
}

void SetText(HWND window, const std::string& text) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 5000, &result);
}

std::string StatusText(HWND statusBar) {
  char buffer[1024] = {};
  DWORD_PTR result = 0;
  // A status bar in simple mode answers for its one text as part 0.
  SendMessageTimeoutA(statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, 5000, &result);
  return buffer;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 60000, &result);
  return static_cast<LRESULT>(result);
}

void Click(HWND button) { Send(button, BM_CLICK); }

HWND Focus() {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(gUiThread, &info);
  return info.hwndFocus;
}

HWND MoveFocus(HWND control) {
  // The focus belongs to a thread's input state: the driver shares the UI
  // thread's while it moves it.
  const DWORD self = GetCurrentThreadId();
  AttachThreadInput(self, gUiThread, TRUE);
  HWND previous = SetFocus(control);
  AttachThreadInput(self, gUiThread, FALSE);
  return previous;
}

std::string MessageBoxText(HWND box) { return Text(GetDlgItem(box, 0xFFFF)); }

std::string AnswerMessageBox(std::chrono::milliseconds timeout) {
  HWND box = nullptr;
  if (!WaitUntil([&] { return (box = FindThreadWindow("#32770")) != nullptr; }, timeout)) return {};
  const std::string text = MessageBoxText(box);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
  return text;
}

bool HasChildWithText(HWND window, const std::string& text) {
  std::pair<std::string, bool> wanted{text, false};
  EnumChildWindows(window, MatchChildText, reinterpret_cast<LPARAM>(&wanted));
  return wanted.second;
}

HWND ClickAndWaitForDialog(HWND button) {
  PostMessageA(button, BM_CLICK, 0, 0);
  HWND box = nullptr;
  WaitUntil([&] { return (box = FindThreadWindow("#32770")) != nullptr; });
  return box;
}

void CloseDialogWith(HWND box, int command) {
  PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(command), 0);
  WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
}

TControls FindControls(HWND form) {
  return {form,
          GetDlgItem(form, idGroupBox2),
          GetDlgItem(form, idEdAssetName),
          GetDlgItem(form, idEdRepository),
          GetDlgItem(form, idBtnBrowseRepository),
          GetDlgItem(form, idBtnRefreshRepository),
          GetDlgItem(form, idCbCategory),
          GetDlgItem(form, idEdScale),
          GetDlgItem(form, idLblScaleInfo),
          GetDlgItem(form, idBtnOK),
          GetDlgItem(form, idBtnCancel),
          GetDlgItem(form, idSbInfo),
          GetDlgItem(form, idChkOptimize)};
}

std::string CategoryText(HWND combo) {
  const auto index = Send(combo, CB_GETCURSEL);
  if (index < 0) return {};
  char buffer[256] = {};
  Send(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
  return buffer;
}
