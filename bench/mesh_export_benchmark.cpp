// The export of a large generated level, step by step: reading the scene
// (parse and scene build), smoothed normals, building the output model
// (welding and sub-meshes), writing the binary mesh, the material script and
// the physics file. The scene is read once; every step gets a fresh
// copy of what it needs outside the timing.
//
// Targets: welding and sub-mesh building at 5 million corners per second or
// more; the whole mesh export (after the scene is read) under 1 s for 1,000,000
// corners.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "SceneDocumentGenerator.h"
#include "asset/KVPhysicsExporterCl.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "scene/uScene.h"
#include "scene/uXMLSceneReader.h"

namespace {
const std::string& Document() {
  static const std::string document = GenerateSceneDocument({.Polygons = 260000, .Seed = 11});
  return document;
}

std::unique_ptr<TScene> ReadScene() { return TXMLSceneReader().ReadSceneText(Document()); }

int64_t CornerCount(const TScene& scene) {
  int64_t corners = 0;
  for (int p = 0; p < scene.PrimitiveCount(); ++p)
    for (int i = 0; i < scene.GetPrimitive(p).PolygonCount(); ++i) corners += scene.GetPrimitive(p).GetPolygon(i).VertexCount();
  return corners;
}

// The corners handled per iteration, and per second.
void ReportCorners(benchmark::State& state, int64_t corners) {
  state.counters["corners"] = static_cast<double>(corners);
  state.counters["corners_per_second"] =
      benchmark::Counter(static_cast<double>(corners), benchmark::Counter::kIsIterationInvariantRate);
}

std::string OutputDirectory() {
  const auto directory = std::filesystem::temp_directory_path() / "veldara-mesh-benchmark";
  std::filesystem::create_directories(directory);
  return directory.string();
}

// Parse and scene build together, from the document text as the editor
// hands it over (the copy that the reader takes over is made outside the timing).
void ReadSceneText(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::string text = Document();
    state.ResumeTiming();
    auto scene = TXMLSceneReader().ReadSceneText(std::move(text));
    benchmark::DoNotOptimize(scene.get());
    state.PauseTiming();
    scene.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(Document().size()));
  state.counters["input_MB"] = static_cast<double>(Document().size()) / 1e6;
}

void Normals(benchmark::State& state) {
  int64_t corners = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto scene = ReadScene();
    corners = CornerCount(*scene);
    state.ResumeTiming();
    scene->CalculateNormals(ExportSmoothingAngle);
    state.PauseTiming();
    scene.reset();
    state.ResumeTiming();
  }
  ReportCorners(state, corners);
}

void Build(benchmark::State& state) {
  auto scene = ReadScene();
  scene->CalculateNormals(ExportSmoothingAngle);
  const int64_t corners = CornerCount(*scene);
  for (auto _ : state) {
    QZOgreMeshExporterT exporter(*scene, {});
    exporter.Build();
    benchmark::DoNotOptimize(exporter.GetSubMeshes().data());
    state.PauseTiming();
    {
      QZOgreMeshExporterT discard(std::move(exporter));
    }
    state.ResumeTiming();
  }
  ReportCorners(state, corners);
}

void WriteBinary(benchmark::State& state) {
  auto scene = ReadScene();
  scene->CalculateNormals(ExportSmoothingAngle);
  TMeshExportOptions options;
  options.ExportNormals = true;
  QZOgreMeshExporterT exporter(*scene, options);
  exporter.Build();
  const std::string file = OutputDirectory() + "/Level.mesh";
  for (auto _ : state) exporter.WriteBinaryMesh(file);
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
}

void WriteScript(benchmark::State& state) {
  auto scene = ReadScene();
  scene->CalculateNormals(ExportSmoothingAngle);
  QZOgreMeshExporterT exporter(*scene, {});
  exporter.Build();
  const std::string file = OutputDirectory() + "/Level.material";
  for (auto _ : state) exporter.WriteMaterialFile(file);
}

void WritePhysics(benchmark::State& state) {
  auto scene = ReadScene();
  const std::string file = OutputDirectory() + "/Level.physics";
  for (auto _ : state) KVPhysicsExporterT(*scene, "Level.mesh").Export(file);
}

// Everything after the scene is read: normals, build, mesh, script.
void WholeMeshExport(benchmark::State& state) {
  int64_t corners = 0;
  const std::string file = OutputDirectory() + "/Level.mesh";
  for (auto _ : state) {
    state.PauseTiming();
    auto scene = ReadScene();
    corners = CornerCount(*scene);
    state.ResumeTiming();
    scene->CalculateNormals(ExportSmoothingAngle);
    TMeshExportOptions options;
    options.ExportNormals = true;
    options.CopyTextures = false;
    QZOgreMeshExporterT exporter(*scene, options);
    exporter.Export(file);
    state.PauseTiming();
    scene.reset();
    state.ResumeTiming();
  }
  state.counters["corners"] = static_cast<double>(corners);
}
}  // namespace

// A level of N materials, each in a category of its own with a texture of its
// own, all on one primitive of N triangles: every lookup by name runs once
// per entry, so the time per entry must stay flat from 1,000 to 100,000.
std::string ManyNamesDocument(int count) {
  std::string materials, vertices, polygons;
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    materials += "<category name=\"c" + n + "\"><material id=\"m" + n + "\" name=\"M" + n +
                 "\" used=\"true\"><layer type=\"texture\" blend=\"replace\"><texture file=\"t" + n +
                 ".png\" /></layer></material></category>";
    vertices += "<vertex id=\"a" + n + "\" x=\"" + n + "\" y=\"0\" z=\"0\" /><vertex id=\"b" + n + "\" x=\"" + n +
                "\" y=\"1\" z=\"0\" /><vertex id=\"c" + n + "\" x=\"" + n + "\" y=\"0\" z=\"1\" />";
    polygons += "<poly mid=\"m" + n + "\"><vertex vid=\"a" + n + "\" u0=\"0\" v0=\"0\" /><vertex vid=\"b" + n +
                "\" u0=\"0\" v0=\"1\" /><vertex vid=\"c" + n + "\" u0=\"1\" v0=\"0\" /></poly>";
  }
  return "<scene><materials>" + materials +
         "</materials><primitives><primitive id=\"p\" name=\"P\" type=\"userdefined\" visible=\"true\" "
         "snap=\"none\" autoUV=\"false\"><vertices>" +
         vertices + "</vertices><polygons>" + polygons + "</polygons></primitive></primitives></scene>";
}

void ManyNames(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::string document = ManyNamesDocument(count);
  for (auto _ : state) {
    auto scene = TXMLSceneReader().ReadSceneText(document);
    scene->CalculateNormals(ExportSmoothingAngle);
    QZOgreMeshExporterT exporter(*scene, {});
    exporter.Build();
    benchmark::DoNotOptimize(exporter.GetSubMeshes().data());
  }
  state.counters["entries"] = count;
  state.counters["per_entry"] = benchmark::Counter(static_cast<double>(count),
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

BENCHMARK(ReadSceneText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Normals)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Build)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WriteBinary)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WriteScript)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WritePhysics)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WholeMeshExport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ManyNames)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
