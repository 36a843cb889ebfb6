#pragma once
// The export options of the command line, read from their arguments: each
// either a value the jobs take or a TUsageError with the message the user
// sees. Shared by `export`, `mesh` and `batch`.

#include <string>
#include <string_view>

#include "asset/AssetExportOptions.h"
#include "asset/SceneSource.h"
#include "cli/CommandArguments.h"
#include "mesh/MeshExportOptions.h"

// An argument in Latin-1, as the core takes names (see uArgumentText.h);
// one that cannot be is a usage error.
std::string Latin1Argument(const std::string& argument, std::string_view what);

// The scale in millimetres per editor unit, checked as the export dialog checks it.
float ParseScale(const std::string& text);

// "--ogre-version" and "--mesh-version": names in quotes for OGRE 1.7 and
// later, the mesh in the format that OGRE version writes itself, unless
// --mesh-version names one; --lod and --optimize.
TMeshTarget ParseMeshTarget(const TCommandArguments& arguments);

// The folder the textures are read from: the one given, which must be a
// folder (a mistyped one would turn every texture into a warning of its own),
// or else the scene file's.
std::string TextureFolder(const std::string& sceneFile, const std::string& given);
// The same as the exporters join it to file names: with exactly one
// delimiter at its end (none for the current folder).
std::string TextureSourceFolder(const std::string& sceneFile, const std::string& given);

// The asset options of `export` for one scene: name and category in
// Latin-1 and fit, a repository, the scale, the target, the texture folder.
TAssetExportOptions AssetExportOptions(const TCommandArguments& arguments, const std::string& sceneFile,
                                       const std::string& assetName, const std::string& category);

// A scene file as the jobs read it, its reading shown as "Reading scene file...".
TSceneSource SceneFileSource(const std::string& sceneFile);
