#pragma once
// A short, readable account of a scene: what the inspect command prints.

#include <ostream>
#include <string>
#include <vector>

class TScene;

// The box around every vertex of every primitive, collision volumes
// included, in metres: the scene must have been read at a scale of
// millimetres per editor unit. Empty for a scene without vertices.
struct TSceneBox {
  bool Empty = true;
  double Min[3] = {};
  double Max[3] = {};
};
TSceneBox SceneBoxInMetres(const TScene& scene);

// `millimetres` is the scale the scene was read at, which the size depends on.
void WriteSceneSummary(const TScene& scene, float millimetres, std::ostream& out);
// The textures that MissingTextures found absent from `folder`.
void WriteMissingTextures(const std::vector<std::string>& missing, const std::string& folder, std::ostream& out);
