#pragma once
// Fewer and cheaper draw calls. OGRE draws every sub-mesh with a call of its
// own, and the export makes one sub-mesh per material of every primitive, so
// a level of many small primitives costs thousands of calls for a few dozen
// materials. Optimized for drawing, the sub-meshes of one material become one
// (cut again where 16-bit indices end), and each one's triangles are ordered
// for the post-transform vertex cache and its vertices for fetching.
//
// What is drawn stays the same: every triangle keeps its corners in their
// order (and so its winding), every vertex its position, normal and texture
// coordinates. Vertices of one material that the export would weld within a
// primitive are welded across primitives too (see QZOgreVertexListCl.h).
// The result depends on nothing but the input: the same on every machine.

#include <memory>
#include <vector>

#include "mesh/QZOgreMeshModelCl.h"

// Merges, cuts and orders: what the export's option asks for. The sub-meshes
// are those of the export after its split by material (one material each,
// faces without material of their own).
void OptimizeForDrawing(std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes);

// One sub-mesh per material, in the order in which the materials first
// appear: the faces of the sub-meshes in their order, the vertices welded.
void MergeByMaterial(std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes);

// Orders the triangles for the vertex cache, then numbers the vertices in
// the order the triangles first use them. A vertex no triangle uses is dropped.
void OrderForDrawing(QZOgreSubMeshT& subMesh);
