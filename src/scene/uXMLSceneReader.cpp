#include "scene/uXMLSceneReader.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <exception>
#include <limits>
#include <thread>

#include "base/uException.h"
#include "base/uNumbers.h"
#include "base/Parallel.h"
#include "scene/uXMLSceneConstants.h"
#include "xml/XMLCharacters.h"
#include "xml/uXMLNode.h"
#include "xml/uXMLParser.h"
#include "xml/uXMLReader.h"

namespace {
using XMLCharacters::IsWhite;

// Percentages are rounded to the nearest integer, halves to the even one.
int RoundPercent(double value) { return static_cast<int>(std::nearbyint(value)); }

// The entry of the table whose keyword is the node's attribute `name`; an
// unknown keyword raises `message` with the attribute's value.
template <typename Entry, std::size_t N>
const Entry& ReadKeyword(const TXMLNode& node, std::string_view name, const Entry (&table)[N],
                          std::string_view message) {
  const std::string_view text = node.GetProperty(name);
  const Entry* entry = FindKeyword(table, text);
  if (!entry) RaiseError(message, {text});
  return *entry;
}

// r, g and b (and a, when asked for and present) packed into one colour. A
// component outside 0..255 keeps its low 8 bits, so it never spills into its
// neighbour's byte.
uint32_t ReadColor(const TXMLNode& node, bool withAlpha) {
  const auto byte = [&](std::string_view name) { return static_cast<uint32_t>(node.GetIntProperty(name)) & 0xFFu; };
  uint32_t color = byte("r") | byte("g") << 8 | byte("b") << 16;
  if (withAlpha) color |= (node.HasProperty("a") ? byte("a") : 0xFFu) << 24;
  return color;
}

// Reads x, y and z times the scale; false when a product is not a finite
// float (the text itself is always finite, the scale may carry it beyond the
// float range). Such a point would poison the bounds, the normals and the
// vertex welding of every export, so the callers refuse the scene.
template <typename Name>
bool ReadPoint(const TXMLNode& node, TVertex& point, float scale, const Name& x, const Name& y, const Name& z) {
  for (auto [name, field] : {std::pair{&x, &point.X}, std::pair{&y, &point.Y}, std::pair{&z, &point.Z}}) {
    const double value = static_cast<double>(node.GetFloatProperty(*name)) * scale;
    // Checked before the conversion, which is undefined beyond the float range.
    if (!(std::fabs(value) <= std::numeric_limits<float>::max())) return false;
    *field = static_cast<float>(value);
  }
  return true;
}

bool ReadPoint(const TXMLNode& node, TVertex& point, float scale) {
  return ReadPoint(node, point, scale, std::string_view("x"), std::string_view("y"), std::string_view("z"));
}

// See TXMLSceneReader::SmoothingAngle. Only the scene's own errors are left
// for later: the normals are then not added at all.
void GiveNormals(TPrimitive& primitive, const std::optional<float>& angle) {
  if (!angle) return;
  try {
    primitive.CalculateNormals(*angle);
  } catch (const TException&) {
  }
}
}  // namespace

// The primitives of a <primitives> section, offered by the parser before it
// reads them, read straight from the text where the text reader can; those
// it gives up on stay the tree's. Nothing is read from the text once the
// scene has failed: the parse then only looks for a syntax error.
//
// A large section is read on several threads at once. From its first
// primitive on, the document is cut into chunks of a few megabytes; chunk c
// starts at the first "<primitive" that follows "</primitive>" and white
// space at or after c chunk lengths in. Each thread takes the first chunk
// nobody has taken, within two rounds of chunks (one per thread) of the
// parser's at most (so that the text read ahead and not yet given back stays
// small), and reads it: the primitives from the chunk's start up to the next
// chunk's start, until the text reader gives up or something else than a
// primitive comes. When the parser offers the element that starts exactly
// where a chunk starts, it takes the chunk's primitives in one go and goes on
// behind them: a chunk nobody took it reads there and then, and while a
// thread is still reading the chunk, the parser reads the next chunk nobody
// has taken instead of waiting.
// The parser stands there only if that "<primitive" really starts an element
// of the section (not one inside a comment, a value, or an element the tree
// reads), and then the chunk holds exactly what the parser would have read;
// a chunk whose start the parser passes is dropped. So the scene is the same
// with any number of threads.
class TXMLSceneReader::TPrimitiveElements : public TXMLElementReader {
public:
  TPrimitiveElements(TXMLSceneReader& owner, TScene& scene, const std::exception_ptr& failure)
      : FOwner(owner), FReader(owner.Scale, owner.FMaterialsById), FScene(scene), FFailure(failure) {}
  ~TPrimitiveElements() override { StopThreads(); }
  TPrimitiveElements(const TPrimitiveElements&) = delete;
  TPrimitiveElements& operator=(const TPrimitiveElements&) = delete;

