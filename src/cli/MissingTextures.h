#pragma once
// The texture files that an export of a scene would not find: what
// `inspect --texture-dir` lists before anything is exported.

#include <string>
#include <vector>

class TScene;

// The scene's names of the textures that the asset's mesh uses (collision
// volumes left out, as `export` leaves them out) and that are no regular file
// in `textureFolder`, in the order the export copies them. The scene's
// normals must have been calculated.
std::vector<std::string> MissingTextures(const TScene& scene, const std::string& textureFolder);
