#include "OgreSession.h"

#include <Ogre.h>
#include <OgreDefaultHardwareBufferManager.h>

#include <charconv>
#include <fstream>
#include <iterator>
#include <system_error>

const char* const TOgreSession::Group = "VeldaraCheck";

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
