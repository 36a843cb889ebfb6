#pragma once
// The two operating-system services that only the export dialog uses.

#include <windows.h>

#include <string>

// The full file name of the plug-in library itself (not of the editor that
// loaded it), at most 261 characters.
std::string GetModulePath();

// Shows the shell's folder-browse dialog, owned by `owner` (the application
// window when null), with `initialFolder` selected when it is not empty.
// Returns the chosen folder's file-system path, or "" when the user cancels
// or picks an item that has no file-system path.
std::string BrowseForFolder(const std::string& title, const std::string& initialFolder, HWND owner);
