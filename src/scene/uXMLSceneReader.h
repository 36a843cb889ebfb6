#pragma once
// Turns the editor's scene document into a TScene: materials with their
// layers, primitives with vertices and polygons, and lights. Positions and
// light ranges are multiplied by Scale (millimetres per editor unit). A scene
// in which a scaled coordinate is not a finite number is refused, naming the
// vertex ("Vertex "%s" of primitive "%s" has a coordinate that is not a finite
// number.") or the light.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/uReleasableBuffer.h"
#include "scene/PrimitiveTextReader.h"
#include "scene/uScene.h"
#include "xml/uXMLNode.h"

class TXMLReader;

// True for a scale as the user gives it, in millimetres per editor unit: a
// number as IsValidFloat reads it (so within single precision) whose value
// there is above zero. A zero scale would fold the model into a point, a
// negative one mirror it inside out.
bool IsValidScale(std::string_view text);

class TXMLSceneReader {
public:
  float Scale = 1.0f;
  // When set, each primitive read straight from the text gets its smoothed
  // normals for this angle at once, on the thread that read it, while its
  // polygons are still in the processor's cache: a later pass over a large
  // scene would fetch them all from memory again. A primitive whose normals
  // fail is left without them, so that TScene::CalculateNormals raises the
  // error at its place in order.
  std::optional<float> SmoothingAngle;
  // Progress in percent, as far as the document has been read; the scene is
  // built while it is read.
  std::function<void(int percent)> OnProgress;

  // Reads a scene document as the editor would reply it (it is trimmed first).
  std::unique_ptr<TScene> ReadSceneText(std::string text);
  // The same for a document that the caller keeps in memory until the call
  // returns and whose pages may be given back to the system as they are read
  // (a private mapping of a scene file).
  std::unique_ptr<TScene> ReadSceneMapped(std::string_view text);
  // The same for a reply in the first `length` bytes of `reply`, whose
  // memory and addresses are given back as they are read.
  std::unique_ptr<TScene> ReadSceneReply(TReleasableBuffer reply, std::size_t length);

  // What the last read found at the top of the document: the root element's
  // name (lower-cased, as the XML reader gives names), and whether the root
  // held any of settings, materials, primitives and lights. The root may have
  // any name, and a root holding none of them reads as an empty scene: the
  // caller tells whether such a document is what it asked for.
  const std::string& RootName() const { return FRootName; }
  bool HeldSceneSections() const { return FHeldSceneSections; }

  // Whether primitives are read straight from the text where they can be
  // (see TPrimitiveTextReader); off, every element is read through the XML
  // tree. The scene, and every error, is the same either way: tests compare
  // the two.
  bool ReadPrimitivesFromText = true;
  // A document is read on several threads (see WorkerCount) only when each
  // would get at least this much of it.
  std::size_t MinTextPerReadThread = 256 * 1024;

private:
  std::unique_ptr<TScene> Read(TXMLReader& reader);
  void ReadSettings(const TXMLNode& node, TScene& scene);
  void ReadMaterials(const TXMLNode& node, TScene& scene);
  void ReadMaterial(const TXMLNode& node, const std::string& category, TScene& scene);
  void ReadLayer(const TXMLNode& node, TMaterial& material);
  void ReadPrimitive(const TXMLNode& element, TScene& scene);
  void ReadVertices(const TXMLNode& node, TPrimitive& primitive);
  void ReadPolygons(const TXMLNode& node, TPrimitive& primitive);
  void ReadLights(const TXMLNode& node, TScene& scene);
  void ReadLight(const TXMLNode& node, TLight& light);

  class TPrimitiveElements;

  // Materials by identifier, the first of each: what FindMaterial answers,
  // without a search through all materials for every polygon.
  TMaterialsById FMaterialsById;
  std::string FRootName;
  bool FHeldSceneSections = false;
  // The attributes read from every vertex and corner, looked up once per
  // document (keys belong to the document's tree); Ready once made.
  struct TKeys {
    bool Ready = false;
    TXMLNode::TPropertyKey Id, X, Y, Z, Vid, Mid;
    // The keys of "u0" and "v0", "u1" and "v1", ...: layer n's UV attributes.
    std::vector<std::pair<TXMLNode::TPropertyKey, TXMLNode::TPropertyKey>> UV;
  };
  TKeys& KeysFor(const TXMLNode& node);
  TKeys FKeys;
};
