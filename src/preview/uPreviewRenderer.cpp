#include "preview/uPreviewRenderer.h"

#include "preview/uPictureLabels.h"

#include <Ogre.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <cctype>
#include <string_view>

#include "base/uException.h"
#include "platform/uFileSystem.h"
#include "preview/uMeshBounds.h"
#include "preview/uPlatformMaterialScript.h"
#include "preview/uPreviewFiles.h"

// VELDARA_OGRE_PLUGIN_DIR: the folder of OGRE's plug-ins, from OGRE's CMake configuration.

namespace {

constexpr const char* kGroup = "VeldaraPreview";
constexpr const char* kRenderSystem = "OpenGL Rendering Subsystem";

// OGRE 1.12 says this of every mesh in a format older than its own (1.30,
// which the platform reads, or 1.8), which our exporter writes on purpose for
// older OGREs: not a problem of the file.
constexpr std::string_view kOldFormatNotice = "uses an old format [MeshSerializer_v";

// The views of the grid: where the camera stands, seen from the mesh's centre,
// and which way is up on the screen. Reading order: front, side (from the
// right), top (front at the bottom), three-quarter (front, right, above).
struct TView {
  Ogre::Vector3 From;
  Ogre::Vector3 Up;
};
const std::array<TView, 4> kGridViews = {{
    {{0, 0, 1}, {0, 1, 0}},
    {{1, 0, 0}, {0, 1, 0}},
    {{0, 1, 0}, {0, 0, -1}},
    {{1, 0.8f, 1.25f}, {0, 1, 0}},
}};

constexpr float kFieldOfViewDegrees = 40;
// The share of each view's half-width and half-height that the mesh may fill.
constexpr float kFill = 0.9f;

Ogre::ColourValue Colour(const TRgb& rgb) { return Ogre::ColourValue(rgb.R / 255.0f, rgb.G / 255.0f, rgb.B / 255.0f); }

// Reads the file `name` in `folder` for OGRE: inside the asset's root, with
// no link followed below it, when the folder lies there; else inside the
// folder itself.
TPreviewFile ReadAssetFile(const TPreviewAsset& asset, const std::string& folder, const std::string& name,
                           const std::string& shown) {
  const std::string& root = asset.Root;
  if (!root.empty() && folder.compare(0, root.size(), root) == 0) {
    std::string below = folder.substr(root.size());
    if (!below.empty() && below.back() != PathDelimiter) below += PathDelimiter;
    return ReadPreviewFile(root, below + name, shown);
  }
  return ReadPreviewFile(folder, name, shown);
}

// A stream over bytes that stay where they are.
Ogre::DataStreamPtr StreamOver(const std::string& name, std::string& bytes) {
  return std::make_shared<Ogre::MemoryDataStream>(name, bytes.data(), bytes.size(), false, true);
}

// Hands OGRE the mesh's bytes whenever it loads the mesh.
struct TMeshBytesLoader : Ogre::ManualResourceLoader {
  std::string Bytes;
  void loadResource(Ogre::Resource* resource) override {
    Ogre::DataStreamPtr stream = StreamOver(resource->getName(), Bytes);
    Ogre::MeshSerializer().importMesh(stream, static_cast<Ogre::Mesh*>(resource));
  }
};

// Every pass of the materials that the render's scripts defined.
template <typename Visit>
void ForEachPass(Visit&& visit) {
  auto materials = Ogre::MaterialManager::getSingleton().getResourceIterator();
  while (materials.hasMoreElements()) {
    const Ogre::ResourcePtr resource = materials.getNext();
    if (resource->getGroup() != kGroup) continue;
    const Ogre::MaterialPtr material = Ogre::static_pointer_cast<Ogre::Material>(resource);
    for (Ogre::Technique* technique : material->getTechniques())
      for (Ogre::Pass* pass : technique->getPasses()) visit(*material, *pass);
  }
}

// Where the camera of a view stands and how near and far the mesh is from it,
// so that the box fits into the view whatever its shape.
struct TFraming {
  Ogre::Vector3 Position;
  Ogre::Quaternion Orientation;
  float Near = 0;  // distance of the box's nearest corner along the view
  float Far = 0;   // of its farthest
  float Size = 0;  // the box's diagonal (at least a little)
};

// A view that would see a flat mesh exactly edge-on (a floor tile from the
// front, a wall from the side) would show nothing but a line: it is turned by
// about 19 degrees towards the flat side, so that the cell shows the mesh.
TView NotEdgeOn(const Ogre::AxisAlignedBox& box, TView view) {
  const Ogre::Vector3 size = box.getSize();
  const float diagonal = size.length();
  if (!(diagonal > 0)) return view;
  const auto extentAlong = [&](const Ogre::Vector3& axis) {
    return std::abs(size.x * axis.x) + std::abs(size.y * axis.y) + std::abs(size.z * axis.z);
  };
  const Ogre::Vector3 back = view.From.normalisedCopy();
  const Ogre::Vector3 right = view.Up.crossProduct(back).normalisedCopy();
  const Ogre::Vector3 up = back.crossProduct(right);
  constexpr float kTurn = 0.35f;  // tan(19 degrees)
  if (extentAlong(up) < diagonal * 1e-3f) view.From = back + up * kTurn;
  if (extentAlong(right) < diagonal * 1e-3f) view.From = view.From.normalisedCopy() + right * kTurn;
  return view;
}

TFraming Frame(const Ogre::AxisAlignedBox& box, const TView& gridView, float aspect) {
  const TView view = NotEdgeOn(box, gridView);
  const Ogre::Vector3 back = view.From.normalisedCopy();  // from the centre towards the camera
  const Ogre::Vector3 right = view.Up.crossProduct(back).normalisedCopy();
  const Ogre::Vector3 up = back.crossProduct(right);
  const Ogre::Vector3 centre = box.getCenter();
  const float tanY = std::tan(Ogre::Degree(kFieldOfViewDegrees / 2).valueRadians()) * kFill;
  const float tanX = tanY * aspect;
  // Each corner at (x, y, z) in the camera's axes around the centre must lie
  // inside the frustum of a camera at distance d: |x| <= (d - z) tanX and
  // |y| <= (d - z) tanY.
  float distance = 0;
  float nearest = 0, farthest = 0;
  for (const Ogre::Vector3& corner : box.getAllCorners()) {
    const Ogre::Vector3 offset = corner - centre;
    const float x = offset.dotProduct(right), y = offset.dotProduct(up), z = offset.dotProduct(back);
    distance = std::max({distance, z + std::abs(x) / tanX, z + std::abs(y) / tanY});
    nearest = std::max(nearest, z);
    farthest = std::min(farthest, z);
  }
  // A box without extent (a point) still needs a camera in front of it.
  const float size = std::max(box.getSize().length(), 1e-3f);
  distance = std::max(distance, nearest + size * 0.5f);
  TFraming framing;
  framing.Size = size;
  framing.Position = centre + back * distance;
  framing.Orientation = Ogre::Quaternion(right, up, back);
  framing.Near = distance - nearest;
  framing.Far = distance - farthest;
  return framing;
}

// Draws the lines between the views of a 2x2 grid into the image.
void DrawSeparators(TPreviewImage& image, const TRgb& colour) {
  const auto put = [&](int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.Width) + static_cast<std::size_t>(x)) * 3;
    image.Rgb[i] = colour.R, image.Rgb[i + 1] = colour.G, image.Rgb[i + 2] = colour.B;
  };
  const int midX = image.Width / 2, midY = image.Height / 2;
  for (int y = 0; y < image.Height; ++y)
    for (int x = std::max(midX - 1, 0); x <= midX && x < image.Width; ++x) put(x, y);
  for (int x = 0; x < image.Width; ++x)
    for (int y = std::max(midY - 1, 0); y <= midY && y < image.Height; ++y) put(x, y);
}

