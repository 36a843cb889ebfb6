#include "cli/ExportOptions.h"

#include <algorithm>

#include "asset/uRepository.h"
#include "base/uNumbers.h"
#include "cli/uArgumentText.h"
#include "cli/uSceneFile.h"
#include "mesh/LevelsOfDetail.h"
#include "platform/uFileSystem.h"
#include "scene/uXMLSceneReader.h"

namespace {
// "--ogre-version": names in quotes for OGRE 1.7 and later, the platform's
// form for older versions and when none is given; the mesh in the format that
// version writes itself, so that it loads the mesh without calling it old
// (1.30, which every version reads, up to 1.7). Only a version is taken,
// "1.12" or "2.1".
TMeshTarget ParseOgreVersion(const std::string& text) {
  if (text.empty()) return {};
  const auto isNumber = [](const std::string& part) {
    return !part.empty() && part.size() <= 4 && std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  const std::size_t dot = text.find('.');
  const std::string major = text.substr(0, dot), minor = dot == std::string::npos ? "" : text.substr(dot + 1);
  if (!isNumber(major) || !isNumber(minor)) throw TUsageError("Please specify an OGRE version such as 1.12.");
  const auto before = [&](int otherMinor) {
    return std::stoi(major) < 1 || (std::stoi(major) == 1 && std::stoi(minor) < otherMinor);
  };
  TMeshTarget target;
  target.MaterialNameForm = before(7) ? TMaterialNameForm::Platform : TMaterialNameForm::Quoted;
  target.MeshFormat = before(8) ? TMeshFormat::V1_30 : before(10) ? TMeshFormat::V1_8 : TMeshFormat::V1_100;
  return target;
}

// "--mesh-version": the format by its header's number. "1.10" is OGRE's own
// name for 1.100 (its mesh upgrader takes it), so it is taken as well.
TMeshFormat ParseMeshVersion(const std::string& text) {
  if (text == "1.30") return TMeshFormat::V1_30;
  if (text == "1.8") return TMeshFormat::V1_8;
  if (text == "1.10" || text == "1.100") return TMeshFormat::V1_100;
  throw TUsageError("Please specify a mesh version: 1.30, 1.8, 1.10 or 1.100.");
}

// "--lod": levels of detail beyond the full mesh, a whole number from 0 to 8.
int ParseLodLevels(const std::string& text) {
  if (text.size() != 1 || text[0] < '0' || text[0] > '0' + kMostDetailLevels)
    throw TUsageError("Please specify the levels of detail as a whole number from 0 to " +
                      std::to_string(kMostDetailLevels) + ".");
  return text[0] - '0';
}

// A folder as the exporter joins it to file names:
// with exactly one delimiter at its end.
std::string WithTrailingDelimiter(std::string folder) {
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  return folder;
}
}  // namespace

std::string Latin1Argument(const std::string& argument, std::string_view what) {
  TLatin1Argument latin1 = ArgumentAsLatin1(argument, what);
  if (!latin1.Problem.empty()) throw TUsageError(latin1.Problem);
  return std::move(latin1.Text);
}

float ParseScale(const std::string& text) {
  if (!IsValidScale(text)) throw TUsageError("Please specify a (valid) scale.");
  return StrToFloat(text);
}

TMeshTarget ParseMeshTarget(const TCommandArguments& arguments) {
  TMeshTarget target = ParseOgreVersion(arguments.OgreVersion);
  if (!arguments.MeshVersion.empty()) target.MeshFormat = ParseMeshVersion(arguments.MeshVersion);
  target.LodLevels = ParseLodLevels(arguments.Lod);
  target.OptimizeForDrawing = arguments.Optimize;
  return target;
}

std::string TextureFolder(const std::string& sceneFile, const std::string& given) {
  if (given.empty()) return FolderOf(sceneFile);
  if (!DirectoryExists(given))
    RaiseError(NameExists(given) ? "The texture folder %s is not a folder." : "The texture folder %s does not exist.",
               {given});
  return given;
}

std::string TextureSourceFolder(const std::string& sceneFile, const std::string& given) {
  return WithTrailingDelimiter(TextureFolder(sceneFile, given));
}

TAssetExportOptions AssetExportOptions(const TCommandArguments& arguments, const std::string& sceneFile,
                                       const std::string& assetName, const std::string& category) {
  TAssetExportOptions options;
  options.Target = ParseMeshTarget(arguments);
  options.AssetName = Latin1Argument(assetName, "asset name");
  options.Category = Latin1Argument(category, "category");
  for (const std::string& problem : {AssetNameProblem(options.AssetName), CategoryProblem(options.Category)})
    if (!problem.empty()) throw TUsageError(problem);
  if (arguments.Repository.empty()) throw TUsageError("Please specify a repository.");
  options.Repository = arguments.Repository;
  options.Scale = ParseScale(arguments.Scale);
  options.CreateRepositoryFolders = arguments.Init;
  options.TextureSource = [folder = TextureSourceFolder(sceneFile, arguments.TextureDirectory)] { return folder; };
  return options;
}

TSceneSource SceneFileSource(const std::string& sceneFile) {
  return {"Reading scene file...", [sceneFile](TXMLSceneReader& reader) { return ReadSceneFile(sceneFile, reader); }};
}
