#include "cli/PreviewRendering.h"
#include "preview/uAssetPreview.h"

void RenderPreview(const TCommandArguments& arguments, const TPreviewPicture& picture, const TCommandStreams& streams) {
  RunAssetPreview({arguments.Repository, picture.AssetName, arguments.MeshFile, arguments.Output, picture.Width,
                   picture.Height, arguments.Views, arguments.Timings, picture.DetailLevel},
                  streams.Out, streams.Err);
}
