#include "cli/BatchCache.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "asset/AssetLayout.h"
#include "cli/BatchList.h"
#include "cli/BatchReport.h"
#include "cli/ContentHash.h"
#include "platform/RunningProgram.h"
#include "platform/uFileSystem.h"

using nlohmann::json;

namespace {
// The form of a record; one of another form is taken as changed.
constexpr int kRecordForm = 1;

// Names and paths are 8-bit text of any code page, which JSON cannot carry
// as it is: each byte is kept as the character of its value (Latin-1 read
// as Unicode), so that any name comes back byte for byte.
std::string AsJsonText(const std::string& bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | (byte >> 6));
      text += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return text;
}

std::string FromJsonText(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0xC0 && byte <= 0xC3 && i + 1 < text.size()) {
      bytes += static_cast<char>(((byte & 0x03) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F));
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

std::string AbsoluteFile(const std::string& path) { return AbsoluteDirectory("", FolderOf(path)) + FileNameOf(path); }

// Everything of the options that shapes what the export writes, one value a
// line. The scale by its bits: "10" and "10.0" are one scale.
std::string OptionsText(const TAssetExportOptions& options, const std::string& sceneFile) {
  std::uint32_t scaleBits = 0;
  static_assert(sizeof scaleBits == sizeof options.Scale);
  std::memcpy(&scaleBits, &options.Scale, sizeof scaleBits);
  char scale[9];
  std::snprintf(scale, sizeof scale, "%08x", static_cast<unsigned>(scaleBits));
  return "repository=" + AbsoluteDirectory("", options.Repository) + "\nasset=" + options.AssetName +
         "\ncategory=" + options.Category + "\nscale=" + scale +
         "\nnames=" + std::to_string(static_cast<int>(options.Target.MaterialNameForm)) +
         "\nmesh=" + std::to_string(static_cast<int>(options.Target.MeshFormat)) +
         "\noptimize=" + (options.Target.OptimizeForDrawing ? "1" : "0") +
         "\nlod=" + std::to_string(options.Target.LodLevels) +
         "\ntextures=" + AbsoluteDirectory("", options.TextureSource ? options.TextureSource() : std::string()) +
         "\nscene=" + AbsoluteFile(sceneFile) + "\n";
}

// Every [path, hash] pair of the list still holds.
bool HashesHold(const json& pairs) {
  if (!pairs.is_array()) return false;
  std::string hash;
  for (const json& pair : pairs) {
    if (!pair.is_array() || pair.size() != 2) return false;
    if (!FileSha256(FromJsonText(pair[0].get<std::string>()), hash) || hash != pair[1].get<std::string>())
      return false;
  }
  return true;
}
}  // namespace

TBatchCache::TBatchCache(std::string folder, std::string tool) : FFolder(std::move(folder)), FTool(std::move(tool)) {
  if (!FFolder.empty() && FFolder.back() != PathDelimiter && FFolder.back() != '/') FFolder += PathDelimiter;
}

std::string TBatchCache::ToolIdentity(const std::string& version) {
  std::string hash;
  if (FileSha256(RunningProgramPath(), hash)) return version + " " + hash;
  // A program that cannot read itself cannot tell a rebuilt one: a number
  // of this run's own matches no record, and every asset counts as changed.
  std::random_device random;
  return version + " unknown " + std::to_string(random()) + std::to_string(random());
}

std::string TBatchCache::SceneHash(const std::string& sceneFile) {
  std::string hash;
  return FileSha256(sceneFile, hash) ? hash : std::string();
}

std::string TBatchCache::RecordFile(const TAssetExportOptions& options) const {
  std::string repository = AbsoluteDirectory("", options.Repository);
#ifdef _WIN32
  repository = FoldedCase(repository);
#endif
  return FFolder + Sha256Hex(repository + "\n" + BatchAssetKey(options.AssetName)).substr(0, 32) + ".json";
}

bool TBatchCache::Unchanged(const TAssetExportOptions& options, const std::string& sceneFile) const {
  std::string text;
  if (!ReadWholeFile(RecordFile(options), text)) return false;
  const json record = json::parse(text, nullptr, false);
  if (record.is_discarded() || !record.is_object()) return false;
  try {
    return record.at("form") == kRecordForm && record.at("tool") == AsJsonText(FTool) &&
           record.at("options") == AsJsonText(OptionsText(options, sceneFile)) && record.at("warnings") == 0 &&
           record.at("scene") == SceneHash(sceneFile) && HashesHold(record.at("sources")) &&
           HashesHold(record.at("files"));
  } catch (const json::exception&) {
    return false;
  }
}

void TBatchCache::Record(const TAssetExportOptions& options, const std::string& sceneFile,
                         const std::string& sceneHash, const TAssetExportResult& result, std::size_t warnings) const {
  const std::string file = RecordFile(options);
  try {
    if (sceneHash.empty()) RaiseError("Cannot read file %s", {sceneFile});
    // A texture is written with its source's bytes: their hash is what the
    // written file must hold, whatever an asset exported beside this one
    // placed there meanwhile under the same name.
    json sources = json::array();
    std::vector<std::string> sourceHashes;
    for (const std::string& source : result.TextureSources) {
      std::string hash;
      if (!FileSha256(source, hash)) RaiseError("Cannot read file %s", {source});
      sources.push_back({AsJsonText(source), hash});
      sourceHashes.push_back(hash);
    }
    const std::string textures = TAssetLayout(options.Repository, options.AssetName).Folder("Textures") + PathDelimiter;
    json files = json::array();
    std::size_t texture = 0;
    for (const std::string& written : result.WrittenFiles) {
      std::string hash;
      if (FolderOf(written) == textures && texture < sourceHashes.size())
        hash = sourceHashes[texture++];
      else if (!FileSha256(written, hash))
        RaiseError("Cannot read file %s", {written});
      files.push_back({AsJsonText(written), hash});
    }
    const json record = {{"form", kRecordForm},
                         {"tool", AsJsonText(FTool)},
                         {"options", AsJsonText(OptionsText(options, sceneFile))},
                         {"warnings", warnings},
                         {"scene", sceneHash},
                         {"sources", sources},
                         {"files", files}};
    WriteWholeFile(file, record.dump(1) + "\n");
  } catch (...) {
    DeleteFileIfExists(file);
    throw;
  }
}

bool FolderLiesWithin(const std::string& inner, const std::string& outer) {
  namespace fs = std::filesystem;
  std::error_code error;
  const auto resolved = [&](const std::string& folder) {
    fs::path path = fs::weakly_canonical(fs::absolute(folder.empty() ? "." : folder, error), error);
    std::string text = path.lexically_normal().generic_string();
#ifdef _WIN32
    text = FoldedCase(text);
#endif
    if (text.empty() || text.back() != '/') text += '/';
    return text;
  };
  const std::string in = resolved(inner), out = resolved(outer);
  return in.compare(0, out.size(), out) == 0;
}
