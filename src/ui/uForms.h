#pragma once
// The little of a user-interface library that the export dialog needs on top
// of the Win32 API: the application window that owns our windows, the
// plug-in's own module, window texts, and the message box in which an error
// that reaches the top of an event handler is shown.
//
// Everything here runs on the editor's user-interface thread.

#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

// The editor's main window, handed over by PluginInitialize: the owner of
// every window the plug-in opens, so that they stay in front of the editor.
// Null until then; windows are then owned by nobody.
extern HWND ApplicationWindow;

// The caption of the plug-in's message boxes.
inline constexpr const char* ApplicationTitle = "Veldara Exporter";

// The module the plug-in's code lives in (the DLL itself, not the editor's
// executable): where its resources and window classes belong.
HINSTANCE ModuleInstance();

// The message an error carries, for the user: our own errors' texts, the
// runtime's for the rest.
std::string ExceptionMessage(const std::exception_ptr& error) noexcept;

// Shows the current exception's message in a message box owned by `owner`
// (the application window when null). For use inside catch blocks at the top
// of an event handler; never throws.
void HandleException(HWND owner) noexcept;

// A plain message box owned by `owner` (the application window when null).
void ShowMessage(HWND owner, std::string_view text, UINT icon) noexcept;

std::string GetWindowTextString(HWND window);

// Sets a control's text only when it differs: an edit then reports a change
// only for a real one, as the dialog's change handlers expect.
void SetWindowTextString(HWND window, const std::string& text);

// Shows a text in a simple status bar and paints it at once: between two
// rounds of messages an export paints nothing.
void SetStatusText(HWND statusBar, const std::string& text);

// Owns one GDI object (font, bitmap, brush) and deletes it at the end.
class TGdiObject {
public:
  TGdiObject() = default;
  explicit TGdiObject(HGDIOBJ object) : FObject(object) {}
  ~TGdiObject() { Reset(); }
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;

  void Reset(HGDIOBJ object = nullptr) {
    if (FObject != nullptr) DeleteObject(FObject);
    FObject = object;
  }
  HGDIOBJ Get() const { return FObject; }
  HFONT Font() const { return static_cast<HFONT>(FObject); }
  HBITMAP Bitmap() const { return static_cast<HBITMAP>(FObject); }

private:
  HGDIOBJ FObject = nullptr;
};

// A memory device context with one object selected into it, restored and
// freed at the end.
class TMemoryDC {
public:
  explicit TMemoryDC(HGDIOBJ selected);
  ~TMemoryDC();
  TMemoryDC(const TMemoryDC&) = delete;
  TMemoryDC& operator=(const TMemoryDC&) = delete;
  HDC Handle() const { return FDC; }

private:
  HDC FDC;
  HGDIOBJ FPrevious;
};
