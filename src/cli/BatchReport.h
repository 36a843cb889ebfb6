#pragma once
// What became of each asset of a batch, and the report of it all as one JSON
// document (--report FILE.json):
//
//   {"source": ..., "repository": ..., "shard": "2/4" or null,
//    "assets": [{"scene": ..., "name": ..., "category": ...,
//                "status": "exported" | "skipped" | "failed",
//                "error": null or the message, "warnings": [...],
//                "files": [absolute paths written], "polygons": N or null,
//                "seconds": N}, ...],
//    "totals": {"assets": N, "exported": N, "skipped": N, "failed": N,
//               "warnings": N, "polygons": N, "seconds": N}}
//
// "skipped" is an asset that --changed-only found unchanged: it wrote
// nothing, so it lists no files; a failed one neither. Seconds are wall
// time: an asset's from its start to its end, the totals' the whole batch.
// Text that is not UTF-8 (a name in Latin-1) shows U+FFFD there.

#include <cstddef>
#include <string>
#include <vector>

#include "cli/BatchList.h"

enum class TBatchStatus { Exported, Skipped, Failed };

struct TBatchOutcome {
  TBatchStatus Status = TBatchStatus::Failed;
  std::string Error;
  std::vector<std::string> Warnings;
  std::vector<std::string> Files;
  std::size_t Polygons = 0;
  double Seconds = 0;
};

struct TBatchTotals {
  std::size_t Assets = 0, Exported = 0, Skipped = 0, Failed = 0, Warnings = 0, Polygons = 0;
};

TBatchTotals CountOutcomes(const std::vector<TBatchOutcome>& outcomes);

struct TBatchReportHead {
  std::string Source;
  std::string Repository;
  // "I/N", empty without --shard.
  std::string Shard;
  double Seconds = 0;
};

// The document, entries and outcomes in the batch's order.
std::string BatchReportText(const TBatchReportHead& head, const std::vector<TBatchEntry>& entries,
                            const std::vector<TBatchOutcome>& outcomes);

// Writes `text` into `file` as the export writes its files: into a
// temporary file beside it, flushed, then renamed into place, so that a
// reader finds the whole earlier file or the whole new one (the report, a
// record of the cache). What a killed run left of the same file is removed
// first. Raises "Cannot create file %s" or "Cannot write file %s" when it
// cannot.
void WriteWholeFile(const std::string& file, const std::string& text);
