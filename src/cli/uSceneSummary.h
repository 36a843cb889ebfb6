#pragma once
// A short, readable account of a scene: what the inspect command prints.

#include <ostream>

class TScene;

void WriteSceneSummary(const TScene& scene, std::ostream& out);
