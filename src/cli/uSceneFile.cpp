#include "cli/uSceneFile.h"

#include <algorithm>
#include <fstream>
#include <string_view>
#include <utility>

#include "base/uException.h"
#include "platform/uFileSystem.h"
#include "platform/uMappedFile.h"
#include "scene/uXMLSceneReader.h"
#include "xml/uXMLReader.h"

namespace {
// Runs `read`, which reads the file. Should the file have changed meanwhile,
// that is the error, whatever `read` made of the bytes it found (also when
// it found them not well-formed, or ran out of memory over them).
template <typename Read>
void ReadUnlessChanged(const std::string& fileName, const TMappedFile& file, Read&& read) {
  constexpr std::string_view kChanged = "The scene file %s changed while it was read.";
  try {
    read();
  } catch (...) {
    if (file.Changed()) RaiseError(kChanged, {fileName});
    throw;
  }
  if (file.Changed()) RaiseError(kChanged, {fileName});
}

// Reads a pipe or a device whole, but refuses it as soon as it runs longer
// than `limit`: an endless one (/dev/zero) would otherwise take all memory
// before the scanner could refuse it.
std::string ReadStream(const std::string& fileName, std::size_t limit) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) RaiseError("Cannot open file %s (%s)", {fileName, LastSystemErrorText()});
  // Read straight into the string, which doubles as it fills but never
  // beyond the limit and one byte: that byte tells a stream of the limit's
  // length from a longer one.
  constexpr std::size_t kFirstBlock = 64 * 1024;
  std::string content;
  std::size_t length = 0;
  while (in) {
    if (length == content.size()) {
      if (length > limit) RaiseError("Input too large.");
      content.resize(std::min(limit + 1, std::max(kFirstBlock, 2 * length)));
    }
    in.read(content.data() + length, static_cast<std::streamsize>(content.size() - length));
    length += static_cast<std::size_t>(in.gcount());
  }
  if (in.bad()) RaiseError("Cannot read file %s", {fileName});
  content.resize(length);
  return content;
}

// A file that holds no XML at all (an empty one, a picture given by mistake)
// is told as such, before the XML reader would speak of root nodes or quote
// the bytes of a binary file.
void CheckHoldsXML(const std::string& fileName, std::string_view text) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::string_view document = TrimHostReply(text);
  if (document.starts_with(kByteOrderMark)) document = TrimHostReply(document.substr(kByteOrderMark.size()));
  if (document.empty()) RaiseError("The file %s is not a Tarnix scene: it is empty.", {fileName});
  if (document.front() != '<') RaiseError("The file %s is not a Tarnix scene: it is not an XML document.", {fileName});
}

// The reader takes a root of any name, and a root without the editor's
// sections as an empty scene; a file of the command line must be a scene.
void CheckIsScene(const std::string& fileName, const TXMLSceneReader& reader) {
  if (!reader.HeldSceneSections())
    RaiseError("The file %s is not a Tarnix scene: its root element %s holds no settings, materials, primitives or "
               "lights.",
               {fileName, reader.RootName()});
}
}  // namespace

std::unique_ptr<TScene> ReadSceneFile(const std::string& fileName, float scale) {
  TXMLSceneReader reader;
  reader.Scale = scale;
  return ReadSceneFile(fileName, reader);
}

std::unique_ptr<TScene> ReadSceneFile(const std::string& fileName, TXMLSceneReader& reader, std::size_t streamLimit) {
  // Opened as a file, a folder reads as nothing on one platform and as an
  // endless stream on another.
  if (DirectoryExists(fileName)) RaiseError("The scene file %s is a folder.", {fileName});
  TMappedFile file(fileName);
  if (file.IsMapped()) {
    // The scene is built while the mapped text is read, so the whole read
    // has to finish before the file is known to have stood still.
    std::unique_ptr<TScene> scene;
    ReadUnlessChanged(fileName, file, [&] {
      file.Read([&](std::string_view text) {
        CheckHoldsXML(fileName, text);
        scene = reader.ReadSceneMapped(text);
      });
    });
    CheckIsScene(fileName, reader);
    return scene;
  }
  // A stream is ours once read; only a regular file (found empty when it was
  // to be mapped) can have changed meanwhile.
  std::string text;
  ReadUnlessChanged(fileName, file, [&] { text = ReadStream(fileName, streamLimit); });
  CheckHoldsXML(fileName, text);
  std::unique_ptr<TScene> scene = reader.ReadSceneText(std::move(text));
  CheckIsScene(fileName, reader);
  return scene;
}
