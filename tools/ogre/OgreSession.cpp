#include "OgreSession.h"

#include <Ogre.h>
#include <OgreDefaultHardwareBufferManager.h>

#include <algorithm>
#include <charconv>
#include <string_view>
#include <fstream>
#include <iterator>
#include <system_error>

const char* const TOgreSession::Group = "VeldaraCheck";

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The material lines whose bare name OGRE would end at its first blank: the
// platform's reader takes the rest of the line as the name, OGRE 1.7 and
// later the first word, so both would not see the same material. Such names
// must be written in double quotes for OGRE.
std::vector<std::string> CutMaterialNames(const std::string& fileName, const std::string& script) {
  std::vector<std::string> problems;
  std::size_t start = 0, lineNumber = 1;
  for (; start < script.size(); ++lineNumber) {
    std::size_t end = script.find('\n', start);
    if (end == std::string::npos) end = script.size();
    std::string_view line(script.data() + start, end - start);
    start = end + 1;
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    if (!line.starts_with("material") || line.size() < 9 || !IsBlank(line[8])) continue;
    std::string_view name = line.substr(9);
    while (!name.empty() && IsBlank(name.front())) name.remove_prefix(1);
    if (name.empty() || name.front() == '"') continue;
    if (std::find_if(name.begin(), name.end(), IsBlank) != name.end())
      problems.push_back(fileName + "(" + std::to_string(lineNumber) + "): the material name \"" + std::string(name) +
                         "\" would end at its first blank in OGRE; it must be written in double quotes");
  }
  return problems;
}
}  // namespace

class TOgreSession::TRecorder : public Ogre::LogListener {
public:
  explicit TRecorder(TOgreSession& session) : FSession(session) {}

  void messageLogged(const Ogre::String& message, Ogre::LogMessageLevel level, bool, const Ogre::String&,
                     bool& skipThisMessage) override {
    skipThisMessage = true;  // the log has no file and no console output anyway
    if (level >= Ogre::LML_CRITICAL)
      FSession.Errors.push_back(message);
    else if (level >= Ogre::LML_WARNING)
      FSession.Warnings.push_back(message);
  }

private:
  TOgreSession& FSession;
};

TOgreSession::TOgreSession() : FRecorder(std::make_unique<TRecorder>(*this)) {
  // Our own default log, made before Root so that Root makes no Ogre.log: no
  // file, no console output, only the recorder hears it.
  FLogManager = std::make_unique<Ogre::LogManager>();
  FLogManager->createLog("veldara-check", true, false, true)->addListener(FRecorder.get());
  // No plug-in list, no configuration file, no log file of its own: Root then
  // only makes its resource managers and the script compiler.
  FRoot = std::make_unique<Ogre::Root>("", "", "");
  // A render system would bring these two; the offline variants create
  // textures without loading images and keep vertex and index data in memory.
  FTextures = std::make_unique<Ogre::DefaultTextureManager>();
  FBuffers = std::make_unique<Ogre::DefaultHardwareBufferManager>();
  Ogre::ResourceGroupManager::getSingleton().createResourceGroup(Group);
}

TOgreSession::~TOgreSession() {
  // Our resources go first: a mesh's vertex data must be freed while the
  // buffer manager that made it still exists, or Root's shutdown crashes.
  Ogre::ResourceGroupManager::getSingleton().destroyResourceGroup(Group);
  FBuffers.reset();
  FTextures.reset();
  FRoot.reset();
  FLogManager.reset();
}

void TOgreSession::ParseMaterialScript(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    Errors.push_back("cannot open " + fileName);
    return;
  }
  std::string script{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  for (std::string& problem : CutMaterialNames(fileName, script)) Errors.push_back(std::move(problem));
  // The stream reads the text in place and must not free it; its name is the
  // file name, which the compiler quotes in its messages.
  Ogre::DataStreamPtr stream =
      std::make_shared<Ogre::MemoryDataStream>(fileName, script.data(), script.size(), false, true);
  try {
    Ogre::MaterialManager::getSingleton().parseScript(stream, Group);
  } catch (const Ogre::Exception& e) {
    // A second definition of a material name, for one, is thrown, not logged.
    Errors.push_back(e.getDescription());
  }
}

std::string FormatExactFloat(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (result.ec != std::errc()) return "?";
  return {buffer, result.ptr};
}