// Each view's name and, below it, the box's size, in the top-left corner of its cell.
void DrawViewLabels(TPreviewImage& image, bool grid, const Ogre::Vector3& size) {
  static const char* const kNames[] = {"Front", "Side", "Top", "Three-quarter"};
  const TRgb kInk = {235, 235, 235}, kShadow = {0, 0, 0};
  const int cellWidth = grid ? image.Width / 2 : image.Width, cellHeight = grid ? image.Height / 2 : image.Height;
  const int scale = std::max(1, std::min(cellWidth, cellHeight) / 150);
  for (int i = grid ? 0 : 3; i < 4; ++i) {
    const int left = grid ? (i % 2) * cellWidth : 0, top = grid ? (i / 2) * cellHeight : 0;
    const int x = left + 3 * scale, y = top + 3 * scale, right = left + cellWidth - 2;
    DrawLabel(image, x, y, kNames[i], kInk, kShadow, scale, right);
    DrawLabel(image, x, y + LabelLineHeight(scale), BoxSizeLabel(size.x, size.y, size.z), kInk, kShadow, scale, right);
  }
}

}  // namespace

struct TPreviewRenderer::TImpl : Ogre::LogListener {
  std::unique_ptr<Ogre::LogManager> LogManager;
  std::unique_ptr<Ogre::Root> Root;
  Ogre::RenderWindow* Window = nullptr;
  // Where OGRE's warnings and errors go: the render under way, or else the
  // set-up's list.
  TPreviewResult* Recording = nullptr;
  std::vector<std::string> SetupProblems;

