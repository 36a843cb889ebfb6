#include "ui/uForms.h"

#include <commctrl.h>

#include <new>
#include <vector>

#include "base/uException.h"

HWND ApplicationWindow = nullptr;

HINSTANCE ModuleInstance() {
  // The module that holds this very function: the DLL when the code runs in
  // the plug-in, the program itself when it is linked into a test.
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ModuleInstance), &module);
  return module;
}

std::string ExceptionMessage(const std::exception_ptr& error) noexcept {
  try {
    try {
      std::rethrow_exception(error);
    } catch (const TException& exception) {
      return exception.Message();
    } catch (const std::bad_alloc&) {
      return "Out of memory.";
    } catch (const std::exception& exception) {
      return exception.what();
    } catch (...) {
      return "An unknown error occurred.";
    }
  } catch (...) {
    // Copying the message itself failed: there is no memory left for it.
    return {};
  }
}

void ShowMessage(HWND owner, std::string_view text, UINT icon) noexcept {
  if (owner == nullptr) owner = ApplicationWindow;
  // Without any owner the box still keeps the user from our other windows.
  const UINT modality = owner != nullptr ? 0u : static_cast<UINT>(MB_TASKMODAL);
  try {
    const std::string message(text);
    MessageBoxA(owner, message.c_str(), ApplicationTitle, MB_OK | icon | modality);
  } catch (...) {
    MessageBoxA(owner, "Out of memory.", ApplicationTitle, MB_OK | MB_ICONERROR | modality);
  }
}

void HandleException(HWND owner) noexcept {
  const std::string message = ExceptionMessage(std::current_exception());
  ShowMessage(owner, message.empty() ? std::string_view("Out of memory.") : std::string_view(message), MB_ICONERROR);
}

std::string GetWindowTextString(HWND window) {
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return {};
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(window, buffer.data(), length + 1);
  return {buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0)};
}

void SetWindowTextString(HWND window, const std::string& text) {
  if (GetWindowTextString(window) != text) SetWindowTextA(window, text.c_str());
}

TMemoryDC::TMemoryDC(HGDIOBJ selected) : FDC(CreateCompatibleDC(nullptr)), FPrevious(nullptr) {
  if (FDC == nullptr) RaiseError("Cannot create a device context for drawing.");
  FPrevious = SelectObject(FDC, selected);
}

TMemoryDC::~TMemoryDC() {
  SelectObject(FDC, FPrevious);
  DeleteDC(FDC);
}

void SetStatusText(HWND statusBar, const std::string& text) {
  SendMessageA(statusBar, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
  UpdateWindow(statusBar);
}