  std::size_t ReadElement(std::string_view text, const TXMLNode& parent, int depth) override {
    if (depth != 2 || parent.Name() != "primitives") return 0;
    if (FFailure) {
      StopThreads();
      return 0;
    }
    if (!FStarted) StartThreads(text);
    if (!FThreads.empty()) {
      bool taken = false;
      const std::size_t length = TakeChunk(text.data(), taken);
      if (taken && length > 0) return length;
    }
    std::unique_ptr<TPrimitive> primitive;
    const std::size_t length = FReader.Read(text, primitive);
    if (length > 0) {
      GiveNormals(*primitive, FOwner.SmoothingAngle);
      FScene.AddPrimitive(std::move(primitive));
    }
    return length;
  }

  void Finish() noexcept override { StopThreads(); }

  // Ends the other threads and drops what they read; the next primitive
  // offered starts anew. Called before the materials change, which the
  // threads read.
  void StopThreads() noexcept {
    {
      const std::lock_guard<std::mutex> lock(FMutex);
      FStopping = true;
    }
    FChanged.notify_all();
    for (std::thread& thread : FThreads) thread.join();
    FThreads.clear();
    FChunks.clear();
    FStopping = false;
    FStarted = false;
  }

private:
  struct TChunk {
    bool StartKnown = false;
    const char* Start = nullptr;  // nullptr: no chunk starts at or after its place
    const char* End = nullptr;    // behind its last primitive read
    std::vector<std::unique_ptr<TPrimitive>> Primitives;
    bool Done = false;
    bool Taken = false;      // by Reader: 0 the parser, t thread t
    std::size_t Reader = 0;
    std::atomic<bool> Dropped{false};
  };


  // The first "<primitive" at or after `from` in the text that follows
  // "</primitive>" and white space, or nullptr.
  const char* FindChunkStart(std::size_t from) const {
    constexpr std::string_view kEnd = "</primitive>", kStart = "<primitive";
    const std::string_view text(FBase, static_cast<std::size_t>(FEnd - FBase));
    for (std::size_t at = text.find(kEnd, from); at != std::string_view::npos; at = text.find(kEnd, at + 1)) {
      std::size_t p = at + kEnd.size();
      while (p < text.size() && IsWhite(text[p])) ++p;
      if (text.substr(p, kStart.size()) == kStart && p + kStart.size() < text.size() &&
          (IsWhite(text[p + kStart.size()]) || text[p + kStart.size()] == '>'))
        return text.data() + p;
    }
    return nullptr;
  }

  // Chunk c, its start found on the first call (whoever calls first; all
  // find the same). Called with the lock, which the search runs without.
  TChunk& Chunk(std::size_t c, std::unique_lock<std::mutex>& lock) {
    while (FChunks.size() <= c) FChunks.emplace_back();
    if (!FChunks[c].StartKnown) {
      lock.unlock();
      const char* start = c == 0 ? FBase : FindChunkStart(c * FChunkLength);
      lock.lock();
      FChunks[c].Start = start;
      FChunks[c].StartKnown = true;
    }
    return FChunks[c];
  }