  void messageLogged(const Ogre::String& message, Ogre::LogMessageLevel level, bool, const Ogre::String&,
                     bool& skipThisMessage) override {
    skipThisMessage = true;  // the log has no file and no console output anyway
    if (level < Ogre::LML_WARNING) return;
    // OGRE starts most of these with "Error: " or "Warning: "; the caller
    // says which it is.
    std::string_view text = message;
    for (std::string_view prefix : {"Error: ", "Warning: "})
      if (text.starts_with(prefix)) text.remove_prefix(prefix.size());
    if (!Recording) {
      SetupProblems.emplace_back(text);
      return;
    }
    if (text.find(kOldFormatNotice) != std::string_view::npos) return;
    Recording->Warnings.emplace_back(text);
    if (level >= Ogre::LML_CRITICAL) Recording->Errors.emplace_back(text);
  }

  void Start();
  void Stop() noexcept;
  // The loaded mesh's bytes; outlives the resource group, which holds the mesh.
  TMeshBytesLoader MeshLoader;

  void Render(const TPreviewAsset& asset, const TPreviewOptions& options, TPreviewResult& result);
  void ParseScript(const TPreviewAsset& asset, const std::string& fileName, TPreviewResult& result);
  void LimitTextureUnits(TPreviewResult& result);
  void LoadTextures(const TPreviewAsset& asset, TPreviewResult& result);
  Ogre::MeshPtr LoadMesh(const TPreviewAsset& asset);
};

void TPreviewRenderer::TImpl::Start() {
  // Our own default log, made before Root so that Root makes no Ogre.log: no
  // file, no console output, only this listener hears it.
  LogManager = std::make_unique<Ogre::LogManager>();
  Ogre::Log* log = LogManager->createLog("veldara-preview", true, false, true);
  log->addListener(this);
  // No plug-in list, no configuration file, no log file of its own.
  Root = std::make_unique<Ogre::Root>("", "", "");
  const std::string plugins = VELDARA_OGRE_PLUGIN_DIR;
  Root->loadPlugin(plugins + "/RenderSystem_GL");
  // PNG and the other image formats, for the textures and for the picture.
  // FreeImage rather than OGRE 1.12's STBI codec, which frees the pixels that
  // stb_image allocated with malloc by delete[] (undefined behaviour, and
  // AddressSanitizer stops there).
  Root->loadPlugin(plugins + "/Codec_FreeImage");
  Ogre::RenderSystem* renderSystem = Root->getRenderSystemByName(kRenderSystem);
  if (!renderSystem) RaiseError("OGRE has no %s.", {kRenderSystem});
  Root->setRenderSystem(renderSystem);
  Root->initialise(false);
  // The GL context lives with a window; the pictures are drawn off-screen.
  Ogre::NameValuePairList parameters = {{"hidden", "true"}, {"vsync", "false"}};
  Window = Root->createRenderWindow("veldara-preview", 1, 1, false, &parameters);
  Window->setAutoUpdated(false);
}

void TPreviewRenderer::TImpl::Stop() noexcept {
  try {
    Root.reset();
  } catch (...) {
  }
  LogManager.reset();
}

void TPreviewRenderer::TImpl::ParseScript(const TPreviewAsset& asset, const std::string& fileName,
                                          TPreviewResult& result) {
  const TPreviewFile file =
      ReadAssetFile(asset, FolderOf(fileName), FileNameOf(fileName), "The material script " + fileName);
  if (!file.Problem.empty()) {
    result.Warnings.push_back(file.Problem);
    return;
  }
  TPlatformMaterialScript script = PlatformMaterialScript(file.Bytes);
  result.Warnings.insert(result.Warnings.end(), script.Problems.begin(), script.Problems.end());
  // The stream's name is the file's, which the compiler quotes in its messages;
  // it reads the text in place.
  Ogre::DataStreamPtr stream = StreamOver(FileNameOf(fileName), script.Text);
  try {
    Ogre::MaterialManager::getSingleton().parseScript(stream, kGroup);
  } catch (const Ogre::Exception& e) {
    // A second definition of a material name, for one, is thrown, not logged.
    result.Warnings.push_back(e.getDescription());
    result.Errors.push_back(e.getDescription());
  }
}

