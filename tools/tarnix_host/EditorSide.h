#pragma once
// tarnix-host's editor: the callback that answers the plug-in's requests the
// way the Tarnix editor does, the state it keeps for the checks, and the
// editor's main window that owns the plug-in's windows.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/uPlugin.h"

struct THostState {
  // The scene document as the editor replies it: the file's bytes padded the
  // way editors pad replies, a line end and a zero byte. It is the one copy
  // of the document in this process; a reply is handed over from it.
  std::string SceneReply;
  std::string InstallDirectory;
  // Scene requests still to be refused with error code 5 before one is served.
  int SceneFailures = 0;
  std::vector<std::string> Requests;
  bool ProtocolKept = true;
  std::string ProtocolProblem;
  // Stage 0's reply, handed over in stage 1: a view of SceneReply or of
  // OtherReply, so that the scene is never copied inside the editor.
  std::string_view PendingReply;
  std::string OtherReply;
  // Called with each request once its reply is handed over: on the UI
  // thread, inside the plug-in's export, where a scenario looks at the
  // dialog as it is while the export runs.
  std::function<void(const std::string& request)> OnReplied;
};

extern THostState gHost;

extern const std::string kSceneRequest;
extern const std::string kInstallDirectoryRequest;

// Reads the scene document into gHost.SceneReply with one allocation of its
// final size, as large replies must be read in a 32-bit process whose
// address space a growing string would break up. False when the file cannot
// be read whole; throws TSceneTooLarge when this process has no block of
// memory that holds it (a stand-in editor of 2 GB cannot hold much above a
// 600 MB reply), which says nothing about the plug-in.
struct TSceneTooLarge {};
bool LoadSceneReply(const std::string& fileName);

// The editor's callback: stage 0 announces the reply's size, stage 1 copies it.
int32_t __stdcall HostCallbackFunction(TCallbackData* data);

// The editor's main window, hidden, which owns the plug-in's windows.
HWND CreateEditorWindow();

// An export as the function type the interface gives it.
template <typename F>
F ExportAs(FARPROC address) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(address));
}