  void StartThreads(std::string_view text) {
    FStarted = true;
    const unsigned threads = std::min(WorkerCount(), 16u);
    const std::size_t minimum = std::max<std::size_t>(FOwner.MinTextPerReadThread, 1);
    if (threads < 2 || text.size() < 2 * minimum) return;
    FBase = text.data();
    FEnd = text.data() + text.size();
    FThreadCount = threads;
    // Four rounds of chunks (one per reader a round) at least, more where
    // chunks would pass kLargestChunk, all of one length: no short chunk at
    // the end, and the readers end within about a chunk of each other. More
    // and smaller chunks cost more than they save.
    const std::size_t round = threads * kLargestChunk;
    const std::size_t rounds = std::max<std::size_t>(4, (text.size() + round - 1) / round);
    FChunkLength = std::max(minimum, (text.size() + rounds * threads - 1) / (rounds * threads));
    // Chunk 0 starts where the parser stands: it is the parser's.
    FNextChunk = 0;
    FNextClaim = 1;
    FNoMoreChunks = false;
    FParserChunk = 0;
    FThreadEnded.assign(threads, false);
    for (unsigned t = 1; t < threads; ++t) {
      try {
        FThreads.emplace_back([this, t] { ReadChunks(t); });
      } catch (...) {
        // No thread to be had: the parser reads those chunks itself.
        const std::lock_guard<std::mutex> lock(FMutex);
        FThreadEnded[t] = true;
      }
    }
  }

  // Thread t: the first chunk nobody has taken, again and again.
  void ReadChunks(std::size_t t) noexcept {
    std::unique_lock<std::mutex> lock(FMutex);
    try {
      TPrimitiveTextReader reader(FOwner.Scale, FOwner.FMaterialsById);
      for (;;) {
        std::size_t c = kNoChunk;
        for (;;) {
          if (FStopping || FNoMoreChunks) break;
          c = ClaimChunk(t, lock);
          // ClaimChunk may have let the lock go: what it does not cover is
          // asked again before waiting, or a change meanwhile goes unseen.
          if (c != kNoChunk || FStopping || FNoMoreChunks) break;
          FChanged.wait(lock);
        }
        if (c == kNoChunk) break;
        ReadChunk(c, reader, lock);
      }
    } catch (...) {
      if (!lock.owns_lock()) lock.lock();
    }
    // The parser waits for no chunk of this thread any more.
    FThreadEnded[t] = true;
    FChanged.notify_all();
  }

  // The first chunk nobody has taken, now taken by `reader` (0: the parser,
  // t: thread t), if it lies within two rounds of chunks of the parser's;
  // kNoChunk otherwise. Called with the lock, which the search for a chunk's
  // start runs without.
  std::size_t ClaimChunk(std::size_t reader, std::unique_lock<std::mutex>& lock) {
    for (;;) {
      const std::size_t c = FNextClaim;
      if (FNoMoreChunks || c >= FParserChunk + 2 * FThreadCount) return kNoChunk;
      const char* const start = Chunk(c, lock).Start;
      if (FNextClaim != c) continue;  // taken, or passed, meanwhile
      if (!start) {
        FNoMoreChunks = true;  // no chunk here, nor behind
        return kNoChunk;
      }
      FNextClaim = c + 1;
      FChunks[c].Taken = true;
      FChunks[c].Reader = reader;
      return c;
    }
  }

  // Reads chunk c, taken by the caller, into the chunk. Called with the
  // lock, which the reading runs without.
  void ReadChunk(std::size_t c, TPrimitiveTextReader& reader, std::unique_lock<std::mutex>& lock) {
    const char* const next = Chunk(c + 1, lock).Start;
    TChunk& chunk = FChunks[c];
    const char* const start = chunk.Start;
    std::vector<std::unique_ptr<TPrimitive>> primitives;
    const char* end = start;
    lock.unlock();
    try {
      end = ReadRun(reader, start, next ? next : FEnd, [&](std::unique_ptr<TPrimitive> primitive) {
        primitives.push_back(std::move(primitive));
        return !chunk.Dropped.load(std::memory_order_relaxed);
      });
    } catch (...) {
      // Out of memory, say: the chunk ends here, and the parser, reading
      // the rest itself, meets the problem where it belongs.
    }
    lock.lock();
    chunk.Primitives = std::move(primitives);
    chunk.End = end;
    chunk.Done = true;
    FChanged.notify_all();
  }

  // The primitives from `start` on, each with its normals, handed to `take`
  // (which returns whether to go on), until the text reader gives up,
  // something else than a primitive comes or `limit` is passed; returns the
  // end of the last one read.
  template <typename Take>
  const char* ReadRun(TPrimitiveTextReader& reader, const char* start, const char* limit, Take&& take) {
    const char* end = start;
    for (const char* p = start;;) {
      std::unique_ptr<TPrimitive> primitive;
      const std::size_t length = reader.Read({p, static_cast<std::size_t>(FEnd - p)}, primitive);
      if (length == 0) break;
      GiveNormals(*primitive, FOwner.SmoothingAngle);
      p += length;
      end = p;
      if (!take(std::move(primitive))) break;
      while (p != FEnd && IsWhite(*p)) ++p;
      if (p >= limit || FEnd - p < 2 || p[1] != 'p') break;
    }
    return end;
  }

