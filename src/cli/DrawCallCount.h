#pragma once
// How many draw calls the asset's mesh costs: the sub-meshes that `export`
// writes, without and with --optimize. What `inspect --draw-calls` adds to
// the summary.

#include <cstddef>
#include <ostream>

class TScene;

struct TDrawCalls {
  std::size_t Plain = 0;
  std::size_t Optimized = 0;
};

// Builds the mesh twice as `export` does (collision volumes left out,
// sub-meshes cut for 16-bit indices); the scene's normals must have been
// calculated, since welding compares them. Raises what the export would
// raise about the scene.
TDrawCalls CountDrawCalls(const TScene& scene);
void WriteDrawCalls(const TDrawCalls& drawCalls, std::ostream& out);
