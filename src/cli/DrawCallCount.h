#pragma once
// How many draw calls the asset's mesh costs: the sub-meshes that `export`
// writes, without and with --optimize. What `inspect --draw-calls` adds to
// the summary.

#include <ostream>

class TScene;

// Builds the mesh twice as `export` does (normals calculated into the scene,
// collision volumes left out, sub-meshes cut for 16-bit indices) and prints
// the two counts. Raises what the export would raise about the scene.
void WriteDrawCalls(TScene& scene, std::ostream& out);
