#include "ui/DialogExportRun.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <new>

#include "asset/AssetExportJob.h"
#include "base/Finally.h"
#include "base/uException.h"
#include "host/uPlugin.h"
#include "scene/uScene.h"
#include "ui/MainFmLayout.h"
#include "ui/uForms.h"

namespace {
// At most this many warnings are listed in the message box; the rest are counted.
constexpr std::size_t kWarningsShown = 20;
// How often an export handles the window messages that wait, in
// milliseconds: often enough to repaint smoothly, far below the five
// seconds after which Windows calls a window not responding.
constexpr DWORD kMessageInterval = 100;
}  // namespace

bool TDialogExportRun::Run(const TAssetExportOptions& options, const std::vector<HWND>& controls) {
  HCURSOR previousCursor = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  const TFinally restoreCursor([previousCursor] { SetCursor(previousCursor); });
  // Whichever way the export ends, the dialog works again afterwards.
  Begin(controls);
  const TFinally end([this] { End(); });

  try {
    std::vector<std::string> warnings;
    TReportSinks sinks;
    sinks.Warnings = [&warnings](const std::string& warning) { warnings.push_back(warning); };
    sinks.Progress = [this](const std::string& step, int percent) { ShowProgress(step, percent); };
    // The editor is asked for its scene: the status line says so, without a
    // percentage until its reply arrives and is read.
    const TSceneSource editorScene{VELDARA_STATUS_READING, [this](TXMLSceneReader& reader) {
                                     SetStatusText(FStatusLine, VELDARA_STATUS_READING);
                                     return RequestScene(reader);
                                   }};
    ExportAsset(editorScene, options, sinks);
    if (!warnings.empty()) ShowWarnings(warnings);
    return true;
  } catch (const TException& error) {
    // The export's own errors: the message alone, in the status line, and
    // the dialog stays open for another try.
    SetStatusText(FStatusLine, error.Message());
  } catch (const std::bad_alloc&) {
    SetStatusText(FStatusLine, "Out of memory.");
  } catch (const std::exception& error) {
    // Nothing of an export may escape into the editor: any other error is
    // shown the same way.
    SetStatusText(FStatusLine, std::string("The export failed: ") + error.what());
  } catch (...) {
    SetStatusText(FStatusLine, "The export failed with an unknown error.");
  }
  return false;
}

void TDialogExportRun::ShowProgress(const std::string& step, int percent) {
  const std::string text = step + " " + std::to_string(std::clamp(percent, 0, 100)) + "%";
  if (text != FProgressText) {
    FProgressText = text;
    if (step != FProgressStep) {
      // A new step shows at once, even one too short for a round of messages.
      FProgressStep = step;
      SetStatusText(FStatusLine, text);
    } else {
      // A new percentage is painted with the next round of messages.
      SendMessageA(FStatusLine, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
    }
  }
  if (GetTickCount() - FLastMessages >= kMessageInterval) HandlePendingMessages();
}

void TDialogExportRun::HandlePendingMessages() {
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

void TDialogExportRun::Begin(const std::vector<HWND>& controls) {
  FRunning = true;
  FProgressStep.clear();
  FProgressText.clear();
  FLastMessages = GetTickCount();
  // A disabled control keeps the keyboard focus and swallows the keys: the
  // form takes it meanwhile, and it goes back afterwards.
  FFocusBefore = GetFocus();
  SetFocus(FForm);
  FDisabled.clear();
  for (HWND control : controls) {
    FDisabled.emplace_back(control, IsWindowEnabled(control) != 0);
    EnableWindow(control, FALSE);
  }
  // The caption's close button too: the window refuses to close anyway.
  EnableMenuItem(GetSystemMenu(FForm, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

void TDialogExportRun::End() {
  EnableMenuItem(GetSystemMenu(FForm, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
  for (const auto& [control, enabled] : FDisabled) EnableWindow(control, enabled ? TRUE : FALSE);
  FDisabled.clear();
  if (FFocusBefore != nullptr && IsWindow(FFocusBefore) && IsWindowEnabled(FFocusBefore)) SetFocus(FFocusBefore);
  FRunning = false;
  if (FQuitPending) {
    FQuitPending = false;
    PostQuitMessage(static_cast<int>(FQuitCode));
  }
}

void TDialogExportRun::ShowWarnings(const std::vector<std::string>& warnings) const {
  std::string text = warnings.size() == 1 ? "The asset was exported with a warning:\r\n"
                                          : "The asset was exported with " + std::to_string(warnings.size()) +
                                                " warnings:\r\n";
  for (std::size_t i = 0; i < warnings.size() && i < kWarningsShown; ++i) text += "\r\n" + warnings[i];
  if (warnings.size() > kWarningsShown)
    text += "\r\n\r\n...and " + std::to_string(warnings.size() - kWarningsShown) + " more.";
  ShowMessage(FForm, text, MB_ICONWARNING);
}
