#include "mesh/QZOgreXMLMeshWriter.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "base/uNumbers.h"
#include "xml/uXMLWriter.h"

namespace {
// Indices from 65536 on do not fit the 16-bit form; declaring 16 bits over
// them would make a reader wrap them into other vertices.
constexpr int32_t kFirst32BitIndex = 65536;

bool Needs32BitIndexes(const QZOgreSubMeshT& subMesh) {
  return std::any_of(subMesh.Faces.begin(), subMesh.Faces.end(), [](const QZOgreFaceInfoT& face) {
    return std::any_of(face.Indices.begin(), face.Indices.end(),
                       [](int32_t index) { return index >= kFirst32BitIndex; });
  });
}

// An empty element holding three coordinates, as "position" and "normal" are.
void WriteTriple(TXMLWriter& writer, std::string_view name, float x, float y, float z) {
  writer.OpenTag(name);
  writer.AddProperty("x", FormatMeshFloat(x));
  writer.AddProperty("y", FormatMeshFloat(y));
  writer.AddProperty("z", FormatMeshFloat(z));
  writer.CloseTag(name);
}

void WriteFaces(TXMLWriter& writer, const QZOgreSubMeshT& subMesh) {
  writer.OpenTag("faces");
  writer.AddProperty("count", std::to_string(subMesh.Faces.size()));
  for (const QZOgreFaceInfoT& face : subMesh.Faces) {
    writer.OpenTag("face");
    writer.AddProperty("v1", std::to_string(face.Indices[0]));
    writer.AddProperty("v2", std::to_string(face.Indices[1]));
    writer.AddProperty("v3", std::to_string(face.Indices[2]));
    writer.CloseTag("face");
  }
  writer.CloseTag("faces");
}

void WriteVertex(TXMLWriter& writer, const QZOgreVertexT& vertex, bool exportNormals, int sets) {
  writer.OpenTag("vertex");
  WriteTriple(writer, "position", vertex.X, vertex.Y, vertex.Z);
  if (exportNormals) WriteTriple(writer, "normal", vertex.Normal.X, vertex.Normal.Y, vertex.Normal.Z);
  for (int k = 0; k < sets; ++k) {
    // Raises the list's index error for a vertex with fewer sets than its material has units.
    const QZOgreTextureCoordinatesT& coordinates = vertex.GetTextureCoordinates(k);
    writer.OpenTag("texcoord");
    writer.AddProperty("u", FormatMeshFloat(coordinates.U));
    writer.AddProperty("v", FormatMeshFloat(coordinates.V));
    writer.CloseTag("texcoord");
  }
  writer.CloseTag("vertex");
}

void WriteGeometry(TXMLWriter& writer, const QZOgreSubMeshT& subMesh, bool exportNormals, int sets) {
  writer.OpenTag("geometry");
  writer.AddProperty("vertexcount", std::to_string(subMesh.Vertices.size()));
  writer.OpenTag("vertexbuffer");
  writer.AddProperty("positions", "true");
  writer.AddProperty("normals", exportNormals ? "true" : "false");
  for (int k = 0; k < sets; ++k) writer.AddProperty("texture_coord_dimensions_" + std::to_string(k), "2");
  writer.AddProperty("texture_coords", std::to_string(sets));
  for (const QZOgreVertexT& vertex : subMesh.Vertices) WriteVertex(writer, vertex, exportNormals, sets);
  writer.CloseTag("vertexbuffer");
  writer.CloseTag("geometry");
}

// The levels of detail as OgreXMLConverter writes them: the strategy, the
// number of levels with the full mesh, and for each further level its
// distance and each sub-mesh's faces at it.
void WriteLevelsOfDetail(TXMLWriter& writer, const std::vector<TDetailLevel>& levels) {
  writer.OpenTag("levelofdetail");
  writer.AddProperty("strategy", "distance_sphere");
  writer.AddProperty("numlevels", std::to_string(levels.size() + 1));
  writer.AddProperty("manual", "false");
  for (const TDetailLevel& level : levels) {
    writer.OpenTag("lodgenerated");
    writer.AddProperty("value", FormatMeshFloat(level.Distance));
    for (std::size_t s = 0; s < level.Indices.size(); ++s) {
      const std::vector<uint32_t>& indices = level.Indices[s];
      writer.OpenTag("lodfacelist");
      writer.AddProperty("submeshindex", std::to_string(s));
      writer.AddProperty("numfaces", std::to_string(indices.size() / 3));
      for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
        writer.OpenTag("face");
        writer.AddProperty("v1", std::to_string(indices[i]));
        writer.AddProperty("v2", std::to_string(indices[i + 1]));
        writer.AddProperty("v3", std::to_string(indices[i + 2]));
        writer.CloseTag("face");
      }
      writer.CloseTag("lodfacelist");
    }
    writer.CloseTag("lodgenerated");
  }
  writer.CloseTag("levelofdetail");
}

void WriteSubMesh(TXMLWriter& writer, const QZOgreSubMeshT& subMesh, bool exportNormals, bool exportLightmaps) {
  // A sub-mesh without material (not built by the exporter) has no units and an empty name.
  const int sets = std::max(subMesh.ExportedSetCount(exportLightmaps), 0);
  writer.OpenTag("submesh");
  writer.AddProperty("material", subMesh.Material ? std::string_view(subMesh.Material->Name) : std::string_view());
  writer.AddProperty("usesharedvertices", "false");
  writer.AddProperty("use32bitindexes", Needs32BitIndexes(subMesh) ? "true" : "false");
  writer.AddProperty("operationtype", "triangle_list");
  WriteFaces(writer, subMesh);
  WriteGeometry(writer, subMesh, exportNormals, sets);
  writer.CloseTag("submesh");
}
}  // namespace

void WriteXMLMesh(const std::string& fileName, const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes,
                  bool exportNormals, bool exportLightmaps, TFileTransaction* transaction,
                  const std::vector<TDetailLevel>& levels) {
  TXMLFileWriter writer(fileName, transaction);
  writer.OpenTag("mesh");
  writer.OpenTag("submeshes");
  for (const auto& subMesh : subMeshes) WriteSubMesh(writer, *subMesh, exportNormals, exportLightmaps);
  writer.CloseTag("submeshes");
  if (!levels.empty()) WriteLevelsOfDetail(writer, levels);
  writer.CloseTag("mesh");
  writer.Close();
}
