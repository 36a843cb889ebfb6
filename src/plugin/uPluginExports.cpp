// The nine functions the editor finds in the library by name. The editor is
// not written in C++: nothing may leave these functions as a C++ exception.

#include <windows.h>

#include "host/uPlugin.h"
#include "ui/MainFm.h"
#include "ui/uForms.h"

// Exported through ExportVeldaraMesh.def alone, which sets names and ordinals.
#define PLUGIN_EXPORT extern "C"

PLUGIN_EXPORT void __stdcall PluginExecute() noexcept {
  // Numbers are read and written with "." by the plug-in's own number code
  // (uNumbers), whatever the user's locale, so the process's locale is left
  // as the editor set it.
  try {
    TMainForm form;
    form.ShowModal();
  } catch (...) {
    HandleException(ApplicationWindow);
  }
}

PLUGIN_EXPORT void __stdcall PluginSetCallback(TPluginCallback callback) noexcept { HostCallback = callback; }

PLUGIN_EXPORT const char* __stdcall PluginEmail() noexcept { return "exporter@veldara.example"; }

PLUGIN_EXPORT const char* __stdcall PluginAuthor() noexcept { return "Veldara Tools Team"; }

PLUGIN_EXPORT const char* __stdcall PluginVersion() noexcept { return "1.0"; }

// The version is a string literal, so its view ends in a zero byte.
PLUGIN_EXPORT const char* __stdcall PluginTarnixVersion() noexcept { return TarnixInterfaceVersion.data(); }

PLUGIN_EXPORT const char* __stdcall PluginDescription() noexcept { return "Veldara Mesh Exporter"; }

PLUGIN_EXPORT const char* __stdcall PluginName() noexcept { return "Veldara Exporter"; }

PLUGIN_EXPORT void __stdcall PluginInitialize(HWND applicationWindow) noexcept { ApplicationWindow = applicationWindow; }