  // When the element at `at` starts the next chunk: its primitives go to the
  // scene, `taken` is set and the length of what they cover is returned.
  // Chunks whose start the parser has passed are dropped.
  std::size_t TakeChunk(const char* at, bool& taken) {
    const auto offset = static_cast<std::size_t>(at - FBase);
    if (offset < FNextChunk * FChunkLength) return 0;  // not there yet
    std::unique_lock<std::mutex> lock(FMutex);
    for (;;) {
      if (offset < FNextChunk * FChunkLength) return 0;
      TChunk& chunk = Chunk(FNextChunk, lock);
      if (!chunk.Start || at < chunk.Start) return 0;
      const std::size_t c = FNextChunk++;
      // Passed or reached: nobody takes it any more.
      if (FNextClaim <= c) FNextClaim = c + 1;
      if (at > chunk.Start) {
        chunk.Dropped = true;
        FParserChunk = c;
        FChanged.notify_all();
        continue;
      }
      FParserChunk = c + 1;
      FChanged.notify_all();
      if (!chunk.Taken) {
        // Nobody read ahead here: the parser reads the chunk now, in one go.
        const char* const next = Chunk(c + 1, lock).Start;
        lock.unlock();
        const auto add = [&](std::unique_ptr<TPrimitive> primitive) {
          FScene.AddPrimitive(std::move(primitive));
          return true;
        };
        const char* const end = ReadRun(FReader, chunk.Start, next ? next : FEnd, add);
        taken = end > chunk.Start;
        return static_cast<std::size_t>(end - chunk.Start);
      }
      // While a thread reads it, the parser reads ahead what nobody has taken.
      const auto ready = [&] { return chunk.Done || FThreadEnded[chunk.Reader]; };
      while (!ready()) {
        const std::size_t ahead = ClaimChunk(0, lock);
        if (ahead != kNoChunk)
          ReadChunk(ahead, FReader, lock);
        else if (!ready())  // asked again: ClaimChunk may have let the lock go
          FChanged.wait(lock);
      }
      if (!chunk.Done) return 0;
      taken = true;
      for (auto& primitive : chunk.Primitives) FScene.AddPrimitive(std::move(primitive));
      chunk.Primitives.clear();
      return static_cast<std::size_t>(chunk.End - chunk.Start);
    }
  }

  static constexpr std::size_t kLargestChunk = 8 * 1024 * 1024;
  static constexpr std::size_t kNoChunk = static_cast<std::size_t>(-1);

  TXMLSceneReader& FOwner;
  TPrimitiveTextReader FReader;
  TScene& FScene;
  const std::exception_ptr& FFailure;
  bool FStarted = false;
  std::vector<std::thread> FThreads;
  // The text from the first primitive offered on, and the chunks in it.
  const char* FBase = nullptr;
  const char* FEnd = nullptr;
  std::size_t FChunkLength = 0;
  std::size_t FThreadCount = 1;
  std::mutex FMutex;
  std::condition_variable FChanged;
  // Guarded by FMutex from here on.
  std::deque<TChunk> FChunks;
  std::size_t FNextChunk = 0;    // the next chunk the parser may take
  std::size_t FNextClaim = 1;    // the first chunk nobody has taken
  bool FNoMoreChunks = false;    // the text holds no chunk from FNextClaim on
  std::size_t FParserChunk = 0;  // the chunk the parser is in
  std::vector<bool> FThreadEnded;
  bool FStopping = false;
};

bool IsValidScale(std::string_view text) { return IsValidFloat(text) && StrToFloat(text) > 0.0f; }

std::unique_ptr<TScene> TXMLSceneReader::ReadSceneText(std::string text) {
  // Trimmed in place: the document may be hundreds of megabytes.
  const std::string_view trimmed = TrimHostReply(text);
  const auto start = static_cast<std::size_t>(trimmed.data() - text.data());
  text.resize(start + trimmed.size());
  text.erase(0, start);

  TXMLStringReader reader(std::move(text));
  reader.ReleaseTextWhileParsing = true;
  return Read(reader);
}

