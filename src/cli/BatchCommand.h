#pragma once
// `veldara-export batch SOURCE --repository DIR [options]`: the export of
// every asset of a folder or a list (see BatchList.h) into one repository,
// several at once (-j N, by default as many as the machine has processors).
//
// Each asset is one export job as `export` runs it, with its own lock and
// transaction: one that fails leaves its earlier files as they were and the
// others go on. The options of `export` hold for every asset. Warnings and
// errors are printed as they come, each naming its asset ("warning: NAME:
// ...", "error: NAME: ..."); on a terminal one line counts the assets
// ("batch: 120/300 assets, 2 failed, 0:42 left"), and the end is one line of
// totals on standard error. Standard output stays empty: --report FILE.json
// has the files (see BatchReport.h).
//
// The status is 0 when every asset was exported (or skipped as unchanged), 1
// when any failed, 2 for a usage error or a source that cannot be used, when
// nothing is exported: the options, the shard, the cache, the repository's
// folders (without --init) and every line of a list are checked first.
//
// --shard I/N exports the I-th of every N assets in the order of their names,
// I counted from 1, so that N machines given the same source share it without
// talking to each other. --changed-only skips what --cache DIR says is
// unchanged (see BatchCache.h). --init also creates the folders that the
// batch's asset names need below Meshes, AssetDefinitions and Physics.

#include <cstddef>
#include <string>
#include <vector>

#include "cli/CommandArguments.h"

struct TBatchShard {
  std::size_t Index = 1;  // from 1 to Count
  std::size_t Count = 1;
};

// "I/N" with whole numbers, 1 <= I <= N. Raises TUsageError.
TBatchShard ParseShard(const std::string& text);

// The positions among `count` assets that the shard exports: I - 1, then
// every N-th after it.
std::vector<std::size_t> ShardPositions(std::size_t count, const TBatchShard& shard);

// "0:42", "12:03", "1:02:03".
std::string FormatDuration(double seconds);

// The line on the terminal: "batch: 120/300 assets, 2 failed, 0:42 left",
// the time left from the time the finished assets took, and without it
// before the first and after the last.
std::string BatchProgressLine(std::size_t done, std::size_t total, std::size_t failed, double elapsedSeconds);

// Runs the batch and returns the exit status. Usage errors of the options
// are raised as TUsageError, as the other commands raise them; a source
// that cannot be used is printed here, a line for each problem.
int RunBatchCommand(const TCommandArguments& arguments, const TCommandStreams& streams);
