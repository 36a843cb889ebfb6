#include "preview/uPreviewFiles.h"

#include <cstdio>

#include "platform/uFileSystem.h"

namespace {
std::string WhyNotOpened(TSourceFile found, const std::string& shown) {
  switch (found) {
    case TSourceFile::sfMissing: return shown + " does not exist.";
    case TSourceFile::sfOutside: return shown + " lies outside its folder.";
    case TSourceFile::sfLink: return shown + " is reached through a link, which the preview does not follow.";
    case TSourceFile::sfNotRegular: return shown + " is not a regular file.";
    case TSourceFile::sfUnreadable:
    case TSourceFile::sfRead: break;
  }
  return shown + " cannot be read.";
}
}  // namespace

TPreviewFile ReadPreviewFile(const std::string& folder, const std::string& name, const std::string& shown,
                             std::size_t limit) {
  TPreviewFile file;
  TSourceFile found = TSourceFile::sfMissing;
  std::FILE* stream =
      HasZeroByte(folder) || HasZeroByte(name) ? nullptr : FileOperations.OpenRead(folder.c_str(), name.c_str(), found);
  if (!stream) {
    file.Problem = WhyNotOpened(found, shown);
    file.Missing = found == TSourceFile::sfMissing;
    return file;
  }
  char buffer[64 * 1024];
  for (;;) {
    std::size_t count = 0;
    if (!FileOperations.Read(buffer, sizeof buffer, stream, count)) {
      file.Problem = shown + " cannot be read.";
      break;
    }
    if (count == 0) break;
    if (count > limit - file.Bytes.size()) {
      file.Problem = shown + " is larger than the " + std::to_string(limit >> 20) + " MB the preview reads.";
      break;
    }
    file.Bytes.append(buffer, count);
  }
  FileOperations.Close(stream);
  if (!file.Problem.empty()) file.Bytes.clear();
  return file;
}
