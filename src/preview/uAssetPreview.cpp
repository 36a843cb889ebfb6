#include "preview/uAssetPreview.h"

#include <chrono>
#include <cstdio>
#include <memory>

#include "asset/AssetLayout.h"
#include "base/uException.h"
#include "platform/uFileLock.h"
#include "platform/uFileSystem.h"
#include "platform/uFileTransaction.h"
#include "preview/uPreviewRenderer.h"
#include "preview/uPrivateDisplay.h"

namespace {

// The path without the last extension of its file name.
std::string WithoutExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < FolderOf(path).size()) return path;
  return path.substr(0, dot);
}

struct TFoundAsset {
  TPreviewAsset Asset;
  std::string Name;  // for the default picture's name
};

TFoundAsset FindAsset(const TAssetPreviewRequest& request) {
  TFoundAsset found;
  if (!request.MeshFile.empty()) {
    found.Asset.MeshFile = request.MeshFile;
    found.Asset.MaterialScripts = {WithoutExtension(request.MeshFile) + ".material"};
    // The textures lie beside the mesh, whose folder the renderer searches anyway.
    found.Name = WithoutExtension(FileNameOf(request.MeshFile));
    // What is there but no regular file is the renderer's to refuse, saying so.
    if (!NameExists(request.MeshFile)) RaiseError("There is no mesh file %s.", {request.MeshFile});
  } else {
    const TAssetLayout layout(request.Repository, request.AssetName);
    found.Asset.MeshFile = layout.MeshFile();
    found.Asset.MaterialScripts = {layout.MaterialFile()};
    found.Asset.TextureFolders = {layout.Folder("Textures")};
    // Nothing is read through a link below the repository: its folders
    // could lead anywhere.
    found.Asset.Root = layout.Root();
    found.Name = layout.BaseName();
    if (!NameExists(found.Asset.MeshFile))
      RaiseError("The repository %s has no mesh for the asset \"%s\" (%s).",
                 {request.Repository, request.AssetName, found.Asset.MeshFile});
  }
  return found;
}

// The picture goes into a folder that is there and is a PNG file by its
// name, and must not replace one of the files it shows; all checked before
// the render, which takes a while.
void CheckOutput(const TPreviewAsset& asset, const std::string& output) {
  std::string extension = output.size() >= 4 ? output.substr(output.size() - 4) : std::string();
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  if (extension != ".png" || FileNameOf(output).size() <= 4)
    RaiseError("The picture %s must be a PNG file, named NAME.png.", {output});
  std::string folder = FolderOf(output);
  if (folder.size() > 1) folder.pop_back();  // its delimiter
  if (!folder.empty() && !DirectoryExists(folder)) RaiseError("The folder %s for the picture does not exist.", {folder});
  const std::string identity = FileIdentity(output);
  if (identity.empty()) return;
  for (const std::string& file : {asset.MeshFile, asset.MaterialScripts.front()})
    if (identity == FileIdentity(file)) RaiseError("%s is the asset's %s; the preview will not write over it.",
                                                   {output, file == asset.MeshFile ? "mesh" : "material script"});
}

// The picture's temporary file bears a mark of the picture, so that the next
// preview of the same picture removes what a killed one left, under the lock
// that keeps two previews from writing one picture at once.
void WriteFile(const std::string& target, const std::string& bytes) {
  const std::string folder = AbsoluteDirectory(FolderOf(target), "");
  const std::string name = FileNameOf(target);
  const std::unique_ptr<TFileLock> lock = TFileLock::TryAcquire(folder + "." + name + ".lock");
  if (!lock) RaiseError("The picture %s is being written by another process.", {target});
  TFileTransaction transaction(folder + name);
  transaction.RemoveStaleFiles(folder);
  const std::size_t file = transaction.Create(target);
  if (std::fwrite(bytes.data(), 1, bytes.size(), transaction.File(file)) != bytes.size())
    RaiseError("Cannot write file %s", {target});
  transaction.Finish(file);
  transaction.Commit();
}

class TStopwatch {
public:
  double Lap() {
    const auto now = std::chrono::steady_clock::now();
    const double ms = std::chrono::duration<double, std::milli>(now - FLast).count();
    FLast = now;
    return ms;
  }

private:
  std::chrono::steady_clock::time_point FLast = std::chrono::steady_clock::now();
};

std::string Milliseconds(double ms) { return std::to_string(static_cast<long long>(ms + 0.5)) + " ms"; }

}  // namespace

void RunAssetPreview(const TAssetPreviewRequest& request, std::ostream& out, std::ostream& err) {
  const TFoundAsset found = FindAsset(request);
  const std::string output = request.Output.empty() ? found.Name + ".png" : request.Output;
  CheckOutput(found.Asset, output);

  TPreviewOptions options;
  options.Width = request.Width;
  options.Height = request.Height;
  options.Views = request.Views;
  options.DetailLevel = request.DetailLevel;
  options.Labels = true;

  TStopwatch clock, total;
  std::string png;
  {
    // The display outlives the renderer: OGRE closes its window first.
    const TPrivateDisplay display;
    if (request.Timings)
      err << "preview: display " << Milliseconds(clock.Lap())
          << (display.Started() ? " (private Xvfb " + display.Name() + ", process " +
                                      std::to_string(display.ServerProcess()) + ")"
                                : " (" + display.Name() + ")")
          << std::endl;
    TPreviewRenderer renderer;
    if (request.Timings) err << "preview: OGRE start " << Milliseconds(clock.Lap()) << std::endl;
    TPreviewResult result;
    const auto report = [&] {
      for (const std::string& warning : result.Warnings) err << "warning: " << VisibleText(warning) << '\n';
    };
    try {
      renderer.Render(found.Asset, options, result);
    } catch (...) {
      report();
      throw;
    }
    report();
    if (request.Timings) err << "preview: render " << Milliseconds(clock.Lap()) << std::endl;
    png = renderer.EncodePng(result.Image);
    if (request.Timings) err << "preview: PNG " << Milliseconds(clock.Lap()) << std::endl;
  }
  if (request.Timings) err << "preview: OGRE and display stop " << Milliseconds(clock.Lap()) << std::endl;
  WriteFile(output, png);
  if (request.Timings) err << "preview: total " << Milliseconds(total.Lap()) << std::endl;
  out << output << '\n';
}