// The render system draws only so many texture units in a pass; OpenGL's
// state cache writes past its arrays for more. The units beyond are left out.
void TPreviewRenderer::TImpl::LimitTextureUnits(TPreviewResult& result) {
  const unsigned short units = Root->getRenderSystem()->getCapabilities()->getNumTextureUnits();
  ForEachPass([&](const Ogre::Material& material, Ogre::Pass& pass) {
    const unsigned short count = pass.getNumTextureUnitStates();
    if (count <= units) return;
    while (pass.getNumTextureUnitStates() > units) pass.removeTextureUnitState(units);
    result.Warnings.push_back("The material \"" + material.getName() + "\" has " + std::to_string(count) +
                              " layers in a pass, but OpenGL draws only " + std::to_string(units) +
                              " here: the preview leaves the others out.");
  });
}

// The textures that the materials name, read from the texture folders and
// then the mesh's own, handed to OGRE as pictures decoded from memory. A
// texture in none of them is left to OGRE, which reports it; one that is
// refused or cannot be decoded is reported, and its units draw no texture.
void TPreviewRenderer::TImpl::LoadTextures(const TPreviewAsset& asset, TPreviewResult& result) {
  std::vector<std::string> folders = asset.TextureFolders;
  folders.push_back(FolderOf(asset.MeshFile));
  std::map<std::string, bool> usable;  // by name: read and decoded, or not
  const auto load = [&](const std::string& name) {
    for (const std::string& folder : folders) {
      TPreviewFile file = ReadAssetFile(asset, folder, name, "The texture " + folder + PathDelimiter + name);
      if (file.Missing) continue;
      if (!file.Problem.empty()) {
        result.Warnings.push_back(file.Problem);
        return false;
      }
      const std::size_t dot = name.rfind('.');
      std::string type = dot == std::string::npos ? std::string() : name.substr(dot + 1);
      for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      try {
        Ogre::Image image;
        image.load(StreamOver(name, file.Bytes), type);
        // The script's texture units may have declared the texture already.
        Ogre::TextureManager& textures = Ogre::TextureManager::getSingleton();
        Ogre::TexturePtr texture = textures.getByName(name, kGroup);
        if (!texture) texture = textures.create(name, kGroup);
        texture->loadImage(image);
        return true;
      } catch (const Ogre::Exception& e) {
        result.Warnings.push_back("Cannot decode the texture " + folder + PathDelimiter + name + ": " +
                                  e.getDescription());
        return false;
      }
    }
    return true;  // OGRE says that it is missing
  };
  ForEachPass([&](const Ogre::Material&, Ogre::Pass& pass) {
    for (Ogre::TextureUnitState* unit : pass.getTextureUnitStates()) {
      bool drawn = true;
      for (unsigned int frame = 0; frame < unit->getNumFrames(); ++frame) {
        const std::string& name = unit->getFrameTextureName(frame);
        if (name.empty()) continue;
        auto [known, fresh] = usable.emplace(name, true);
        if (fresh) known->second = load(name);
        drawn = drawn && known->second;
      }
      if (!drawn) unit->setBlank();
    }
  });
}

// The mesh, read and checked before OGRE reads it from memory.
Ogre::MeshPtr TPreviewRenderer::TImpl::LoadMesh(const TPreviewAsset& asset) {
  TPreviewFile file =
      ReadAssetFile(asset, FolderOf(asset.MeshFile), FileNameOf(asset.MeshFile), "The mesh " + asset.MeshFile);
  if (!file.Problem.empty()) RaiseError("%s", {file.Problem});
  const std::string problem = MeshBoundsProblem(file.Bytes, asset.MeshFile);
  if (!problem.empty()) RaiseError("%s", {problem});
  MeshLoader.Bytes = std::move(file.Bytes);
  try {
    Ogre::MeshPtr mesh = Ogre::MeshManager::getSingleton().createManual(FileNameOf(asset.MeshFile), kGroup, &MeshLoader);
    mesh->load();
    return mesh;
  } catch (const Ogre::Exception& e) {
    RaiseError("OGRE cannot load the mesh %s: %s", {asset.MeshFile, e.getDescription()});
  }
}

