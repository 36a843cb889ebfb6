#include "ui/DialogSettings.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "base/uException.h"
#include "platform/uIniFile.h"
#include "ui/uDialogText.h"
#include "ui/uMisc.h"

namespace {
constexpr const char* kSettingsSection = "export";
constexpr const char* kRepositoryKey = "Software\\Veldara\\AssetRepository";
constexpr const char* kRepositoryValue = "RepositoryDirectory";

class TRegistryKey {
public:
  TRegistryKey(HKEY root, const char* name) {
    if (RegOpenKeyExA(root, name, 0, KEY_READ, &FKey) != ERROR_SUCCESS) FKey = nullptr;
  }
  ~TRegistryKey() {
    if (FKey != nullptr) RegCloseKey(FKey);
  }
  TRegistryKey(const TRegistryKey&) = delete;
  TRegistryKey& operator=(const TRegistryKey&) = delete;
  HKEY Handle() const { return FKey; }

private:
  HKEY FKey = nullptr;
};
}  // namespace

std::string DialogSettingsFile() { return ChangeFileExt(GetModulePath(), ".ini"); }

TDialogSettings LoadDialogSettings(const std::string& file) {
  TDialogSettings settings;
  settings.AssetName = ReadIniString(file, kSettingsSection, "asset", "");
  settings.Scale = ReadIniString(file, kSettingsSection, "scale", settings.Scale);
  settings.Category = ReadIniString(file, kSettingsSection, "category", "");
  settings.Optimize = ReadIniString(file, kSettingsSection, "optimize", "0") == "1";
  settings.Repository = ReadIniString(file, kSettingsSection, "repository", "");
  return settings;
}

void SaveDialogSettings(const TDialogSettings& settings, const std::string& file) {
  const std::pair<const char*, std::string> values[] = {
      {"asset", settings.AssetName},
      {"repository", settings.Repository},
      {"category", settings.Category},
      {"scale", settings.Scale},
      {"optimize", settings.Optimize ? "1" : "0"},
  };
  for (const auto& [key, value] : values)
    if (!WritePrivateProfileStringA(kSettingsSection, key, value.c_str(), file.c_str()))
      RaiseError("Unable to write to %s", {file});
}

std::string DefaultRepository() {
  const TRegistryKey key(HKEY_CURRENT_USER, kRepositoryKey);
  if (key.Handle() == nullptr) return {};

  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.Handle(), kRepositoryValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
  // Only text will do; an expandable text is taken as it stands.
  if (type != REG_SZ && type != REG_EXPAND_SZ) RaiseError("Invalid data type for '%s'", {kRepositoryValue});

  std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
  DWORD read = size;
  if (RegQueryValueExA(key.Handle(), kRepositoryValue, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &read) !=
      ERROR_SUCCESS)
    return {};
  // The stored text may or may not count its terminating zero.
  return std::string(buffer.data());
}
