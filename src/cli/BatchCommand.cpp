#include "cli/BatchCommand.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "asset/AssetExportJob.h"
#include "asset/AssetLayout.h"
#include "asset/TextureClaims.h"
#include "asset/uRepository.h"
#include "cli/BatchCache.h"
#include "cli/BatchList.h"
#include "cli/BatchReport.h"
#include "cli/ExportOptions.h"
#include "cli/ProgressLine.h"
#include "platform/uFileSystem.h"

namespace {
using TClock = std::chrono::steady_clock;

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

double SecondsSince(TClock::time_point start) {
  return std::chrono::duration<double>(TClock::now() - start).count();
}

// A whole number of at most nine digits, nothing else.
std::optional<std::size_t> WholeNumber(const std::string& text) {
  if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return static_cast<std::size_t>(std::stoul(text));
}

// An argument naming a folder or file that must be usable before the batch
// starts: its error is the command line's, and nothing is exported.
template <typename TCheck>
void AsUsageError(TCheck check) {
  try {
    check();
  } catch (const TUsageError&) {
    throw;
  } catch (const TException& e) {
    throw TUsageError(e.Message());
  }
}

// The options that hold for every asset, checked once: a mistake there
// would fail every asset alike.
void CheckCommonOptions(const TCommandArguments& arguments) {
  if (arguments.Repository.empty()) throw TUsageError("Please specify a repository.");
  ParseScale(arguments.Scale);
  ParseMeshTarget(arguments);
  if (!arguments.TextureDirectory.empty()) AsUsageError([&] { TextureFolder("", arguments.TextureDirectory); });
  if (arguments.ChangedOnly && arguments.Cache.empty())
    throw TUsageError("--changed-only needs --cache DIR, where the batch finds what it exported before.");
  if (!arguments.Cache.empty() && FolderLiesWithin(arguments.Cache, arguments.Repository))
    throw TUsageError(FormatText("The cache %s lies inside the repository %s; give it a folder outside.",
                                 {arguments.Cache, arguments.Repository}));
  // Without --init a mistyped repository is refused as `export` refuses it,
  // but once and before any asset.
  if (!arguments.Init) {
    std::string root = arguments.Repository;
    if (root.back() != PathDelimiter && root.back() != '/') root += PathDelimiter;
    for (const char* folder : {"Meshes", "AssetDefinitions"})
      if (!DirectoryExists(root + folder))
        throw TUsageError(FormatText("The repository has no folder %s (use --init to create the repository's folders).",
                                     {root + folder}));
  }
  if (!arguments.Report.empty()) {
    const std::string folder = FolderOf(arguments.Report);
    if (DirectoryExists(arguments.Report) || !DirectoryExists(folder.empty() ? "." : folder))
      throw TUsageError(FormatText("The report %s cannot be written: its folder does not exist or it is a folder.",
                                   {arguments.Report}));
  }
}

// The run of the batch's assets on a number of threads, each taking the
// next asset that none has taken.
class TBatchRun {
public:
  TBatchRun(const TCommandArguments& arguments, const TCommandStreams& streams, const std::vector<TBatchEntry>& entries,
            std::vector<std::optional<TAssetExportOptions>> options, const TBatchCache* cache)
      : FArguments(arguments), FStreams(streams), FEntries(entries), FOptions(std::move(options)), FCache(cache),
        FOutcomes(entries.size()) {
    for (std::optional<TAssetExportOptions>& each : FOptions)
      if (each) each->TextureClaims = &FClaims;
  }

  const std::vector<TBatchOutcome>& Run(std::size_t jobs) {
    FStart = TClock::now();
    std::vector<std::thread> threads;
    const std::size_t count = std::max<std::size_t>(1, std::min(jobs, FEntries.size()));
    for (std::size_t i = 0; i < count; ++i) threads.emplace_back([this] { Work(); });
    {
      std::unique_lock<std::mutex> lock(FMutex);
      while (FDone < FEntries.size()) {
        FStreams.Progress.Show(BatchProgressLine(FDone, FEntries.size(), FFailed, SecondsSince(FStart)));
        FFinished.wait_for(lock, std::chrono::milliseconds(200));
      }
      FStreams.Progress.Erase();
    }
    for (std::thread& thread : threads) thread.join();
    return FOutcomes;
  }

