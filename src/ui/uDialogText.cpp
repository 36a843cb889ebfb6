#include "ui/uDialogText.h"

#include "base/uException.h"
#include "base/uNumbers.h"
#include "platform/uFileSystem.h"

std::string ScaleDescription(std::string_view scaleText) {
  if (!IsValidFloat(scaleText)) return {};
  // The scale is used as a single-precision number, so it is described as one.
  const float scale = StrToFloat(scaleText);
  if (scale == 0.0f) return {};

  const double millimetres = scale;
  std::string amount;
  if (millimetres < 10.0)
    amount = FormatGeneral(millimetres) + " mm";
  else if (millimetres < 1000.0)
    amount = FormatGeneral(millimetres / 10.0) + " cm";
  else
    amount = FormatGeneral(millimetres / 1000.0) + " m";
  return FormatText("(1 Tarnix unit = %s in the Veldara)", {amount});
}

int CategoryIndex(std::string_view category) {
  const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < AssetCategories.size(); ++i) {
    const std::string_view item = AssetCategories[i];
    if (item.size() != category.size()) continue;
    bool same = true;
    for (std::size_t k = 0; k < item.size() && same; ++k) same = lower(item[k]) == lower(category[k]);
    if (same) return static_cast<int>(i);
  }
  return -1;
}

std::string ChangeFileExt(std::string_view fileName, std::string_view extension) {
  // Only a dot in the last path part starts an extension: "C:\a.b\file" has none.
  const std::size_t dot = fileName.rfind('.');
  const bool inName = dot != std::string_view::npos && dot >= FileNameStart(fileName, EditorPathDelimiters);
  const std::size_t stem = inName ? dot : fileName.size();
  std::string result(fileName.substr(0, stem));
  result += extension;
  return result;
}
