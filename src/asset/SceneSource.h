#pragma once
// Where a job's scene comes from: a file on the command line, the editor's
// reply in the plug-in, a text in a test. The job sets up the reader (its
// scale, its progress) and hands it over; the source reads with it.

#include <functional>
#include <memory>
#include <string>

class TScene;
class TXMLSceneReader;
struct TReportSinks;

struct TSceneSource {
  // The step shown while the scene is read ("Reading scene file...").
  std::string Step;
  std::function<std::unique_ptr<TScene>(TXMLSceneReader& reader)> Read;
};

// Reads the source's scene as the export jobs read it: positions times
// `scale`, each primitive's normals for the export's smoothing angle given as
// it is read (the jobs' normals pass does the rest), and the progress
// reported under the source's step.
std::unique_ptr<TScene> ReadExportScene(const TSceneSource& source, float scale, const TReportSinks& sinks);
