#pragma once
// The export dialog's texts and choices that do not need a window: the scale
// description, the category list and the settings file's name. Kept apart
// from the Windows code so that they are tested on every platform.

#include <array>
#include <string>
#include <string_view>

// The categories of the drop-down list, in the order shown.
inline constexpr std::array<std::string_view, 5> AssetCategories = {"Buildings", "Props", "Wall", "Characters",
                                                                    "Creatures"};

// "(1 Tarnix unit = %s in the Veldara)" with the scale, in millimetres per
// editor unit, as millimetres below 10, centimetres below 1000 and metres
// from there; "" for a text that is no valid scale or whose value is 0.
std::string ScaleDescription(std::string_view scaleText);

// The index of the category among AssetCategories, compared without regard
// to letter case; -1 when it is none of them.
int CategoryIndex(std::string_view category);

// The file name with its extension (from the last "." of the last path part
// on) replaced by `extension`; appended when it has none.
std::string ChangeFileExt(std::string_view fileName, std::string_view extension);
