// mesh_check MESH [MATERIAL_SCRIPT...]
//
// Loads one binary mesh the way a game does: the material scripts first, then
// the mesh through OGRE's mesh manager from a file-system resource location.
// Prints what the XML converter cannot show, because OGRE's XML mesh format
// has no place for it: the bounding box and sphere radius that OGRE read.
//
//   bounds min=X,Y,Z max=X,Y,Z radius=R
//   warning TEXT          one line per warning OGRE logged, in order
//
// OGRE 1.12 warns about every mesh in the old binary format we write: that
// warning is listed, not fatal. Without scripts, so are the warnings about
// each sub-mesh material that no script defines. Exits non-zero, with the
// reasons on stderr, when a script has any problem, OGRE logs an error or
// throws while loading the mesh, or, with scripts given, logs any other
// warning (a material the scripts do not define is one our files got wrong).

#include <Ogre.h>

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "OgreSession.h"

namespace {

constexpr std::string_view WarningPrefix = "Warning: ";
constexpr std::string_view OldFormatNotice = "uses an old format [MeshSerializer_v1.30]";

std::string Vector(const Ogre::Vector3& v) {
  return FormatExactFloat(v.x) + "," + FormatExactFloat(v.y) + "," + FormatExactFloat(v.z);
}

int Check(const std::string& meshFile, const std::vector<std::string>& scripts) {
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
  std::string bounds;
  try {
    const Ogre::MeshPtr mesh =
        Ogre::MeshManager::getSingleton().load(path.filename().string(), TOgreSession::Group);
    const Ogre::AxisAlignedBox& box = mesh->getBounds();
    // A mesh without a bounds chunk keeps OGRE's null box.
    bounds = box.isNull() ? "bounds none"
                          : "bounds min=" + Vector(box.getMinimum()) + " max=" + Vector(box.getMaximum()) +
                                " radius=" + FormatExactFloat(mesh->getBoundingSphereRadius());
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
  if (argc < 2) {
    std::cerr << "usage: mesh_check MESH [MATERIAL_SCRIPT...]\n";
    return 2;
  }
  try {
    return Check(argv[1], std::vector<std::string>(argv + 2, argv + argc));
  } catch (const std::exception& e) {
    // Set-up failures (Ogre::Exception derives from std::exception).
    std::cerr << "mesh_check: " << e.what() << "\n";
    return 1;
  }
}
