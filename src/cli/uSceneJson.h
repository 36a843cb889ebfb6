#pragma once
// What `inspect --json` prints: the facts of the readable summary as one JSON
// document, for scripts and build pipelines.

#include <ostream>
#include <string>
#include <vector>

#include "cli/DrawCallCount.h"

class TScene;

// `drawCalls` and `missingTextures` are left out of the document when null
// (not asked for). Text that is not UTF-8 (the editor writes its own code
// page) has its faulty bytes replaced, so that the document stays valid JSON.
void WriteSceneJson(const TScene& scene, float millimetres, const TDrawCalls* drawCalls,
                    const std::vector<std::string>* missingTextures, std::ostream& out);
