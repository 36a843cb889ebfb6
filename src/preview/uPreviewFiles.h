#pragma once
// The asset's files as the preview reads them, before OGRE sees them: OGRE
// would open whatever a name leads to, wait forever on a pipe, read a device
// such as /dev/zero until memory runs out and abort on a folder. So the
// preview reads each file itself, the way an export reads a texture source,
// and hands OGRE the bytes.

#include <cstddef>
#include <string>

// The most a file of the preview may hold: far more than any mesh, script or
// texture of a level, and little enough to hold in memory.
inline constexpr std::size_t kMaxPreviewFileBytes = std::size_t{256} << 20;

struct TPreviewFile {
  std::string Bytes;
  // Why it was not read, a sentence naming it; empty when it was.
  std::string Problem;
  // Nothing has its name (or a folder on the way is missing).
  bool Missing = false;
};

// Reads the file `name` inside `folder`: only a regular file, reached
// without following a link at any part of `name` (see OpenRead in
// platform/uFileSystem.h), of at most `limit` bytes. `shown` names the file
// in the problem.
TPreviewFile ReadPreviewFile(const std::string& folder, const std::string& name, const std::string& shown,
                             std::size_t limit = kMaxPreviewFileBytes);
