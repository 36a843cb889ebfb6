#pragma once
// What the export dialog remembers between runs: the fields as the user left
// them, in an INI file beside the plug-in ("ExportVeldaraMesh.ini", section
// [export]), and the platform's default repository, which its installer
// keeps in the registry.

#include <string>

struct TDialogSettings {
  std::string AssetName;
  // Empty: the registry's default repository, read again at every start;
  // only a repository the user chose is stored.
  std::string Repository;
  std::string Category;
  std::string Scale = "10";
  // Off unless stored as on: a fresh install writes the mesh as it always was.
  bool Optimize = false;
};

// The INI file beside the plug-in library.
std::string DialogSettingsFile();

// The settings stored in `file`; those missing keep their defaults.
TDialogSettings LoadDialogSettings(const std::string& file);

// Stores every setting; raises "Unable to write to %s" naming the file.
void SaveDialogSettings(const TDialogSettings& settings, const std::string& file);

// The repository in HKEY_CURRENT_USER\Software\Veldara\AssetRepository,
// value RepositoryDirectory; empty when there is none. Raises "Invalid data
// type for 'RepositoryDirectory'" when the value is not text.
std::string DefaultRepository();