void TPreviewRenderer::TImpl::Render(const TPreviewAsset& asset, const TPreviewOptions& options,
                                     TPreviewResult& result) {
  result = TPreviewResult();
  if (options.Width < 2 || options.Height < 2 || options.Width > 8192 || options.Height > 8192)
    RaiseError("The picture's size must be from 2x2 to 8192x8192 pixels.");
  if (options.Views != 1 && options.Views != 4) RaiseError("The preview shows 1 or 4 views.");

  Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
  Ogre::SceneManager* scene = nullptr;
  // Whatever happens, the next render starts from nothing.
  const auto cleanUp = [&]() noexcept {
    try {
      if (scene) Root->destroySceneManager(scene);
      if (groups.resourceGroupExists(kGroup)) groups.destroyResourceGroup(kGroup);
    } catch (...) {
    }
    MeshLoader.Bytes = std::string();
    Recording = nullptr;
  };
  Recording = &result;
  try {
    // No resource location: OGRE opens no file itself, it is handed each one.
    groups.createResourceGroup(kGroup, false);
    for (const std::string& script : asset.MaterialScripts) ParseScript(asset, script, result);
    LimitTextureUnits(result);
    if (options.Culling == TPreviewCulling::pcNone)
      ForEachPass([](const Ogre::Material&, Ogre::Pass& pass) {
        pass.setCullingMode(Ogre::CULL_NONE);
        pass.setManualCullingMode(Ogre::MANUAL_CULL_NONE);
      });
    LoadTextures(asset, result);
    const Ogre::MeshPtr mesh = LoadMesh(asset);
    const Ogre::AxisAlignedBox box = mesh->getBounds();
    if (box.isNull() || box.isInfinite()) RaiseError("The mesh %s has no bounding box to frame.", {asset.MeshFile});

    const int levels = mesh->getNumLodLevels();
    if (options.DetailLevel < 0 || options.DetailLevel >= levels)
      RaiseError(levels == 1 ? "The mesh %s has no levels of detail: only 0, the full mesh, can be drawn."
                             : "The mesh %s has no level of detail %d: it has 0 (the full mesh) to %d.",
                 {asset.MeshFile, std::to_string(options.DetailLevel), std::to_string(levels - 1)});

    scene = Root->createSceneManager();
    Ogre::Entity* entity = scene->createEntity(mesh);
    // The level chosen at every distance: it is both the most and the least
    // detailed one the entity may draw.
    const auto level = static_cast<Ogre::ushort>(options.DetailLevel);
    entity->setMeshLodBias(1, level, level);
    scene->getRootSceneNode()->createChildSceneNode()->attachObject(entity);
    if (options.Lighting == TPreviewLighting::plDirectional) {
      scene->setAmbientLight(Ogre::ColourValue(0.38f, 0.38f, 0.42f));
      Ogre::Light* light = scene->createLight();
      light->setType(Ogre::Light::LT_DIRECTIONAL);
      light->setDiffuseColour(Ogre::ColourValue(0.8f, 0.78f, 0.72f));
      light->setSpecularColour(Ogre::ColourValue::Black);
      Ogre::SceneNode* lightNode = scene->getRootSceneNode()->createChildSceneNode();
      lightNode->attachObject(light);
      // From above, in front and to the right: each face that a view shows
      // meets it at another angle.
      lightNode->setDirection(Ogre::Vector3(-0.45f, -0.8f, -0.6f).normalisedCopy(), Ogre::Node::TS_WORLD);
    } else {
      scene->setAmbientLight(Ogre::ColourValue::White);
    }

    const auto width = static_cast<unsigned>(options.Width), height = static_cast<unsigned>(options.Height);
    Ogre::TexturePtr texture = Ogre::TextureManager::getSingleton().createManual(
        "VeldaraPreviewTarget", kGroup, Ogre::TEX_TYPE_2D, width, height, 0, Ogre::PF_BYTE_RGB, Ogre::TU_RENDERTARGET,
        nullptr, false, static_cast<Ogre::uint>(std::max(options.Antialiasing, 0)));
    Ogre::RenderTarget* target = texture->getBuffer()->getRenderTarget();
    target->setAutoUpdated(false);

    const bool grid = options.Views == 4;
    std::vector<std::pair<Ogre::Viewport*, TFraming>> views;
    for (int i = grid ? 0 : 3; i < 4; ++i) {
      const float left = grid ? static_cast<float>(i % 2) * 0.5f : 0.0f;
      const float top = grid ? static_cast<float>(i / 2) * 0.5f : 0.0f;
      const float size = grid ? 0.5f : 1.0f;
      Ogre::Camera* camera = scene->createCamera("View" + std::to_string(i));
      Ogre::Viewport* viewport = target->addViewport(camera, i, left, top, size, size);
      viewport->setBackgroundColour(Colour(options.Background));
      viewport->setOverlaysEnabled(false);
      viewport->setShadowsEnabled(false);
      viewport->setSkiesEnabled(false);
      const float aspect =
          static_cast<float>(viewport->getActualWidth()) / static_cast<float>(std::max(viewport->getActualHeight(), 1));
      const TFraming framing = Frame(box, kGridViews[static_cast<std::size_t>(i)], aspect);
      Ogre::SceneNode* node = scene->getRootSceneNode()->createChildSceneNode();
      node->attachObject(camera);
      node->setPosition(framing.Position);
      node->setOrientation(framing.Orientation);
      camera->setFOVy(Ogre::Degree(kFieldOfViewDegrees));
      camera->setAspectRatio(aspect);
      // Clip planes a little outside the box, so that a flat mesh (a tile
      // seen from above) lies well between them.
      const float margin = framing.Size * 0.05f;
      camera->setNearClipDistance(std::max(framing.Near - margin, framing.Far * 1e-3f));
      camera->setFarClipDistance(framing.Far + margin);
      views.emplace_back(viewport, framing);
    }

    target->_beginUpdate();
    for (const auto& [viewport, framing] : views) {
      if (options.DepthTint)
        scene->setFog(Ogre::FOG_LINEAR, Colour(options.DepthTintColour), 0, framing.Near, framing.Far);
      target->_updateViewport(viewport);
    }
    target->_endUpdate();
    // Resolves the multisampled picture into the texture.
    target->swapBuffers();

    result.Image.Width = options.Width;
    result.Image.Height = options.Height;
    result.Image.Rgb.resize(static_cast<std::size_t>(width) * height * 3);
    target->copyContentsToMemory(Ogre::Box(0, 0, width, height),
                                 Ogre::PixelBox(width, height, 1, Ogre::PF_BYTE_RGB, result.Image.Rgb.data()),
                                 Ogre::RenderTarget::FB_AUTO);
    if (grid) DrawSeparators(result.Image, options.Separator);
    if (options.Labels) DrawViewLabels(result.Image, grid, box.getSize());
  } catch (const Ogre::Exception& e) {
    cleanUp();
    RaiseError("OGRE cannot render %s: %s", {asset.MeshFile, e.getDescription()});
  } catch (...) {
    cleanUp();
    throw;
  }
  cleanUp();
}

