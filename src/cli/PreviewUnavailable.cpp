#include "cli/PreviewRendering.h"

void RenderPreview(const TCommandArguments&, const TPreviewPicture&, const TCommandStreams&) {
  RaiseError("This build of veldara-export has no preview: it renders with OGRE's OpenGL render system, which "
             "only the Linux build includes.");
}
