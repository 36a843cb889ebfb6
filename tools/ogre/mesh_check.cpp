// mesh_check [--light X,Y,Z,RANGE] MESH [MATERIAL_SCRIPT...]
//
// Loads one binary mesh the way a game does: the material scripts first, then
// the mesh through OGRE's mesh manager from a file-system resource location.
// Prints what the XML converter cannot show, because OGRE's XML mesh format
// has no place for it: the bounding box and sphere radius that OGRE read.
//
//   bounds min=X,Y,Z max=X,Y,Z radius=R
//   lights N              with --light: how many lights reach the mesh
//   lod levels=N strategy=NAME
//                         the mesh's levels of detail, the full mesh counted
//                         (1: none beyond it), and the strategy that OGRE
//                         chooses them by
//   lod K value=V triangles=A,B,...
//                         one line per level from 0 (the full mesh): where it
//                         starts (the strategy's value as the mesh gives it,
//                         a distance; 0 for the full mesh) and how many
//                         triangles each sub-mesh draws at it, in order
//   warning TEXT          one line per warning OGRE logged, in order
//
// With --light, the mesh is placed as an entity at the origin of a scene,
// a point light of that range at (X, Y, Z), and OGRE's own light assignment
// (the one that picks the lights for each object it draws, by the object's
// bounding sphere) says whether the light reaches the entity.
//
// OGRE 1.12 warns about every mesh in the old binary format we write: that
// warning is listed, not fatal. Without scripts, so are the warnings about
// each sub-mesh material that no script defines. Exits non-zero, with the
// reasons on stderr, when a script has any problem, OGRE logs an error or
// throws while loading the mesh, or, with scripts given, logs any other
// warning (a material the scripts do not define is one our files got wrong).

#include <Ogre.h>
#include <OgreLodStrategy.h>
#include <OgreSceneManagerEnumerator.h>

#include <cstdio>
#include <exception>
#include <optional>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "OgreSession.h"

