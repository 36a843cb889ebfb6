#include "cli/BatchList.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <unordered_map>

#include "asset/AssetLayout.h"
#include "asset/uRepository.h"
#include "cli/ExportOptions.h"
#include "platform/uFileSystem.h"

namespace {
constexpr std::string_view kSceneExtension = ".xml";
constexpr std::string_view kListExtension = ".tsv";

bool EndsWithFolded(const std::string& name, std::string_view end) {
  return name.size() > end.size() && FoldedCase(std::string_view(name).substr(name.size() - end.size())) == end;
}

bool IsAbsolutePath(const std::string& path) {
  const std::filesystem::path native(path);
  return native.has_root_directory() || native.has_root_name();
}

// The order of the batch: by name, "/" and "\" alike, then by line.
std::string SortKey(const std::string& assetName) {
  std::string key = assetName;
  std::replace(key.begin(), key.end(), '\\', '/');
  return key;
}

void SortByName(std::vector<TBatchEntry>& entries) {
  std::stable_sort(entries.begin(), entries.end(), [](const TBatchEntry& a, const TBatchEntry& b) {
    return SortKey(a.AssetName) < SortKey(b.AssetName);
  });
}

// Why the export would refuse the asset's name or category; empty when it
// takes them. The same checks as the options of `export`.
std::string NameProblem(const std::string& assetName, const std::string& category) {
  try {
    const std::string name = Latin1Argument(assetName, "asset name");
    const std::string latin1Category = Latin1Argument(category, "category");
    for (const std::string& problem : {AssetNameProblem(name), CategoryProblem(latin1Category)})
      if (!problem.empty()) return problem;
  } catch (const TException& e) {
    return e.Message();
  }
  return {};
}

// Every scene below `folder`, its asset named by `prefix` (the folders
// walked so far, each followed by "/") and its file name without ".xml".
void FindScenes(const std::string& folder, const std::string& prefix, const std::string& category,
                std::vector<TBatchEntry>& entries) {
  std::vector<std::string> names = FolderEntries(folder);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (name.front() == '.') continue;
    const bool delimited = folder.back() == PathDelimiter || folder.back() == '/';
    const std::string path = folder + (delimited ? "" : std::string(1, PathDelimiter)) + name;
    if (IsDirectoryEntry(path)) {
      FindScenes(path, prefix + name + "/", category, entries);
    } else if (EndsWithFolded(name, kSceneExtension) && FileExists(path)) {
      TBatchEntry entry;
      entry.SceneFile = path;
      entry.AssetName = prefix + name.substr(0, name.size() - kSceneExtension.size());
      entry.Category = category;
      entries.push_back(std::move(entry));
    }
  }
}

std::vector<TBatchEntry> ReadFolder(const std::string& folder, const std::string& category) {
  std::vector<TBatchEntry> entries;
  FindScenes(folder, "", category, entries);
  SortByName(entries);
  // A name the export refuses, or the second of two names that fold alike,
  // fails its asset alone: the files are what they are.
  std::unordered_map<std::string, std::string> firstOfKey;
  for (TBatchEntry& entry : entries) {
    entry.Problem = NameProblem(entry.AssetName, entry.Category);
    if (!entry.Problem.empty()) continue;
    const auto [first, fresh] =
        firstOfKey.emplace(BatchAssetKey(Latin1Argument(entry.AssetName, "asset name")), entry.AssetName);
    if (!fresh)
      entry.Problem = FormatText("The asset \"%s\" differs only in letter case from the asset \"%s\" of this batch; "
                                 "Windows takes them for one asset.",
                                 {VisibleText(entry.AssetName), VisibleText(first->second)});
  }
  return entries;
}

// The fields of a line between its tabs.
std::vector<std::string> Fields(std::string_view line) {
  std::vector<std::string> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    fields.emplace_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

std::vector<TBatchEntry> ReadList(const std::string& list, const std::string& category) {
  std::string text;
  if (!ReadWholeFile(list, text)) throw TBatchSourceError({FormatText("Cannot read the list %s.", {list})});
  // A byte-order mark, as some editors save UTF-8.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  const std::string folder = FolderOf(list);

  std::vector<TBatchEntry> entries;
  std::vector<std::string> problems;
  std::unordered_map<std::string, int> lineOfKey;
  const auto problem = [&](int line, const std::string& message) {
    problems.push_back(list + ":" + std::to_string(line) + ": " + message);
  };
  int number = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (IsBlank(line) || line.front() == '#') continue;

    std::vector<std::string> fields = Fields(line);
    if (fields.size() < 2 || fields.size() > 3) {
      problem(number, "A line holds a scene, an asset name and optionally a category, separated by tabs; this one "
                      "has " + std::to_string(fields.size()) + (fields.size() == 1 ? " field." : " fields."));
      continue;
    }
    TBatchEntry entry;
    entry.Line = number;
    entry.SceneFile = fields[0].empty() || IsAbsolutePath(fields[0]) ? fields[0] : folder + fields[0];
    entry.AssetName = fields[1];
    entry.Category = fields.size() == 3 && !fields[2].empty() ? fields[2] : category;
    if (fields[0].empty())
      problem(number, "The line names no scene.");
    else if (DirectoryExists(entry.SceneFile))
      problem(number, FormatText("The scene %s is a folder.", {entry.SceneFile}));
    else if (!NameExists(entry.SceneFile))
      problem(number, FormatText("The scene %s does not exist.", {entry.SceneFile}));
    const std::string refused = NameProblem(entry.AssetName, entry.Category);
    if (!refused.empty()) {
      problem(number, refused);
    } else {
      const auto [first, fresh] = lineOfKey.emplace(BatchAssetKey(Latin1Argument(entry.AssetName, "asset name")), number);
      if (!fresh)
        problem(number, FormatText("The asset \"%s\" is on line %d already (names that differ only in letter case "
                                   "are one asset).",
                                   {VisibleText(entry.AssetName), std::to_string(first->second)}));
    }
    entries.push_back(std::move(entry));
  }
  if (!problems.empty()) throw TBatchSourceError(std::move(problems));
  SortByName(entries);
  return entries;
}
}  // namespace

TBatchSourceError::TBatchSourceError(std::vector<std::string> problems)
    : TException(problems.empty() ? std::string() : problems.front()), Problems(std::move(problems)) {}

std::vector<TBatchEntry> ReadBatchSource(const std::string& source, const std::string& defaultCategory) {
  if (source.empty()) throw TBatchSourceError({"Please specify a folder of scenes or a list file (.tsv)."});
  if (DirectoryExists(source)) return ReadFolder(source, defaultCategory);
  if (!NameExists(source)) throw TBatchSourceError({FormatText("The batch source %s does not exist.", {source})});
  if (!EndsWithFolded(source, kListExtension))
    throw TBatchSourceError(
        {FormatText("The batch source %s is neither a folder nor a list file (.tsv).", {source})});
  return ReadList(source, defaultCategory);
}

std::string BatchAssetKey(const std::string& latin1Name) {
  if (!AssetNameProblem(latin1Name).empty()) return {};
  return TAssetLayout("", latin1Name).FoldedName();
}
