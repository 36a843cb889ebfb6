#include "mesh/QZOgreMeshExporterCl.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <optional>
#include <thread>
#include <unordered_map>

#include "base/uException.h"
#include "base/Parallel.h"
#include "mesh/BoundingRadius.h"
#include "mesh/DrawOptimization.h"
#include "mesh/LevelsOfDetail.h"
#include "mesh/PolygonTriangulation.h"
#include "mesh/QZOgreBinaryMeshWriter.h"
#include "mesh/QZOgreMaterialWriter.h"
#include "mesh/QZOgreVertexListCl.h"
#include "mesh/QZOgreXMLMeshWriter.h"
#include "mesh/SubMeshCutting.h"
#include "platform/uFileSystem.h"
#include "platform/uFileTransaction.h"
#include "scene/uColor.h"
#include "scene/uScene.h"
#include "xml/uXMLWriter.h"

namespace {
// The extension of a local path's file name, from its last ".", in lower case.
std::string LowerExtension(const std::string& path) {
  const std::string name = FileNameOf(path);
  const std::size_t dot = name.rfind('.');
  std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  return extension;
}

bool EndsWithIgnoringCase(const std::string& text, std::string_view ending) {
  if (text.size() < ending.size()) return false;
  for (std::size_t i = 0; i < ending.size(); ++i) {
    char c = text[text.size() - ending.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    if (c != ending[i]) return false;
  }
  return true;
}

// Bytes that no name in our files may hold: the binary mesh ends each string
// with a line feed, the material script is read line by line, and a zero byte
// ends a name wherever it passes through a C string (a file name, too).
bool HasLineBreakOrZero(std::string_view name) {
  return name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string BlendText(const TMaterialLayer& layer, int layerIndex) {
  if (layerIndex == 0 && layer.Blend == boReplace) return "modulate";
  return std::string(OgreBlendNames[layer.Blend]);
}
}  // namespace

std::string MaterialScriptName(const std::string& meshFileName) {
  for (const std::string_view ending : {".mesh.xml", ".xml", ".mesh"})
    if (EndsWithIgnoringCase(meshFileName, ending))
      return meshFileName.substr(0, meshFileName.size() - ending.size()) + ".material";
  const std::size_t dot = meshFileName.rfind('.');
  return (dot == std::string::npos ? meshFileName : meshFileName.substr(0, dot)) + ".material";
}

std::string TextureTargetName(const std::string& path) {
  // The scene's names are the editor's Windows paths.
  std::string name = FileNameOf(path, EditorPathDelimiters);
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

QZOgreMeshExporterT::QZOgreMeshExporterT(const TScene& scene, TMeshExportOptions options, TWarningSink warnings)
    : FScene(scene), FOptions(std::move(options)), FWarnings(std::move(warnings)) {}

void QZOgreMeshExporterT::Warn(const std::string& warning) const {
  if (FWarnings) FWarnings(warning);
}

void QZOgreMeshExporterT::Export(const std::string& fileName, TFileTransaction* transaction) {
  Build();
  std::optional<TFileTransaction> own;
  if (!transaction) transaction = &own.emplace();
  if (LowerExtension(fileName) == ".xml")
    WriteXMLMesh(fileName, transaction);
  else
    WriteBinaryMesh(fileName, transaction);
  if (FOptions.ExportMaterials) {
    const std::string folder = MaterialFolder(fileName);
    CreateDirectories(folder);
    WriteMaterialFile(folder + MaterialScriptName(FileNameOf(fileName)), transaction);
  }
  if (FOptions.CopyTextures) {
    const std::string folder = TextureFolder(fileName);
    CreateDirectories(folder);
    CopyTextureFiles(folder, *transaction);
  }
  if (own) own->Commit();
}

void QZOgreMeshExporterT::Build() {
  if (FBuilt) return;
  FBuilt = true;
  ProcessMaterials();
  ProcessPrimitives();
  RemoveUnusedMaterials();
  RemoveUnusedTextures();
  CheckNames();
  SplitSubMeshes();
  if (FOptions.Target.OptimizeForDrawing) {
    SetStatus("Optimising for drawing...");
    OptimizeForDrawing(FSubMeshes);
  }
}

// Refuses, before any file is written, the names that would corrupt the mesh
// or the material script, or place a texture copy somewhere unexpected.
// Blanks stay: the platform's material reader takes the rest of the line as
// the name, and texture names get underscores for them.
void QZOgreMeshExporterT::CheckNames() const {
  for (const auto& material : FMaterials) {
    if (HasLineBreakOrZero(material->Name))
      RaiseError("Material \"%s\" has a line break or a zero byte in its name.", {VisibleText(material->Name)});
    // Names reach the mesh's XML form, which cannot hold control characters.
    if (HasNonXMLControlCharacter(material->Name))
      RaiseError("Material \"%s\" has a control character in its name.", {VisibleText(material->Name)});
    if (FOptions.ExportMaterials) ScriptMaterialName(material->Name, FOptions.Target.MaterialNameForm);
  }
  if (!FOptions.ExportMaterials && !FOptions.CopyTextures) return;
  for (const auto& texture : FTextures) {
    if (texture->IsColor || (texture->IsLightmap && !FOptions.ExportLightmaps)) continue;
    const std::string name = TextureTargetName(texture->FileName);
    if (HasLineBreakOrZero(texture->FileName))
      RaiseError("Texture file \"%s\" has a line break or a zero byte in its name.", {VisibleText(texture->FileName)});
    if (HasNonXMLControlCharacter(texture->FileName))
      RaiseError("Texture file \"%s\" has a control character in its name.", {VisibleText(texture->FileName)});
    if (name.empty() || name == "." || name == "..")
      RaiseError("Texture file \"%s\" has no file name.", {texture->FileName});
    if (IsDeviceName(name)) RaiseError("Texture file \"%s\" has a name reserved for a device.", {texture->FileName});
    // Textures/ is read on Windows too, which refuses these in a file name.
    if (name.find_first_of("\"<>|?*\t") != std::string::npos)
      RaiseError("Texture file \"%s\" has a character that Windows does not allow in file names (\" < > | ? * or a "
                 "tab).",
                 {VisibleText(texture->FileName)});
  }
}

void QZOgreMeshExporterT::SetStatus(const std::string& text) {
  if (!FOptions.OnProgress) return;
  FStatusText = text;
  FOptions.OnProgress(text, 0);
}

void QZOgreMeshExporterT::SetProgress(int percent) {
  if (FOptions.OnProgress) FOptions.OnProgress(FStatusText, percent);
}

QZOgreTextureT& QZOgreMeshExporterT::FindOrAddTexture(const std::string& name) {
  QZOgreTextureT*& texture = FTextureIndex[name];
  if (!texture) {
    FTextures.push_back(std::make_unique<QZOgreTextureT>(name));
    texture = FTextures.back().get();
  }
  return *texture;
}

void QZOgreMeshExporterT::ProcessMaterials() {
  SetStatus("Processing materials...");
  const int count = FScene.MaterialCount();
  for (int i = 0; i < count; ++i) {
    const TMaterial& source = FScene.GetMaterial(i);
    auto material = std::make_unique<QZOgreMaterialT>();
    material->Name = FOptions.NamePrefix + source.Name;
    material->CreationOrder = i;
    for (int j = 0; j < source.LayerCount(); ++j) {
      const TMaterialLayer& layer = source.GetLayer(j);
      const bool isColor = layer.LayerType == lyColor;
      QZOgreTextureT& texture =
          FindOrAddTexture(isColor ? "color" + ColorToHex(layer.Color) + ".bmp" : layer.TextureFile);
      if (isColor) {
        texture.IsColor = true;
        texture.Color = layer.Color;
      }
      if (layer.IsLightmap) {
        material->Lightmapped = true;
        texture.IsLightmap = true;
        material->Name = FOptions.NamePrefix + "LightMapped" + std::to_string(FLightmapCount++);
      }
      material->AddTextureUnit(&texture, BlendText(layer, j), j);
    }
    FMaterials.push_back(std::move(material));
    SetProgress(i * 100 / count);
  }
}

void QZOgreMeshExporterT::ProcessPrimitives() {
  SetStatus("Processing primitives...");
  const int count = FScene.PrimitiveCount();
  const auto primitives = static_cast<std::size_t>(count);
  // The filter is the caller's, and may not be safe on other threads: it is
  // asked here, in order, and what it raises is raised below at its place.
  std::vector<char> included(primitives, 1);
  std::vector<std::exception_ptr> filterFailures(primitives);
  if (FOptions.FilterPrimitive)
    for (std::size_t p = 0; p < primitives; ++p) {
      try {
        included[p] = FOptions.FilterPrimitive(FScene.GetPrimitive(static_cast<int>(p)));
      } catch (...) {
        filterFailures[p] = std::current_exception();
      }
    }

  // Each primitive is built on whichever thread takes it, into its own
  // place; the sub-meshes follow in primitive order all the same. Progress
  // is reported on this thread, primitive after primitive as they are done.
  std::vector<TBuiltPrimitive> built(primitives);
  const auto done = std::make_unique<std::atomic<bool>[]>(primitives);
  std::size_t reported = 0;
  const auto report = [&] {
    for (; reported < primitives && done[reported].load(std::memory_order_acquire); ++reported)
      SetProgress(static_cast<int>(std::lround(static_cast<double>(reported) * 100.0 / count)));
  };
  const std::thread::id caller = std::this_thread::get_id();
  ForEachInParallel(primitives, [&](std::size_t p) {
    if (filterFailures[p]) std::rethrow_exception(filterFailures[p]);
    if (included[p]) built[p] = BuildPrimitive(FScene.GetPrimitive(static_cast<int>(p)));
    done[p].store(true, std::memory_order_release);
    if (std::this_thread::get_id() == caller) report();
  });
  report();
  for (TBuiltPrimitive& primitive : built) {
    if (!primitive.SubMesh) continue;
    for (QZOgreMaterialT* material : primitive.UsedMaterials) material->Used = true;
    FSubMeshes.push_back(std::move(primitive.SubMesh));
  }
}

QZOgreMeshExporterT::TBuiltPrimitive QZOgreMeshExporterT::BuildPrimitive(const TPrimitive& primitive) const {
  // The corners and triangles to come: room for them at once, so that the
  // lists never move what they hold while they grow.
  std::size_t corners = 0, triangles = 0;
  for (int i = 0; i < primitive.PolygonCount(); ++i) {
    const TPolygon& polygon = primitive.GetPolygon(i);
    if (!polygon.Material) RaiseError("Primitive \"%s\" has a polygon without material.", {primitive.Name});
    const auto count = static_cast<std::size_t>(polygon.VertexCount());
    if (count >= 3) {
      corners += count;
      triangles += count - 2;
    }
  }

  TBuiltPrimitive built;
  built.SubMesh = std::make_unique<QZOgreSubMeshT>();
  QZOgreSubMeshT* subMesh = built.SubMesh.get();
  subMesh->Faces.reserve(triangles);
  QZOgreVertexListT vertices;
  vertices.Reserve(corners);
  // Grids share each position among four corners, boxes among three: room
  // for a third of the corners' positions seldom needs to grow (a quarter
  // made every box's index grow once, at its eighth corner).
  vertices.ReservePositions(corners / 3);
  QZOgreVertexT corner;  // reused for every corner: no allocation per corner
  std::vector<int32_t> indices;
  std::vector<TCornerPosition> positions;
  std::vector<TCornerTriangle> triangleCorners;
  TTriangulationScratch scratch;
  // Nearly every primitive has one material for all its polygons: it is
  // looked up when it changes from one polygon to the next.
  const TMaterial* lastSource = nullptr;
  QZOgreMaterialT* material = nullptr;
  for (int i = 0; i < primitive.PolygonCount(); ++i) {
    const TPolygon& polygon = primitive.GetPolygon(i);
    if (polygon.Material != lastSource) {  // never null: refused above
      const int materialIndex = FScene.IndexOfMaterial(polygon.Material);
      if (materialIndex < 0) RaiseListIndexError(-1);
      material = FMaterials[static_cast<std::size_t>(materialIndex)].get();
      lastSource = polygon.Material;
    }
    const int cornerCount = polygon.VertexCount();
    if (cornerCount < 3) continue;
    if (std::find(built.UsedMaterials.begin(), built.UsedMaterials.end(), material) == built.UsedMaterials.end())
      built.UsedMaterials.push_back(material);

    indices.resize(static_cast<std::size_t>(cornerCount));
    positions.resize(static_cast<std::size_t>(cornerCount));
    const int sets = material->TextureUnitCount();
    for (int k = 0; k < cornerCount; ++k) {
      const TVertex& position = *polygon.GetVertex(k);
      corner.X = position.X;
      corner.Y = position.Y;
      corner.Z = position.Z;
      positions[static_cast<std::size_t>(k)] = {position.X, position.Y, position.Z};
      const TNormal& normal = polygon.NormalAt(k);
      corner.Normal.X = normal.X;
      corner.Normal.Y = normal.Y;
      corner.Normal.Z = normal.Z;
      corner.ClearTextureCoordinates();
      for (int s = 0; s < sets; ++s) {
        const TUVCoordinate uv = polygon.GetUVCoordinate(s, k);
        corner.AddTextureCoordinates(uv.U, uv.V);
      }
      indices[static_cast<std::size_t>(k)] = vertices.AddOrMerge(corner);
    }
    // A fan for a convex polygon, ears clipped for one with a notch.
    TriangulatePolygon(positions, triangleCorners, scratch);
    for (const TCornerTriangle& t : triangleCorners)
      subMesh->AddFace(indices[static_cast<std::size_t>(t[0])], indices[static_cast<std::size_t>(t[1])],
                       indices[static_cast<std::size_t>(t[2])], material);
  }
  subMesh->Vertices = vertices.TakeVertices();
  // Room was made for every corner, but welding leaves a grid of quads about
  // one vertex in four: the rest would stay unused until the export ends.
  if (subMesh->Vertices.size() < subMesh->Vertices.capacity() / 4 * 3) subMesh->Vertices.shrink_to_fit();
  return built;
}

void QZOgreMeshExporterT::RemoveUnusedMaterials() {
  std::erase_if(FMaterials, [](const auto& material) { return !material->Used; });
}

void QZOgreMeshExporterT::RemoveUnusedTextures() {
  std::unordered_map<const QZOgreTextureT*, bool> referenced;
  for (const auto& texture : FTextures) referenced.emplace(texture.get(), false);
  for (const auto& material : FMaterials)
    for (const QZOgreTextureUnitT& unit : material->TextureUnits) {
      const auto found = referenced.find(unit.Texture);
      if (found == referenced.end()) RaiseError("Texture not found in list.");
      found->second = true;
    }
  std::erase_if(FTextures, [&](const auto& texture) {
    if (referenced[texture.get()]) return false;
    FTextureIndex.erase(texture->FileName);
    return true;
  });
}

namespace {
// A sub-mesh split by material: itself when one material covers every
// vertex, as nearly always, otherwise its runs as pieces.
struct TSplitSubMesh {
  std::unique_ptr<QZOgreSubMeshT> Whole;
  std::vector<std::unique_ptr<QZOgreSubMeshT>> Pieces;
};

void SplitSubMesh(std::unique_ptr<QZOgreSubMeshT>& source, TSplitSubMesh& split) {
  // Old vertex number to new, -1 for a vertex the run does not use. Only the
  // entries a run touched are reset after it, so that a primitive of many
  // materials costs the size of its runs, not runs times vertices.
  thread_local std::vector<int32_t> newIndex;
  thread_local std::vector<int32_t> used;
  newIndex.assign(source->Vertices.size(), -1);
  source->SortFaces();
  const std::vector<QZOgreFaceInfoT>& faces = source->Faces;
  const bool singleRun = !faces.empty() && faces.front().Material == faces.back().Material;
  for (std::size_t first = 0; first < faces.size();) {
    QZOgreMaterialT* material = faces[first].Material;
    std::size_t end = first;
    while (end < faces.size() && faces[end].Material == material) ++end;

    used.clear();
    for (std::size_t f = first; f < end; ++f)
      for (int32_t index : faces[f].Indices)
        if (newIndex[static_cast<std::size_t>(index)] < 0) {
          newIndex[static_cast<std::size_t>(index)] = 0;
          used.push_back(index);
        }
    if (singleRun && used.size() == source->Vertices.size()) {
      // One material on every vertex: the sub-mesh is already what the split
      // would copy it into.
      for (QZOgreFaceInfoT& face : source->Faces) face.Material = nullptr;
      source->Material = material;
      split.Whole = std::move(source);
      return;
    }
    // The run's vertices keep their old order; each index becomes the number
    // of used vertices before it.
    std::sort(used.begin(), used.end());
    for (std::size_t u = 0; u < used.size(); ++u) newIndex[static_cast<std::size_t>(used[u])] = static_cast<int32_t>(u);
    auto target = std::make_unique<QZOgreSubMeshT>();
    target->Material = material;
    target->Vertices.reserve(used.size());
    for (const int32_t v : used) {
      // With one material the old sub-mesh is not needed again: move, don't copy.
      QZOgreVertexT& vertex = source->Vertices[static_cast<std::size_t>(v)];
      target->AddVertex(singleRun ? std::move(vertex) : vertex.Clone());
    }
    target->Faces.reserve(end - first);
    for (std::size_t f = first; f < end; ++f) {
      target->AddFaceCopy(faces[f]);
      for (int32_t& index : target->Faces.back().Indices) index = newIndex[static_cast<std::size_t>(index)];
    }
    for (const int32_t v : used) newIndex[static_cast<std::size_t>(v)] = -1;
    split.Pieces.push_back(std::move(target));
    first = end;
  }
  // Its runs are copied: freed now, not when every primitive is split, so
  // that the model is never held twice.
  source.reset();
}
}  // namespace

void QZOgreMeshExporterT::SplitSubMeshes() {
  std::vector<std::unique_ptr<QZOgreSubMeshT>> old = std::move(FSubMeshes);
  FSubMeshes.clear();
  // Each sub-mesh is split on whichever thread takes it; the results follow
  // in order.
  std::vector<TSplitSubMesh> split(old.size());
  ForEachInParallel(old.size(), [&](std::size_t s) { SplitSubMesh(old[s], split[s]); });
  std::size_t count = 0;
  for (const TSplitSubMesh& one : split) count += one.Whole ? 1 : one.Pieces.size();
  FSubMeshes.reserve(count);
  for (TSplitSubMesh& one : split) {
    if (one.Whole) FSubMeshes.push_back(std::move(one.Whole));
    for (auto& piece : one.Pieces) FSubMeshes.push_back(std::move(piece));
  }
}

TMeshBounds QZOgreMeshExporterT::CalculateBounds() const { return MeshBounds(FSubMeshes); }

std::string QZOgreMeshExporterT::MaterialFolder(const std::string& meshFileName) const {
  return AbsoluteDirectory(FolderOf(meshFileName), FOptions.MaterialDirectory);
}

std::string QZOgreMeshExporterT::TextureFolder(const std::string& meshFileName) const {
  return AbsoluteDirectory(FolderOf(meshFileName), FOptions.TextureDirectory);
}

void QZOgreMeshExporterT::WriteBinaryMesh(const std::string& fileName, TFileTransaction* transaction) {
  const TShortIndexSubMeshes binary = BinarySubMeshes();
  const TSubMeshView& subMeshes = binary.SubMeshes;
  const TMeshBounds bounds = CalculateBounds();
  ::WriteBinaryMesh(fileName, subMeshes, bounds, FOptions.ExportNormals, FOptions.ExportLightmaps, transaction,
                    FOptions.Target.MeshFormat, DetailLevels(subMeshes, bounds.Radius));
}

std::vector<TDetailLevel> QZOgreMeshExporterT::DetailLevels(const TSubMeshView& subMeshes, float radius) {
  if (FOptions.Target.LodLevels == 0) return {};
  SetStatus("Simplifying levels of detail...");
  return BuildDetailLevels(subMeshes, radius, FOptions.Target.LodLevels, FOptions.Target.OptimizeForDrawing,
                           [&](int percent) { SetProgress(percent); });
}

TShortIndexSubMeshes QZOgreMeshExporterT::BinarySubMeshes() const {
  // 16-bit indices: a sub-mesh of more vertices is cut into several.
  return ShortIndexSubMeshes(FSubMeshes);
}

void QZOgreMeshExporterT::WriteXMLMesh(const std::string& fileName, TFileTransaction* transaction) {
  // The XML form keeps its sub-meshes whole (32-bit indices): its levels are
  // those of these sub-meshes, around the same radius.
  const std::vector<TDetailLevel> levels =
      FOptions.Target.LodLevels == 0 ? std::vector<TDetailLevel>() : DetailLevels(ViewOf(FSubMeshes), CalculateBounds().Radius);
  ::WriteXMLMesh(fileName, FSubMeshes, FOptions.ExportNormals, FOptions.ExportLightmaps, transaction, levels);
}

void QZOgreMeshExporterT::WriteMaterialFile(const std::string& fileName, TFileTransaction* transaction) {
  SetStatus("Saving material file...");
  const int count = static_cast<int>(FMaterials.size());
  WriteMaterialScript(
      fileName, FMaterials, FOptions.ExportLightmaps, [&](int i) { SetProgress(i * 100 / count); }, transaction,
      FOptions.Target.MaterialNameForm);
}

std::string QZOgreMeshExporterT::TextureSourcePath(const QZOgreTextureT& texture) const {
  std::string path = (FOptions.TextureSource ? FOptions.TextureSource() : std::string()) + texture.FileName;
  if constexpr (PathDelimiter == '/') std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// Why a texture's source was not read, as a warning. Only regular files
// inside the texture folder are read and no link in it is followed: a scene
// must not copy a file such as a password list or a device into the
// repository. What a link leads to is looked at only to word the warning.
std::string QZOgreMeshExporterT::TextureSourceProblem(const QZOgreTextureT& texture, const std::string& source,
                                                      const std::string& folder, TSourceFile found) const {
  switch (found) {
    case TSourceFile::sfOutside:
      return "Texture file \"" + texture.FileName + "\" is not read: its name leads out of the texture folder.";
    case TSourceFile::sfLink:
      if (!FileExists(source) && !DirectoryExists(source)) break;
      return "Texture file \"" + texture.FileName + "\" is not read: " +
             (LiesInsideFolder(source, folder) ? "it is a link, and links in the texture folder are not followed."
                                               : "a link leads it out of the texture folder.");
    case TSourceFile::sfNotRegular: return "Texture file \"" + source + "\" is not a regular file.";
    case TSourceFile::sfUnreadable: return "Texture file \"" + source + "\" could not be read.";
    case TSourceFile::sfMissing:
    case TSourceFile::sfRead: break;
  }
  return "Texture file \"" + source + "\" not found.";
}

void QZOgreMeshExporterT::CopyTextureFiles(const std::string& directory, TFileTransaction& transaction) {
  SetStatus("Copying texture files...");
  // The texture that each target name was placed for, letter case aside:
  // Windows, where the platform loads the files, takes "Wood.png" and
  // "wood.png" for one file.
  std::unordered_map<std::string, const QZOgreTextureT*> placedFor;
  const int count = static_cast<int>(FTextures.size());
  for (int i = 0; i < count; ++i) {
    const QZOgreTextureT& texture = *FTextures[static_cast<std::size_t>(i)];
    if (FOptions.ExportLightmaps || !texture.IsLightmap) {
      const std::string name = TextureTargetName(texture.FileName);
      FCopiedTextures.push_back(name);
      if (!texture.IsColor) {
        const auto [placed, fresh] = placedFor.emplace(FoldedCase(name), &texture);
        const QZOgreTextureT& first = *placed->second;
        const std::string firstName = TextureTargetName(first.FileName);
        const std::string source = TextureSourcePath(texture);
        // The folder that the source directory and the name were joined in.
        const std::string folder = FolderOf(source.substr(0, source.size() - texture.FileName.size()));
        // Two names in other letter case may both be placed when their bytes
        // are the same: whichever Windows keeps, it is the right file. Only
        // regular files are compared, so that no pipe is waited for.
        const std::string firstSource = TextureSourcePath(first);
        const bool twin = !fresh && firstName != name && FileExists(firstSource) && FileExists(source) &&
                          SameFileContents(firstSource, source);
        const TSourceFile found = !fresh && !twin               ? TSourceFile::sfRead  // not even looked at
                                  : LeadsOutOfFolder(texture.FileName) ? TSourceFile::sfOutside
                                  : transaction.Copy(folder, source.substr(folder.size()), directory + name);
        if (!fresh && (!twin || found != TSourceFile::sfRead)) {
          Warn("Texture files \"" + first.FileName + "\" and \"" + texture.FileName + "\" are both placed as " +
               firstName + "; only the first is copied.");
        } else if (found == TSourceFile::sfRead) {
          FPlacedTextures.push_back(name);
          FPlacedSources.push_back(source);
        } else {
          Warn(TextureSourceProblem(texture, source, folder, found));
        }
      }
    }
    SetProgress(i * 100 / count);
  }
}