namespace {

constexpr std::string_view WarningPrefix = "Warning: ";
// Of a mesh in a format older than 1.12 writes, which our exporter writes on
// purpose; which format it named is for the caller to judge.
constexpr std::string_view OldFormatNotice = "uses an old format [MeshSerializer_v";

std::string Vector(const Ogre::Vector3& v) {
  return FormatExactFloat(v.x) + "," + FormatExactFloat(v.y) + "," + FormatExactFloat(v.z);
}

struct TPointLight {
  float X, Y, Z, Range;
};

// OGRE's default scene, with its light assignment open to a tool: a game's
// scene finds the lights that may affect the camera's view before drawing,
// and assigns each object the ones whose range reaches its bounding sphere.
class TLightScene : public Ogre::DefaultSceneManager {
public:
  TLightScene() : Ogre::DefaultSceneManager("mesh_check") {}
  // How many of the scene's lights reach the entity, as OGRE assigns them
  // when it draws the scene seen by `camera`.
  std::size_t LightsReaching(const Ogre::Entity& entity, const Ogre::Camera& camera) {
    getRootSceneNode()->_update(true, false);
    findLightsAffectingFrustum(&camera);
    return entity.queryLights().size();
  }
};

// The "lod" lines above. A generated level keeps one index list per sub-mesh
// over the sub-mesh's own vertices; level 0 is the sub-mesh's own list.
std::vector<std::string> DetailLevelLines(const Ogre::Mesh& mesh) {
  const Ogre::ushort levels = mesh.getNumLodLevels();
  std::vector<std::string> lines = {"lod levels=" + std::to_string(levels) +
                                    " strategy=" + mesh.getLodStrategy()->getName()};
  for (Ogre::ushort level = 0; level < levels; ++level) {
    std::string triangles;
    for (const Ogre::SubMesh* subMesh : mesh.getSubMeshes()) {
      const Ogre::IndexData* indices = level == 0 ? subMesh->indexData : subMesh->mLodFaceList.at(level - 1u);
      triangles += (triangles.empty() ? "" : ",") + std::to_string(indices->indexCount / 3);
    }
    lines.push_back("lod " + std::to_string(level) + " value=" + FormatExactFloat(mesh.getLodLevel(level).userValue) +
                    " triangles=" + triangles);
  }
  return lines;
}

std::size_t LightsReaching(const Ogre::MeshPtr& mesh, const TPointLight& point) {
  // An entity needs the default material, which a session without a render
  // system has not made.
  Ogre::MaterialManager::getSingleton().initialise();
  TLightScene scene;
  Ogre::Entity* entity = scene.createEntity(mesh);
  scene.getRootSceneNode()->createChildSceneNode()->attachObject(entity);
  Ogre::Light* light = scene.createLight();
  light->setType(Ogre::Light::LT_POINT);
  light->setAttenuation(point.Range, 1, 0, 0);
  scene.getRootSceneNode()->createChildSceneNode(Ogre::Vector3(point.X, point.Y, point.Z))->attachObject(light);
  // A camera that sees the whole scene, so that the light is never left out
  // for lying outside the view.
  Ogre::Camera* camera = scene.createCamera("view");
  camera->setProjectionType(Ogre::PT_ORTHOGRAPHIC);
  camera->setOrthoWindow(1e7f, 1e7f);
  camera->setNearClipDistance(1);
  camera->setFarClipDistance(1e7f);
  scene.getRootSceneNode()->createChildSceneNode(Ogre::Vector3(0, 0, 5e6f))->attachObject(camera);
  return scene.LightsReaching(*entity, *camera);
}

int Check(const std::string& meshFile, const std::vector<std::string>& scripts,
          const std::optional<TPointLight>& light) {
  TOgreSession ogre;
  for (const auto& script : scripts) ogre.ParseMaterialScript(script);
  if (!ogre.Errors.empty() || !ogre.Warnings.empty()) {
    for (const auto& problem : ogre.Errors) std::cerr << "mesh_check: " << problem << "\n";
    for (const auto& problem : ogre.Warnings) std::cerr << "mesh_check: " << problem << "\n";
    return 1;
  }

  const std::filesystem::path path = std::filesystem::absolute(meshFile);
  // Only the location is declared; initialising the group would also compile
  // every script that lies beside the mesh.
  Ogre::ResourceGroupManager::getSingleton().addResourceLocation(path.parent_path().string(), "FileSystem",
                                                                  TOgreSession::Group);
  std::string bounds, lights;
  std::vector<std::string> levels;
  try {
    const Ogre::MeshPtr mesh =
        Ogre::MeshManager::getSingleton().load(path.filename().string(), TOgreSession::Group);
    const Ogre::AxisAlignedBox& box = mesh->getBounds();
    // A mesh without a bounds chunk keeps OGRE's null box.
    bounds = box.isNull() ? "bounds none"
                          : "bounds min=" + Vector(box.getMinimum()) + " max=" + Vector(box.getMaximum()) +
                                " radius=" + FormatExactFloat(mesh->getBoundingSphereRadius());
    if (light) lights = "lights " + std::to_string(LightsReaching(mesh, *light));
    levels = DetailLevelLines(*mesh);
  } catch (const Ogre::Exception& e) {
    ogre.Errors.push_back(e.getDescription());
  }

  if (!scripts.empty())
    for (const std::string& warning : ogre.Warnings)
      if (warning.find(OldFormatNotice) == std::string::npos) ogre.Errors.push_back(warning);
  if (!ogre.Errors.empty()) {
    for (const auto& problem : ogre.Errors) std::cerr << "mesh_check: " << problem << "\n";
    return 1;
  }
  std::cout << bounds << "\n";
  if (!lights.empty()) std::cout << lights << "\n";
  for (const std::string& line : levels) std::cout << line << "\n";
  for (std::string_view warning : ogre.Warnings) {
    // OGRE starts each warning with "Warning: "; the line says it already.
    if (warning.starts_with(WarningPrefix)) warning.remove_prefix(WarningPrefix.size());
    std::cout << "warning " << warning << "\n";
  }
  std::cout.flush();
  return std::cout ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  std::optional<TPointLight> light;
  if (arguments.size() >= 2 && arguments[0] == "--light") {
    TPointLight point;
    char end = 0;
    if (std::sscanf(arguments[1].c_str(), "%f,%f,%f,%f%c", &point.X, &point.Y, &point.Z, &point.Range, &end) != 4) {
      std::cerr << "mesh_check: --light takes X,Y,Z,RANGE\n";
      return 2;
    }
    light = point;
    arguments.erase(arguments.begin(), arguments.begin() + 2);
  }
  if (arguments.empty()) {
    std::cerr << "usage: mesh_check [--light X,Y,Z,RANGE] MESH [MATERIAL_SCRIPT...]\n";
    return 2;
  }
  try {
    return Check(arguments[0], std::vector<std::string>(arguments.begin() + 1, arguments.end()), light);
  } catch (const std::exception& e) {
    // Set-up failures (Ogre::Exception derives from std::exception).
    std::cerr << "mesh_check: " << e.what() << "\n";
    return 1;
  }
}
