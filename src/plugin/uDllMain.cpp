// The library's entry point. The plug-in does no work when it is loaded or
// unloaded: the C++ runtime sets up its own state before this runs, the
// editor hands over everything else through the exports.

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  // The plug-in starts no threads and keeps no per-thread state, so it needs
  // no word of the editor's threads coming and going.
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
