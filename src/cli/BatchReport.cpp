#include "cli/BatchReport.h"

#include <nlohmann/json.hpp>

#include "base/uException.h"
#include "platform/uFileSystem.h"
#include "platform/uFileTransaction.h"

using json = nlohmann::ordered_json;

namespace {
const char* StatusName(TBatchStatus status) {
  switch (status) {
    case TBatchStatus::Exported: return "exported";
    case TBatchStatus::Skipped: return "skipped";
    case TBatchStatus::Failed: break;
  }
  return "failed";
}

// Seconds to the millisecond: finer would only show noise.
double Rounded(double seconds) { return static_cast<double>(static_cast<long long>(seconds * 1000 + 0.5)) / 1000; }
}  // namespace

TBatchTotals CountOutcomes(const std::vector<TBatchOutcome>& outcomes) {
  TBatchTotals totals;
  for (const TBatchOutcome& outcome : outcomes) {
    ++totals.Assets;
    switch (outcome.Status) {
      case TBatchStatus::Exported: ++totals.Exported; break;
      case TBatchStatus::Skipped: ++totals.Skipped; break;
      case TBatchStatus::Failed: ++totals.Failed; break;
    }
    totals.Warnings += outcome.Warnings.size();
    totals.Polygons += outcome.Polygons;
  }
  return totals;
}

std::string BatchReportText(const TBatchReportHead& head, const std::vector<TBatchEntry>& entries,
                            const std::vector<TBatchOutcome>& outcomes) {
  json assets = json::array();
  for (std::size_t i = 0; i < entries.size() && i < outcomes.size(); ++i) {
    const TBatchEntry& entry = entries[i];
    const TBatchOutcome& outcome = outcomes[i];
    json asset = {{"scene", entry.SceneFile},
                      {"name", entry.AssetName},
                      {"category", entry.Category},
                      {"status", StatusName(outcome.Status)},
                      {"error", outcome.Status == TBatchStatus::Failed ? json(outcome.Error) : json(nullptr)},
                      {"warnings", outcome.Warnings},
                      {"files", outcome.Files},
                      {"polygons", outcome.Status == TBatchStatus::Exported ? json(outcome.Polygons) : json(nullptr)},
                      {"seconds", Rounded(outcome.Seconds)}};
    assets.push_back(std::move(asset));
  }
  const TBatchTotals totals = CountOutcomes(outcomes);
  const json document = {{"source", head.Source},
                         {"repository", head.Repository},
                         {"shard", head.Shard.empty() ? json(nullptr) : json(head.Shard)},
                         {"assets", assets},
                         {"totals",
                          {{"assets", totals.Assets},
                           {"exported", totals.Exported},
                           {"skipped", totals.Skipped},
                           {"failed", totals.Failed},
                           {"warnings", totals.Warnings},
                           {"polygons", totals.Polygons},
                           {"seconds", Rounded(head.Seconds)}}}};
  return document.dump(2, ' ', false, json::error_handler_t::replace) + '\n';
}

void WriteWholeFile(const std::string& file, const std::string& text) {
  // Marked with the file's own path: what a killed run left of this file is
  // removed now, and nothing of any other file's.
  TFileTransaction transaction(AbsoluteDirectory(FolderOf(file), "") + FileNameOf(file));
  transaction.RemoveStaleFiles(FolderOf(file).empty() ? "." : FolderOf(file));
  const std::size_t staged = transaction.Create(file);
  if (FileOperations.Write(text.data(), text.size(), transaction.File(staged)) != text.size()) {
    transaction.Abandon(staged);
    RaiseError("Cannot write file %s", {file});
  }
  transaction.Finish(staged);
  transaction.Commit();
}