TPreviewRenderer::TPreviewRenderer() : F(std::make_unique<TImpl>()) {
  // What went wrong is copied out and the exception given up before OGRE
  // stops: stopping unloads the OpenGL plug-in, and an exception that the
  // plug-in threw (its "Couldn't open X display", say) may need the plug-in's
  // code to be destroyed. Only our own exceptions leave.
  std::string problem;
  try {
    F->Start();
    return;
  } catch (const Ogre::Exception& e) {
    problem = "OGRE's OpenGL render system cannot start: " + e.getDescription();
    for (const std::string& setup : F->SetupProblems) problem += " " + setup;
  } catch (const TException& e) {
    problem = e.Message();
  } catch (const std::bad_alloc&) {
    problem = "Out of memory.";
  } catch (const std::exception& e) {
    problem = std::string("OGRE's OpenGL render system cannot start: ") + e.what();
  } catch (...) {
    problem = "OGRE's OpenGL render system cannot start.";
  }
  F->Stop();
  throw TException(problem);
}

TPreviewRenderer::~TPreviewRenderer() { F->Stop(); }

void TPreviewRenderer::Render(const TPreviewAsset& asset, const TPreviewOptions& options, TPreviewResult& result) {
  F->Render(asset, options, result);
}

std::string TPreviewRenderer::EncodePng(const TPreviewImage& image) {
  try {
    Ogre::Image picture;
    // The image only reads the pixels.
    picture.loadDynamicImage(const_cast<Ogre::uchar*>(image.Rgb.data()), static_cast<Ogre::uint32>(image.Width),
                             static_cast<Ogre::uint32>(image.Height), Ogre::PF_BYTE_RGB);
    return picture.encode("png")->getAsString();
  } catch (const Ogre::Exception& e) {
    RaiseError("Cannot encode the picture as PNG: %s", {e.getDescription()});
  }
}
