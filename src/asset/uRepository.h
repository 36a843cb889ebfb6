#pragma once
// The rules of an asset repository, in one place for the command line and
// the export dialog: its folders, and which asset names and categories are
// fit (where an asset's files go is AssetLayout.h's).
//
// An asset name may hold folders, which place its files one level deeper in
// each folder of the repository. "/" and "\" both separate them, on every
// platform, as the repository travels between systems; the definitions write
// them as "\".

#include <string>
#include <string_view>
#include <vector>

#include "platform/uFileSystem.h"

// The repository's folders, in the order the layout lists them.
inline constexpr const char* RepositoryFolders[] = {"Meshes", "Materials", "Textures", "Physics", "AssetDefinitions"};

// Empty when the name is fit for an asset; otherwise the message that says
// why not. Refused: an empty name, an absolute path, a drive, an empty, "."
// or ".." part, a part ending in a dot or a blank, a part that Windows opens
// as a device, a character that Windows does not allow in a file name, and
// control characters (C1 included: the name is Latin-1 text).
std::string AssetNameProblem(const std::string& assetName);

// Empty when the category can be written into the definitions; otherwise
// the message that says why not (a control character XML cannot hold).
std::string CategoryProblem(const std::string& category);

// The parts of a fit asset name: its folders, then its own name.
std::vector<std::string> AssetNameParts(const std::string& assetName);
