// Parsing a scene document of the editor's format, as the export does at its
// start: throughput of the scanner and parser together, and the memory that the
// finished node tree holds per byte of input.
//
// Targets: at least 200 MB/s on one core; a tree of at most 3 bytes per input byte.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "SceneDocumentGenerator.h"
#include "xml/uXMLReader.h"

// Every allocation of the process is counted, so that the tree's size is
// measured rather than estimated.
namespace {
std::atomic<int64_t> gLiveBytes{0};
}  // namespace

void* operator new(std::size_t size) {
  void* p = std::malloc(size > 0 ? size : 1);
  if (!p) throw std::bad_alloc();
  gLiveBytes += static_cast<int64_t>(malloc_usable_size(p));
  return p;
}
void operator delete(void* p) noexcept {
  if (!p) return;
  gLiveBytes -= static_cast<int64_t>(malloc_usable_size(p));
  std::free(p);
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace {
const std::string& Document() {
  // About 64 MB of scene text.
  static const std::string document = GenerateSceneDocument({.Polygons = 200000, .Seed = 7});
  return document;
}

void ParseSceneDocument(benchmark::State& state) {
  const std::string& document = Document();
  double treeBytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TXMLStringReader reader(document);
    const int64_t before = gLiveBytes.load();
    state.ResumeTiming();
    std::unique_ptr<TXMLNode> root = reader.ReadRootNode();
    state.PauseTiming();
    treeBytes = static_cast<double>(gLiveBytes.load() - before);
    benchmark::DoNotOptimize(root.get());
    root.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(document.size()));
  state.counters["input_MB"] = static_cast<double>(document.size()) / 1e6;
  state.counters["tree_bytes_per_input_byte"] = treeBytes / static_cast<double>(document.size());
}
BENCHMARK(ParseSceneDocument)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
}  // namespace

BENCHMARK_MAIN();
