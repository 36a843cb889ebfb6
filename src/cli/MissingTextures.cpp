#include "cli/MissingTextures.h"

#include "asset/KVMeshExporterCl.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "platform/uFileSystem.h"
#include "scene/uScene.h"

std::vector<std::string> MissingTextures(const TScene& scene, const std::string& textureFolder) {
  TMeshExportOptions options;
  options.FilterPrimitive = KVMeshExporterT::AcceptPrimitive;
  std::string folder = textureFolder;
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += PathDelimiter;
  options.TextureSource = [folder] { return folder; };
  // The exporter joins the folder and the names as the copy does.
  QZOgreMeshExporterT exporter(scene, options);
  exporter.Build();
  std::vector<std::string> missing;
  for (const auto& texture : exporter.GetTextures())
    if (!texture->IsColor && !FileExists(exporter.TextureSourcePath(*texture))) missing.push_back(texture->FileName);
  return missing;
}