std::unique_ptr<TScene> TXMLSceneReader::ReadSceneMapped(std::string_view text) {
  TXMLViewReader reader(TrimHostReply(text));
  reader.ReleaseTextWhileParsing = true;
  return Read(reader);
}

std::unique_ptr<TScene> TXMLSceneReader::ReadSceneReply(TReleasableBuffer reply, std::size_t length) {
  const std::string_view text = TrimHostReply({reply.Data(), length});
  TXMLBufferReader reader(std::move(reply), text);
  return Read(reader);
}

std::unique_ptr<TScene> TXMLSceneReader::Read(TXMLReader& reader) {
  auto scene = std::make_unique<TScene>();
  FMaterialsById.clear();
  FKeys = {};
  FRootName.clear();
  FHeldSceneSections = false;
  // The scene is built while the document is parsed: every section, and
  // every primitive, is read as soon as its element closes and its part of
  // the tree is then given back. Neither the text nor the tree is ever whole
  // beside the scene, which is what lets a scene of a million polygons fit
  // into a 32-bit editor. The first error of the scene is kept until the
  // parse has ended, so that a document that is not well-formed reports its
  // syntax error, as it would if it were parsed whole first.
  std::exception_ptr failure;
  reader.OnProgress = [this](int32_t position, int32_t total) {
    if (OnProgress && total > 0) OnProgress(RoundPercent(static_cast<double>(position) / total * 100.0));
  };
  // Declared before the callbacks that use it, so that it outlives them.
  TPrimitiveElements primitives(*this, *scene, failure);
  reader.HandOverDepth = 2;
  reader.OnElementEnd = [&](TXMLNode& element, TXMLNode& parent, int depth) {
    // The children of <primitives> are read one by one as they close; the
    // children of the other sections (categories, lights) stay until their
    // section closes and is read whole.
    const bool primitive = depth == 2 && parent.Name() == "primitives";
    if (failure) return depth == 1 || primitive;
    try {
      if (primitive) {
        if (element.Name() == "primitive") ReadPrimitive(element, *scene);
        return true;
      }
      if (depth == 2) return false;
      const std::string_view name = element.Name();
      if (name == "settings" || name == "materials" || name == "primitives" || name == "lights")
        FHeldSceneSections = true;
      if (name == "settings") {
        ReadSettings(element, *scene);
      } else if (name == "materials") {
        // Primitives read ahead found their materials in the map this changes.
        primitives.StopThreads();
        ReadMaterials(element, *scene);
      } else if (name == "lights") {
        ReadLights(element, *scene);
      }
    } catch (...) {
      failure = std::current_exception();
    }
    return true;
  };
  if (ReadPrimitivesFromText) {
    reader.ElementReader = &primitives;
    reader.ElementReaderDepth = 2;
  }
  FRootName = reader.ReadRootNode()->Name();
  if (failure) std::rethrow_exception(failure);
  return scene;
}

void TXMLSceneReader::ReadSettings(const TXMLNode& node, TScene& scene) {
  scene.Name = node.GetProperty("name");
  scene.Author = node.GetProperty("author");
  scene.Comments = node.GetProperty("comments");
  scene.ShadowOpacity = node.GetIntProperty("shadowopacity");
  for (int i = 0; i < node.ChildCount(); ++i)
    if (node.GetChild(i)->Name() == "ambient") scene.AmbientColor = ReadColor(*node.GetChild(i), false);
}

void TXMLSceneReader::ReadMaterials(const TXMLNode& node, TScene& scene) {
  for (int i = 0; i < node.ChildCount(); ++i) {
    const TXMLNode& category = *node.GetChild(i);
    if (category.Name() != "category") continue;
    const std::string categoryName(category.GetProperty("name"));
    for (int j = 0; j < category.ChildCount(); ++j)
      if (category.GetChild(j)->Name() == "material") ReadMaterial(*category.GetChild(j), categoryName, scene);
  }
}

