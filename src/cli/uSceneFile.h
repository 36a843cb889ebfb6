#pragma once
// Reads the scene file named on the command line. A regular file is mapped
// rather than copied, which keeps the memory of a huge scene low; anything
// else (a pipe, a device) is read as a stream, up to the length the XML
// scanner takes. A file that the editor saves while it is read is refused,
// never half old and half new.
//
// A file that is no scene is refused: "The file %s is not a Tarnix scene: "
// and the reason (it is empty, it is not an XML document, or its root element
// holds none of the editor's sections).
//
// Raises "Cannot open file %s (%s)" with the system's reason, "Cannot read
// file %s", "The scene file %s is a folder.", "The scene file %s changed while
// it was read.", "Input too large." and every error of the scene reader.

#include <cstddef>
#include <memory>
#include <string>

#include "scene/uScene.h"
#include "xml/uXMLScanner.h"

class TXMLSceneReader;

// Positions and light ranges are multiplied by `scale` (millimetres per
// editor unit).
std::unique_ptr<TScene> ReadSceneFile(const std::string& fileName, float scale);

// The same with a reader that the caller has set up (its scale, its progress
// report) and a limit of the stream length, which only tests lower.
std::unique_ptr<TScene> ReadSceneFile(const std::string& fileName, TXMLSceneReader& reader,
                                      std::size_t streamLimit = kMaxXMLInputLength);
