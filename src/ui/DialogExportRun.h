#pragma once
// One export started by the dialog's OK: the export job on the editor's open
// scene, with the dialog locked while it runs. The status line shows the
// step and its percentage; the window messages that wait are handled every
// 100 ms or so, so that the dialog and the editor repaint and Windows does
// not take them for hung. The dialog's controls are disabled meanwhile and
// closing it is refused, so no message can start anything.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "asset/AssetExportOptions.h"

class TDialogExportRun {
public:
  // `form` is the dialog, `statusLine` its status bar.
  TDialogExportRun(HWND form, HWND statusLine) : FForm(form), FStatusLine(statusLine) {}

  // Exports the editor's scene with `options`, `controls` disabled
  // meanwhile. True when the asset was exported: its warnings, if any, were
  // shown in a message box. False when it failed: the message stands in the
  // status line. Nothing of an export's failure escapes.
  bool Run(const TAssetExportOptions& options, const std::vector<HWND>& controls);

  // An export runs: the dialog refuses commands and closing.
  bool Running() const { return FRunning; }

private:
  void Begin(const std::vector<HWND>& controls);
  void End();
  void ShowProgress(const std::string& step, int percent);
  void HandlePendingMessages();
  void ShowWarnings(const std::vector<std::string>& warnings) const;

  HWND FForm;
  HWND FStatusLine;
  bool FRunning = false;
  // The controls disabled for the export, each with whether it was enabled.
  std::vector<std::pair<HWND, bool>> FDisabled;
  HWND FFocusBefore = nullptr;
  // When waiting messages were last handled (GetTickCount).
  DWORD FLastMessages = 0;
  std::string FProgressStep;
  std::string FProgressText;
  // The editor asked to quit while the export ran: passed on after it.
  bool FQuitPending = false;
  WPARAM FQuitCode = 0;
};
