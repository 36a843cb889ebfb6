#include "cli/InspectCommand.h"

#include <memory>
#include <string>
#include <vector>

#include "base/uNumbers.h"
#include "cli/DrawCallCount.h"
#include "cli/ExportOptions.h"
#include "cli/MissingTextures.h"
#include "cli/uSceneFile.h"
#include "cli/uSceneJson.h"
#include "cli/uSceneSummary.h"
#include "scene/uScene.h"

void RunInspectCommand(const TCommandArguments& arguments, const TCommandStreams& streams) {
  const float millimetres = StrToFloat(kDefaultScale);
  const std::string& given = arguments.TextureDirectory;
  const std::string textureFolder = given.empty() ? "" : TextureFolder(arguments.SceneFile, given);
  const std::unique_ptr<TScene> scene = ReadSceneFile(arguments.SceneFile, millimetres);
  // The mesh is built as the export builds it, whose welding compares normals.
  if (arguments.DrawCalls || !textureFolder.empty()) scene->CalculateNormals(ExportSmoothingAngle);
  const TDrawCalls counts = arguments.DrawCalls ? CountDrawCalls(*scene) : TDrawCalls{};
  const std::vector<std::string> missing =
      textureFolder.empty() ? std::vector<std::string>{} : MissingTextures(*scene, textureFolder);
  if (arguments.Json) {
    WriteSceneJson(*scene, millimetres, arguments.DrawCalls ? &counts : nullptr,
                   textureFolder.empty() ? nullptr : &missing, streams.Out);
  } else {
    WriteSceneSummary(*scene, millimetres, streams.Out);
    if (arguments.DrawCalls) WriteDrawCalls(counts, streams.Out);
    if (!textureFolder.empty()) WriteMissingTextures(missing, textureFolder, streams.Out);
  }
}