void TXMLSceneReader::ReadMaterial(const TXMLNode& node, const std::string& category, TScene& scene) {
  auto owned = std::make_unique<TMaterial>();
  TMaterial& material = *owned;
  material.Category = category;
  scene.AddMaterial(std::move(owned));
  material.Id = node.GetProperty("id");
  material.Name = node.GetProperty("name");
  material.Used = node.GetBoolProperty("used");
  FMaterialsById.try_emplace(material.Id, &material);
  for (int i = 0; i < node.ChildCount(); ++i) {
    const TXMLNode& child = *node.GetChild(i);
    if (child.Name() == "tag")
      material.Tag = child.Text();
    else if (child.Name() == "layer")
      ReadLayer(child, material);
  }
}

void TXMLSceneReader::ReadLayer(const TXMLNode& node, TMaterial& material) {
  auto owned = std::make_unique<TMaterialLayer>();
  TMaterialLayer& layer = *owned;
  material.AddLayer(std::move(owned));

  const TLayerKeyword& layerType = ReadKeyword(node, "type", LayerTypeKeywords, "Unknown layer type \"%s\".");
  layer.LayerType = layerType.Value;
  layer.Blend = ReadKeyword(node, "blend", BlendOperationKeywords, "Unknown blend operation \"%s\".").Value;

  // At most one lightmap, and nothing after it.
  if (material.HasLightmap()) {
    if (layerType.IsLightmap) RaiseError("Multiple lightmaps encountered for material \"%s\"", {material.Name});
    RaiseError("Layers encountered after lightmap for material \"%s\"", {material.Name});
  }
  layer.IsLightmap = layerType.IsLightmap;

  for (int i = 0; i < node.ChildCount(); ++i) {
    const TXMLNode& child = *node.GetChild(i);
    if (child.Name() == "color")
      layer.Color = ReadColor(child, true);
    else if (child.Name() == "texture")
      layer.TextureFile = child.GetProperty("file");
  }
  if (layer.LayerType == lyTexture && layer.TextureFile.empty()) layer.LayerType = lyColor;
}

void TXMLSceneReader::ReadPrimitive(const TXMLNode& element, TScene& scene) {
  auto owned = std::make_unique<TPrimitive>();
  TPrimitive& primitive = *owned;
  scene.AddPrimitive(std::move(owned));

  primitive.Id = element.GetProperty("id");
  primitive.Name = element.GetProperty("name");
  primitive.PrimitiveType =
      ReadKeyword(element, "type", PrimitiveTypeKeywords, "Unknown primitive type \"%s\".").Value;
  primitive.Visible = element.GetBoolProperty("visible");
  primitive.SnapMethod = ReadKeyword(element, "snap", SnapMethodKeywords, "Unknown snap method \"%s\".").Value;
  primitive.AutoUV = element.GetBoolProperty("autouv");

  for (int j = 0; j < element.ChildCount(); ++j) {
    const TXMLNode& child = *element.GetChild(j);
    if (child.Name() == "tag")
      primitive.Tag = child.Text();
    else if (child.Name() == "vertices")
      ReadVertices(child, primitive);
    else if (child.Name() == "polygons")
      ReadPolygons(child, primitive);
  }
}

TXMLSceneReader::TKeys& TXMLSceneReader::KeysFor(const TXMLNode& node) {
  if (!FKeys.Ready) {
    FKeys.Id = node.KeyOf("id");
    FKeys.X = node.KeyOf("x");
    FKeys.Y = node.KeyOf("y");
    FKeys.Z = node.KeyOf("z");
    FKeys.Vid = node.KeyOf("vid");
    FKeys.Mid = node.KeyOf("mid");
    FKeys.Ready = true;
  }
  return FKeys;
}

void TXMLSceneReader::ReadVertices(const TXMLNode& node, TPrimitive& primitive) {
  const TKeys& keys = KeysFor(node);
  primitive.ReserveVertices(node.ChildCount());
  for (int i = 0; i < node.ChildCount(); ++i) {
    const TXMLNode& element = *node.GetChild(i);
    if (element.Name() != "vertex") continue;
    TVertex& added = primitive.MakeVertex(element.GetProperty(keys.Id));
    if (!ReadPoint(element, added, Scale, keys.X, keys.Y, keys.Z))
      RaiseError("Vertex \"%s\" of primitive \"%s\" has a coordinate that is not a finite number.",
                 {added.Id, primitive.Name});
  }
}

