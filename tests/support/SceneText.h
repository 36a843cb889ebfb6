#pragma once
// A scene document held in memory as the export jobs' source.

#include <memory>
#include <string>

#include "asset/SceneSource.h"
#include "scene/uScene.h"
#include "scene/uXMLSceneReader.h"

inline TSceneSource SceneText(std::string document) {
  return {"Reading scene...", [document = std::move(document)](TXMLSceneReader& reader) {
            return reader.ReadSceneText(document);
          }};
}
