#pragma once
// The bounding boxes a binary mesh declares, checked before OGRE reads them:
// OGRE asserts (and so aborts the process) as it reads a box whose minimum
// exceeds its maximum, NaN included, and a box with infinite or huge corners
// would put the preview's cameras at NaN.

#include <string>
#include <string_view>

// The largest coordinate of a bounding box that the preview frames: far
// beyond any level, and small enough that the camera's distances and their
// squares stay finite in single precision.
inline constexpr float kMaxPreviewCoordinate = 1e9f;

// Why the mesh's bounding boxes cannot be framed, a sentence naming the
// mesh as `shown`; empty when they can. The chunks are walked by the lengths
// they announce, as OGRE's mesh files (ours included) write them: a mesh
// whose chunk lengths do not add up, and one without a bounding box, are
// refused too. Either byte order is read, as OGRE reads both.
std::string MeshBoundsProblem(std::string_view bytes, const std::string& shown);
