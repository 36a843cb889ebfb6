#pragma once
// What OGRE needs to read material scripts and meshes the way a game does,
// without a render system or a window: the resource managers of Ogre::Root,
// a texture manager and a hardware buffer manager made for offline tools, and
// one resource group for our files.
//
// Every message that OGRE logs at warning level or above is kept: OGRE
// reports a broken script line or a mesh it cannot fully use that way and
// carries on, so a file that "loads" may still not say what we meant.

#include <memory>
#include <string>
#include <vector>

namespace Ogre {
class Root;
class LogManager;
class DefaultTextureManager;
class DefaultHardwareBufferManager;
}  // namespace Ogre

class TOgreSession {
public:
  TOgreSession();
  ~TOgreSession();
  TOgreSession(const TOgreSession&) = delete;
  TOgreSession& operator=(const TOgreSession&) = delete;

  // The resource group that our scripts and meshes go to, so that listings
  // can leave out whatever OGRE creates for itself.
  static const char* const Group;

  // Compiles one material script file into Group. Its problems, and any
  // exception OGRE throws while compiling it, are added to Errors, and so is
  // a bare material name with a blank, which OGRE would cut short.
  void ParseMaterialScript(const std::string& fileName);

  // Messages logged at LML_CRITICAL (errors) and at LML_WARNING, in order,
  // since the session began. Set-up messages are only normal ones.
  std::vector<std::string> Errors;
  std::vector<std::string> Warnings;

private:
  class TRecorder;
  std::unique_ptr<TRecorder> FRecorder;
  std::unique_ptr<Ogre::LogManager> FLogManager;
  std::unique_ptr<Ogre::Root> FRoot;
  std::unique_ptr<Ogre::DefaultTextureManager> FTextures;
  std::unique_ptr<Ogre::DefaultHardwareBufferManager> FBuffers;
};

// The shortest text that reads back as the same float: the same value always
// prints the same way, and no digit is invented or lost.
std::string FormatExactFloat(float value);
