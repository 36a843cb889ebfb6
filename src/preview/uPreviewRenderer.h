#pragma once
// Renders an OGRE mesh with its material scripts and textures the way a game
// shows it: OGRE 1.12's OpenGL render system (RenderSystem_GL, the fixed
// function pipeline that our material scripts are written for), the mesh as an
// entity, one directional light and ambient light, and cameras that frame the
// mesh's bounding box. The picture is drawn off-screen (a render texture) and
// read back as RGB pixels.
//
// A renderer starts OGRE once and renders any number of meshes, each in a
// resource group of its own that is dropped afterwards. It needs an X display
// (see TPrivateDisplay) and writes no log file: OGRE's log is kept in memory,
// its warnings and errors about the rendered files are handed back, its normal
// messages dropped.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What to render: a binary mesh, the material scripts that define its
// materials, and the folders its textures are looked up in besides the
// mesh's own. OGRE is handed the files from memory and never opens one
// itself: each is read only if it is a regular file of at most
// kMaxPreviewFileBytes (uPreviewFiles.h), reached without following a link below Root (or,
// without a Root, below its own folder for the mesh and the scripts, and
// below the texture folder for a texture).
struct TPreviewAsset {
  std::string MeshFile;
  std::vector<std::string> MaterialScripts;
  std::vector<std::string> TextureFolders;
  // The folder that every path above lies in, ending with a delimiter; empty: none.
  std::string Root;
};


struct TRgb {
  std::uint8_t R = 0, G = 0, B = 0;
  friend bool operator==(const TRgb&, const TRgb&) = default;
};

enum class TPreviewCulling {
  pcAsMaterials,  // as the materials say: OGRE culls back faces unless a pass says otherwise
  pcNone,         // every face drawn from both sides, whatever the materials say
};

enum class TPreviewLighting {
  plDirectional,  // one directional light from above, in front, right, plus ambient light
  plFullAmbient,  // white ambient light only: each surface shows its material's colour unshaded
};

struct TPreviewOptions {
  int Width = 800;
  int Height = 600;
  // 4: a 2x2 grid of front, side (from the right), top and three-quarter
  // views; 1: the three-quarter view alone.
  int Views = 4;
  TPreviewCulling Culling = TPreviewCulling::pcAsMaterials;
  TPreviewLighting Lighting = TPreviewLighting::plDirectional;
  TRgb Background = {58, 64, 74};
  // The lines between the views of the grid.
  TRgb Separator = {30, 33, 38};
  // Fog over the mesh's depth in each view, fading to this colour at its far
  // end, so that each pixel tells how far the surface it shows is: a near and
  // a far face of the same look no longer look alike. For comparisons; off in
  // a normal preview.
  bool DepthTint = false;
  TRgb DepthTintColour = {255, 0, 255};
  // Multisample anti-aliasing (0 or 1: none). Tests that compare pixels turn it off.
  int Antialiasing = 4;
  // Each view's name and the size of the mesh's box in metres, drawn into
  // its top-left corner (see uPictureLabels.h).
  bool Labels = false;
  // The mesh's level of detail drawn in every view, whatever the camera's
  // distance: 0, the full mesh; k, its k-th generated level. A level that
  // the mesh does not have is an error.
  int DetailLevel = 0;
};

struct TPreviewImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Rgb;  // rows from the top, 3 bytes a pixel

  TRgb At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)) * 3;
    return {Rgb[i], Rgb[i + 1], Rgb[i + 2]};
  }
};

struct TPreviewResult {
  TPreviewImage Image;
  // What OGRE logged as a warning or an error while it read and drew the
  // files (a script line it rejects, a material it cannot find, a texture it
  // cannot decode), and names it could not be given whole, in order.
  std::vector<std::string> Warnings;
  // The same, only what OGRE logged as an error (a subset of Warnings).
  std::vector<std::string> Errors;
};

class TPreviewRenderer {
public:
  // Starts OGRE with its OpenGL render system on the current X display.
  // Raises a TException, with OGRE's reasons, when the render system cannot
  // start (no display, no OpenGL).
  TPreviewRenderer();
  ~TPreviewRenderer();
  TPreviewRenderer(const TPreviewRenderer&) = delete;
  TPreviewRenderer& operator=(const TPreviewRenderer&) = delete;

  // Renders into `result` (emptied first). Raises a TException when the mesh
  // cannot be loaded or drawn; the problems that OGRE carries on after are in
  // the result's Warnings, and those logged before a failure stay there too.
  void Render(const TPreviewAsset& asset, const TPreviewOptions& options, TPreviewResult& result);

  // The image as the bytes of a PNG file (OGRE's FreeImage codec).
  std::string EncodePng(const TPreviewImage& image);

private:
  struct TImpl;
  std::unique_ptr<TImpl> F;
};
