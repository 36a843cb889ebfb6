#include "ui/uMisc.h"

#include <objbase.h>
#include <shlobj.h>

#include "ui/uForms.h"

std::string GetModulePath() {
  char buffer[262] = {};
  const DWORD length = GetModuleFileNameA(ModuleInstance(), buffer, sizeof buffer);
  return {buffer, static_cast<std::size_t>(length < sizeof buffer ? length : sizeof buffer - 1)};
}

namespace {

// Selects the initial folder once the dialog is up; the folder's text comes
// in through the browse description's lParam.
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}

// The new dialog style needs COM on the calling thread. The editor has
// usually started it already; then this only counts one more use of it.
class TComScope {
public:
  TComScope() : FStarted(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~TComScope() {
    if (FStarted) CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

private:
  bool FStarted;
};

}  // namespace

std::string BrowseForFolder(const std::string& title, const std::string& initialFolder, HWND owner) {
  TComScope com;
  char displayName[261] = {};
  BROWSEINFOA info{};
  info.hwndOwner = owner != nullptr ? owner : ApplicationWindow;
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = title.c_str();
  // Only file-system folders, in the resizable dialog with its own edit line.
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  static_assert((BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE) == 65);
  if (!initialFolder.empty()) {
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());
  }

  std::string result;
  if (PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info)) {
    char path[MAX_PATH + 1] = {};
    if (SHGetPathFromIDListA(item, path)) result = path;
    CoTaskMemFree(item);
  }
  return result;
}