void TXMLSceneReader::ReadPolygons(const TXMLNode& node, TPrimitive& primitive) {
  TKeys& keys = KeysFor(node);
  primitive.ReservePolygons(node.ChildCount());
  for (int i = 0; i < node.ChildCount(); ++i) {
    const TXMLNode& element = *node.GetChild(i);
    if (element.Name() != "poly") continue;
    TPolygon& polygon = primitive.MakePolygon();
    const auto found = FMaterialsById.find(element.GetProperty(keys.Mid));
    polygon.Material = found == FMaterialsById.end() ? nullptr : found->second;
    const int layers = polygon.Material ? polygon.Material->LayerCount() : 0;
    for (int n = static_cast<int>(keys.UV.size()); n < layers; ++n)
      keys.UV.emplace_back(node.KeyOf("u" + std::to_string(n)), node.KeyOf("v" + std::to_string(n)));
    // Every child is a corner as a rule: room for them all at once.
    const int corners = element.ChildCount();
    polygon.Reserve(corners, layers);

    for (int j = 0; j < element.ChildCount(); ++j) {
      const TXMLNode& corner = *element.GetChild(j);
      if (corner.Name() != "vertex") continue;
      const std::string_view id = corner.GetProperty(keys.Vid);
      TVertex* vertex = primitive.FindVertex(id);
      if (!vertex) RaiseError("Unknown vertex \"%s\" in primitive \"%s\".", {id, primitive.Name});
      polygon.AddVertex(vertex);
      for (int n = 0; n < layers; ++n) {
        const float u = corner.GetFloatProperty(keys.UV[static_cast<std::size_t>(n)].first);
        const float v = corner.GetFloatProperty(keys.UV[static_cast<std::size_t>(n)].second);
        TUVCoordinates& coordinates = polygon.EnsureUVCoordinates(n);
        if (coordinates.Count() == 0) coordinates.Reserve(corners);
        coordinates.Add(u, v);
      }
    }
  }
}

void TXMLSceneReader::ReadLights(const TXMLNode& node, TScene& scene) {
  for (int i = 0; i < node.ChildCount(); ++i) {
    const TXMLNode& element = *node.GetChild(i);
    if (element.Name() != "light") continue;
    auto owned = std::make_unique<TLight>();
    TLight& light = *owned;
    scene.AddLight(std::move(owned));
    ReadLight(element, light);
  }
}

void TXMLSceneReader::ReadLight(const TXMLNode& node, TLight& light) {
  light.Id = node.GetProperty("id");
  light.LightType = ReadKeyword(node, "type", LightTypeKeywords, "Unknown light type \"%s\".").Value;
  light.Name = node.GetProperty("name");
  // The product of a 32-bit integer and a float is exact in long double;
  // halves round to the even neighbour.
  const long double range = std::nearbyint(static_cast<long double>(node.GetIntProperty("range")) * Scale);
  if (!(range >= std::numeric_limits<int32_t>::min() && range <= std::numeric_limits<int32_t>::max()))
    RaiseError("The range of light \"%s\" is out of range.", {light.Name});
  light.Range = static_cast<int32_t>(range);
  light.Active = node.GetBoolProperty("active");
  light.Intensity = node.GetIntProperty("intensity");

  for (int i = 0; i < node.ChildCount(); ++i) {
    const TXMLNode& child = *node.GetChild(i);
    const std::string_view name = child.Name();
    if (name == "tag") {
      light.Tag = child.Text();
    } else if (name == "attenuation") {
      light.ConstantAttenuation = child.GetFloatProperty("constant");
      light.LinearAttenuation = child.GetFloatProperty("linear");
      light.QuadraticAttenuation = child.GetFloatProperty("quadratic");
    } else if (name == "position" || name == "direction") {
      const bool position = name == "position";
      if (!ReadPoint(child, position ? light.Position : light.Direction, position ? Scale : 1.0f))
        RaiseError("Light \"%s\" has a coordinate that is not a finite number.", {light.Name});
    } else if (name == "cone") {
      if (light.LightType != ltSpot) RaiseError("Cone properties only supported for spotlights.");
      light.ConeInner = child.GetIntProperty("inner");
      light.ConeOuter = child.GetIntProperty("outer");
      light.ConeFalloff = child.GetIntProperty("falloff");
    } else if (name == "diffuse") {
      light.DiffuseColor = ReadColor(child, false);
    } else if (name == "specular") {
      light.SpecularColor = ReadColor(child, false);
    }
  }
}