  double Seconds() const { return SecondsSince(FStart); }

private:
  void Work() {
    for (std::size_t i = FNext++; i < FEntries.size(); i = FNext++) {
      try {
        ExportOne(i);
      } catch (...) {
        // Only what the outcome's own bookkeeping may raise (memory).
        FOutcomes[i].Status = TBatchStatus::Failed;
        FOutcomes[i].Error = "Out of memory.";
      }
      const std::lock_guard<std::mutex> lock(FMutex);
      ++FDone;
      if (FOutcomes[i].Status == TBatchStatus::Failed) ++FFailed;
      FFinished.notify_one();
    }
  }

  void ExportOne(std::size_t i) {
    const TClock::time_point start = TClock::now();
    const TBatchEntry& entry = FEntries[i];
    TBatchOutcome& outcome = FOutcomes[i];
    const auto fail = [&](const std::string& message) {
      outcome.Status = TBatchStatus::Failed;
      outcome.Error = message;
      Print("error", entry.AssetName, message);
    };
    if (!entry.Problem.empty() || !FOptions[i]) {
      fail(entry.Problem);
    } else {
      const TAssetExportOptions& options = *FOptions[i];
      try {
        if (FArguments.ChangedOnly && FCache->Unchanged(options, entry.SceneFile))
          outcome.Status = TBatchStatus::Skipped;
        else
          Export(entry, options, outcome);
      } catch (const TMissingFolder& missing) {
        fail(FArguments.Init ? missing.Message()
                             : FormatText("The repository has no folder %s (use --init to create the folders the "
                                          "batch's asset names need).",
                                          {missing.Folder}));
      } catch (const TException& e) {
        fail(e.Message());
      } catch (const std::bad_alloc&) {
        fail("Out of memory.");
      } catch (const std::exception& e) {
        fail(e.what());
      }
      // A failed export placed nothing: the textures it claimed are not there.
      if (outcome.Status == TBatchStatus::Failed) {
        std::string own = TAssetLayout(options.Repository, options.AssetName).DefinitionName();
        std::replace(own.begin(), own.end(), '\\', '/');
        FClaims.Withdraw(own);
      }
    }
    outcome.Seconds = SecondsSince(start);
  }

  void Export(const TBatchEntry& entry, const TAssetExportOptions& options, TBatchOutcome& outcome) {
    const std::string sceneHash = FCache ? TBatchCache::SceneHash(entry.SceneFile) : std::string();
    // The batch names its assets from its source, so with --init it makes
    // their folders too, as it makes the repository's.
    if (FArguments.Init) {
      const TAssetLayout layout(options.Repository, options.AssetName);
      for (const char* kind : {"Meshes", "AssetDefinitions", "Physics"}) CreateDirectories(layout.Folder(kind));
    }
    TReportSinks sinks;
    sinks.Warnings = [&](const std::string& warning) {
      if (FArguments.Strict) throw TException(warning);
      outcome.Warnings.push_back(warning);
      Print("warning", entry.AssetName, warning);
    };
    const TAssetExportResult result = ExportAsset(SceneFileSource(entry.SceneFile), options, sinks);
    outcome.Status = TBatchStatus::Exported;
    outcome.Polygons = result.Polygons;
    for (const std::string& file : result.WrittenFiles)
      outcome.Files.push_back(AbsoluteDirectory(FolderOf(file), "") + FileNameOf(file));
    if (!FCache) return;
    try {
      FCache->Record(options, entry.SceneFile, sceneHash, result, outcome.Warnings.size());
    } catch (const TException& e) {
      // The asset is in place; only the next batch will export it again.
      const std::string warning = "The cache has no record of this export: " + e.Message();
      outcome.Warnings.push_back(warning);
      Print("warning", entry.AssetName, warning);
    }
  }

  void Print(const char* kind, const std::string& asset, const std::string& message) {
    const std::lock_guard<std::mutex> lock(FMutex);
    FStreams.Progress.Erase();
    FStreams.Err << kind << ": " << VisibleText(asset) << ": " << VisibleText(message) << '\n';
  }

  const TCommandArguments& FArguments;
  const TCommandStreams& FStreams;
  const std::vector<TBatchEntry>& FEntries;
  std::vector<std::optional<TAssetExportOptions>> FOptions;
  const TBatchCache* FCache;
  TTextureClaims FClaims;
  std::vector<TBatchOutcome> FOutcomes;

  TClock::time_point FStart;
  std::atomic<std::size_t> FNext{0};
  // Held to print, and to count what is done.
  std::mutex FMutex;
  std::condition_variable FFinished;
  std::size_t FDone = 0;
  std::size_t FFailed = 0;
};
}  // namespace

