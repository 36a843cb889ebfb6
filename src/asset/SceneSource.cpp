#include "asset/SceneSource.h"

#include "base/ReportSinks.h"
#include "scene/uScene.h"
#include "scene/uXMLSceneReader.h"

std::unique_ptr<TScene> ReadExportScene(const TSceneSource& source, float scale, const TReportSinks& sinks) {
  TXMLSceneReader reader;
  reader.Scale = scale;
  reader.SmoothingAngle = ExportSmoothingAngle;
  reader.OnProgress = [&](int percent) { sinks.Report(source.Step, percent); };
  sinks.Report(source.Step, 0);
  return source.Read(reader);
}
