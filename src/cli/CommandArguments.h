#pragma once
// The command line as parsed: one value with a field for every option of
// every command, filled by the parser and read by the commands, so that an
// option is declared once and used once.

#include <ostream>
#include <string>
#include <vector>

#include "base/uException.h"

class TProgressLine;

// Millimetres per editor unit unless --scale says otherwise; inspect's sizes
// are those of an export at this scale.
inline constexpr const char* kDefaultScale = "10";

// What --version prints; the batch's cache takes it as part of the tool's identity.
inline constexpr const char* kToolVersion = "veldara-export 1.0";

struct TCommandArguments {
  std::string SceneFile;
  // mesh: the mesh file; preview: the picture.
  std::string Output;
  std::string Repository;
  std::string AssetName;
  std::string Category;
  std::string Scale = kDefaultScale;
  std::string TextureDirectory;
  std::string OgreVersion;
  std::string MeshVersion;
  // Levels of detail beyond the full mesh.
  std::string Lod = "0";
  bool Optimize = false;
  bool AllPrimitives = false;
  bool Strict = false;
  bool Init = false;
  bool Quiet = false;
  // inspect
  bool DrawCalls = false;
  bool Json = false;
  // batch
  std::string BatchSource;
  int Jobs = 0;  // 0: one per processor
  std::string Report;
  std::string Shard;
  bool ChangedOnly = false;
  std::string Cache;
  // preview
  std::string MeshFile;
  std::string Size = "800x600";
  int Views = 4;
  bool Timings = false;
  // The level of detail drawn.
  std::string PreviewLod = "0";
  // help
  std::string HelpTopic;
  // The words after the program's name, as given: what `preview` hands over
  // to the program that renders (see PreviewRendering.h).
  std::vector<std::string> CommandLine;
};

// Where a command prints: its results, its warnings and errors, its progress line.
struct TCommandStreams {
  std::ostream& Out;
  std::ostream& Err;
  TProgressLine& Progress;
};

// An argument that cannot be used: the tool ends with status 2 and the usage
// of the command.
struct TUsageError : TException {
  using TException::TException;
};
