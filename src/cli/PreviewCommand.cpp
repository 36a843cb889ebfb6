#include "cli/PreviewCommand.h"

#include <string>

#include "asset/uRepository.h"
#include "cli/ExportOptions.h"
#include "cli/PreviewRendering.h"

namespace {
// "WxH", each from 2 to 8192 pixels.
void ParsePictureSize(const std::string& text, int& width, int& height) {
  const std::size_t x = text.find('x');
  const auto number = [&](const std::string& digits) {
    if (digits.empty() || digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::stoi(digits);
  };
  width = x == std::string::npos ? 0 : number(text.substr(0, x));
  height = x == std::string::npos ? 0 : number(text.substr(x + 1));
  if (width < 2 || height < 2 || width > 8192 || height > 8192)
    throw TUsageError("Please specify the picture's size as WIDTHxHEIGHT, each from 2 to 8192 pixels.");
}
// The preview's "--lod": a level of a mesh, whose count OGRE keeps in 16 bits.
int ParseDetailLevel(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos ||
      std::stoi(text) > 65534)
    throw TUsageError("Please specify the level of detail as a whole number: 0 for the full mesh, 1 for the first "
                      "level beyond it, and so on.");
  return std::stoi(text);
}
}  // namespace

void RunPreviewCommand(const TCommandArguments& arguments, const TCommandStreams& streams) {
  const bool ofAsset = arguments.MeshFile.empty();
  if (ofAsset && (arguments.Repository.empty() || arguments.AssetName.empty()))
    throw TUsageError("Please specify a repository and an asset, or --mesh FILE.mesh.");
  std::string assetName = arguments.AssetName;
  if (ofAsset) assetName = Latin1Argument(assetName, "asset name");
  if (ofAsset && !AssetNameProblem(assetName).empty()) throw TUsageError(AssetNameProblem(assetName));
  int width = 0, height = 0;
  ParsePictureSize(arguments.Size, width, height);
  // Checked on every build, so that a wrong level is the same usage error everywhere.
  const int detailLevel = ParseDetailLevel(arguments.PreviewLod);
  RenderPreview(arguments, {assetName, width, height, detailLevel}, streams);
}
