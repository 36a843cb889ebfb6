#pragma once
// Working the plug-in's windows from tarnix-host's driver thread, as a user
// would with mouse and keyboard, while the plug-in's modal dialog runs on the
// UI thread: finding its windows, reading and typing texts, clicking buttons
// and answering message boxes. Every message sent to the UI thread has a
// time limit, so a dialog that hangs cannot hang the driver.

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

// The thread that runs PluginExecute and so owns the plug-in's windows.
extern DWORD gUiThread;

// Polls the condition until it holds or the time is up; its last answer.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(15));

// A visible top-level window of the UI thread with the given class.
HWND FindThreadWindow(const char* className);
// The export dialog, once it shows; null when it does not within 15 s.
HWND WaitForDialog();

std::string Text(HWND window);
// Sets a control's text as typing or pasting would: the control reports the change.
void SetText(HWND window, const std::string& text);
std::string StatusText(HWND statusBar);
LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// A click whose handler runs to its end before this returns.
void Click(HWND button);
HWND Focus();
// Gives a control of the UI thread the keyboard focus without clicking it;
// returns the window that had the focus.
HWND MoveFocus(HWND control);

// The text of a message box of the UI thread ("#32770"), whose text is the static control 0xFFFF.
std::string MessageBoxText(HWND box);
// Closes a message box of the UI thread, if one comes up, and returns its text.
std::string AnswerMessageBox(std::chrono::milliseconds timeout);
bool HasChildWithText(HWND window, const std::string& text);
// Clicks a button whose handler opens a modal window, and waits for that window.
HWND ClickAndWaitForDialog(HWND button);
void CloseDialogWith(HWND box, int command);

struct TControls {
  HWND Form, GroupBox2, edAssetName, edRepository, btnBrowseRepository, btnRefreshRepository, cbCategory, edScale,
      lblScaleInfo, btnOK, btnCancel, sbInfo, chkOptimize;
};

TControls FindControls(HWND form);
// The selected category's text; "" when none is selected.
std::string CategoryText(HWND combo);