TBatchShard ParseShard(const std::string& text) {
  const std::size_t slash = text.find('/');
  const std::optional<std::size_t> index = WholeNumber(text.substr(0, slash));
  const std::optional<std::size_t> count =
      slash == std::string::npos ? std::nullopt : WholeNumber(text.substr(slash + 1));
  if (!index || !count || *index < 1 || *index > *count)
    throw TUsageError("Please specify the shard as I/N, I from 1 to N (1/4 is the first of four).");
  return {*index, *count};
}

std::vector<std::size_t> ShardPositions(std::size_t count, const TBatchShard& shard) {
  std::vector<std::size_t> positions;
  for (std::size_t i = shard.Index - 1; i < count; i += shard.Count) positions.push_back(i);
  return positions;
}

std::string FormatDuration(double seconds) {
  const long long whole = seconds > 0 ? static_cast<long long>(seconds + 0.5) : 0;
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

std::string BatchProgressLine(std::size_t done, std::size_t total, std::size_t failed, double elapsedSeconds) {
  std::string line = "batch: " + std::to_string(done) + "/" + std::to_string(total) + " assets, " +
                     std::to_string(failed) + " failed";
  if (done > 0 && done < total)
    line += ", " +
            FormatDuration(elapsedSeconds / static_cast<double>(done) * static_cast<double>(total - done)) + " left";
  return line;
}

int RunBatchCommand(const TCommandArguments& arguments, const TCommandStreams& streams) {
  CheckCommonOptions(arguments);
  // Without --shard the whole batch is the one shard 1/1.
  const bool sharded = !arguments.Shard.empty();
  const TBatchShard shard = sharded ? ParseShard(arguments.Shard) : TBatchShard{};
  std::vector<TBatchEntry> all;
  try {
    all = ReadBatchSource(arguments.BatchSource, arguments.Category);
  } catch (const TBatchSourceError& e) {
    streams.Progress.Erase();
    for (const std::string& problem : e.Problems) streams.Err << "error: " << VisibleText(problem) << '\n';
    return kUsageError;
  }
  // Made only once the source is known to be usable: a refused batch leaves nothing behind.
  std::optional<TBatchCache> cache;
  if (!arguments.Cache.empty()) {
    AsUsageError([&] { CreateDirectories(arguments.Cache); });
    cache.emplace(arguments.Cache, TBatchCache::ToolIdentity(kToolVersion));
  }

  std::vector<TBatchEntry> entries;
  for (const std::size_t position : ShardPositions(all.size(), shard))
    entries.push_back(std::move(all[position]));

  std::vector<std::optional<TAssetExportOptions>> options(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i].Problem.empty()) continue;
    try {
      options[i] = AssetExportOptions(arguments, entries[i].SceneFile, entries[i].AssetName, entries[i].Category);
    } catch (const TException& e) {
      entries[i].Problem = e.Message();
    }
  }

  const std::size_t jobs =
      arguments.Jobs > 0 ? static_cast<std::size_t>(arguments.Jobs) : std::max(1u, std::thread::hardware_concurrency());
  TBatchRun run(arguments, streams, entries, std::move(options), cache ? &*cache : nullptr);
  const std::vector<TBatchOutcome>& outcomes = run.Run(jobs);
  const TBatchTotals totals = CountOutcomes(outcomes);

  const double seconds = run.Seconds();
  const std::string shardText = sharded ? std::to_string(shard.Index) + "/" + std::to_string(shard.Count) : "";

  int status = totals.Failed > 0 ? kFailure : 0;
  if (!arguments.Report.empty()) {
    try {
      const TBatchReportHead head{arguments.BatchSource, arguments.Repository, shardText, seconds};
      WriteWholeFile(arguments.Report, BatchReportText(head, entries, outcomes));
    } catch (const TException& e) {
      streams.Err << "error: The report was not written: " << VisibleText(e.Message()) << '\n';
      status = kFailure;
    }
  }
  streams.Err << "batch: " << totals.Assets << " assets";
  if (sharded) streams.Err << " (shard " << shardText << " of " << all.size() << ")";
  streams.Err << ": " << totals.Exported << " exported, " << totals.Skipped << " skipped, " << totals.Failed
              << " failed, " << totals.Warnings << (totals.Warnings == 1 ? " warning, " : " warnings, ")
              << FormatDuration(seconds) << '\n';
  return status;
}
