#pragma once
// Runs OGRE's own tools on our files, so that tests prove what OGRE reads, not
// only what our writers meant to write:
//
// - OgreXMLConverter turns a binary mesh into an XML mesh, which is parsed into
//   TOgreMesh, and an XML mesh into a binary one;
// - material_check compiles a material script with OGRE's script compiler and
//   describes what it understood;
// - mesh_check loads a binary mesh through OGRE's mesh manager and reports the
//   bounds that OGRE read, which the XML form cannot carry;
// - OgreMeshUpgrader rewrites a binary mesh with OGRE's own serializer.
//
// Every function throws std::runtime_error, with the tool's messages, when a
// tool fails or OGRE logs an error; the conversions work in a temporary
// directory and leave no file behind.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mesh/QZOgreMeshModelCl.h"  // TMeshBounds

// ---- Running a program ----

struct TCommandResult {
  int ExitStatus = -1;  // the exit code, or 128 + the signal that ended it
  std::string Out;      // everything the program wrote on stdout
  std::string Err;      // everything it wrote on stderr
};

// Runs arguments[0] (searched on PATH when it holds no "/") with the other
// arguments, no shell involved, stdin closed, in `directory` when one is
// given, and waits for it. Throws when the program cannot be started.
TCommandResult RunCommand(const std::vector<std::string>& arguments, const std::string& directory = "");

// ---- The XML mesh as OgreXMLConverter writes it ----

struct TOgreVertex {
  std::array<float, 3> Position{};
  std::optional<std::array<float, 3>> Normal;
  // Set i at index i, with its 1 to 3 components (u, v, w) as the buffer
  // declares them.
  std::vector<std::vector<float>> TexCoords;
};

// One <vertexbuffer>, that is one binding source of the binary mesh: which
// elements it holds. OGRE writes one per source, so this shows the buffer
// layout that the binary mesh had.
struct TOgreVertexBuffer {
  bool Positions = false;
  bool Normals = false;
  std::vector<int> TexCoordDimensions;  // 1 to 3 per set that this buffer holds
};

struct TOgreGeometry {
  std::vector<TOgreVertexBuffer> Buffers;
  std::vector<TOgreVertex> Vertices;  // all buffers' elements merged per vertex
};

struct TOgreSubMesh {
  std::string Material;
  std::string OperationType;  // "triangle_list" and so on
  bool UsesSharedVertices = false;
  bool Use32BitIndexes = false;
  std::vector<std::array<uint32_t, 3>> Faces;
  TOgreGeometry Geometry;  // empty when UsesSharedVertices
  std::string Name;        // from <submeshnames>, when the mesh names it
};

// One generated level of detail of <levelofdetail>: where it starts and the
// faces of each sub-mesh at it, in the order of the sub-meshes.
struct TOgreDetailLevel {
  float Value = 0;  // the strategy's value, a distance for ours
  std::vector<std::vector<std::array<uint32_t, 3>>> Faces;
};

struct TOgreLevelsOfDetail {
  std::string Strategy;
  uint32_t LevelCount = 0;  // "numlevels": the full mesh counted
  std::vector<TOgreDetailLevel> Levels;  // from level 1
};

struct TOgreMesh {
  std::optional<TOgreGeometry> SharedGeometry;
  std::vector<TOgreSubMesh> SubMeshes;
  std::optional<TOgreLevelsOfDetail> LevelsOfDetail;
};

// Parses an XML mesh. Throws on anything it does not represent (skeletons,
// bone assignments, manual levels of detail, poses, animations, colours,
// tangents, ...), on counts that disagree with the elements present, and on
// an operation type other than a triangle list with faces in other than
// triples, so that no surprise in a file goes unnoticed. Generated levels of
// detail must list every sub-mesh once, in order.
TOgreMesh ParseOgreMeshXml(std::string text);

// The value that a float becomes on its way through an XML mesh that OGRE
// 1.12 wrote: six significant digits, then read back. A binary mesh's values
// can be compared with the dump exactly only after this rounding.
float ThroughOgreXml(float value);

// ---- OgreXMLConverter ----

struct TOgreMeshDump {
  TOgreMesh Mesh;
  std::string Xml;  // the converter's XML text, for messages
  // The converter's log lines that start with "Warning: " (that prefix
  // removed), in order, over every conversion that made this dump.
  std::vector<std::string> Warnings;
};

// OgreXMLConverter's XML of a binary mesh file, parsed.
TOgreMeshDump DumpBinaryMesh(const std::string& meshFile);

// Writes OgreXMLConverter's binary mesh of an XML mesh file to meshFile and
// returns the converter's warnings.
std::vector<std::string> ConvertXmlToBinary(const std::string& xmlFile, const std::string& meshFile);

// An XML mesh file converted to binary and the binary dumped again.
TOgreMeshDump RoundTripXmlMesh(const std::string& xmlFile);

// ---- OgreMeshUpgrader ----

struct TOgreUpgrade {
  std::string Bytes;                  // the file the upgrader wrote
  std::vector<std::string> Warnings;  // its log's warnings, prefix removed
};

// OgreMeshUpgrader's rewrite of a binary mesh file, with the given options
// ("-V 1.8", "-e", ...). Throws, with the tool's output, when it fails or
// logs an error.
TOgreUpgrade UpgradeMesh(const std::string& meshFile, const std::vector<std::string>& options = {});

// ---- material_check and mesh_check ----

// material_check's description of a material script, one entry per line.
// Throws, with the compiler's messages, when the script has any error or
// warning.
std::vector<std::string> CheckMaterialScript(const std::string& scriptFile);

// The same run, whatever its outcome.
TCommandResult RunMaterialCheck(const std::string& scriptFile);

// A level of detail as OGRE loaded it: where it starts (the strategy's
// value, 0 for the full mesh) and how many triangles each sub-mesh draws.
struct TOgreLoadedLevel {
  float Value = 0;
  std::vector<std::size_t> Triangles;
};

struct TOgreMeshLoad {
  std::optional<TMeshBounds> Bounds;  // none when the mesh has no bounds chunk
  // The strategy that chooses the levels, and the levels from 0 (the full
  // mesh) on: one level for a mesh without levels of detail.
  std::string LodStrategy;
  std::vector<TOgreLoadedLevel> Levels;
  // What OGRE warned about while loading (prefix "Warning: " removed).
  std::vector<std::string> Warnings;
};

// Loads a binary mesh in OGRE, after the given material scripts, the way a
// game does. Throws when a script has a problem or OGRE fails to load the mesh.
TOgreMeshLoad LoadMeshInOgre(const std::string& meshFile, const std::vector<std::string>& materialScripts = {});

// How many lights OGRE's light assignment gives the mesh placed at the origin
// of a scene with one point light of `range` at (x, y, z): 0 or 1. OGRE
// assigns a light to an object when the light's range reaches the object's
// bounding sphere, which it centres on the object's scene node.
int LightsReachingInOgre(const std::string& meshFile, float x, float y, float z, float range);
