#include "OgreTools.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "../support/TempDir.h"
#include "base/uException.h"
#include "xml/uXMLReader.h"

extern char** environ;

#ifndef VELDARA_OGRE_XML_CONVERTER
#define VELDARA_OGRE_XML_CONVERTER "OgreXMLConverter"
#endif
#ifndef VELDARA_MATERIAL_CHECK
#define VELDARA_MATERIAL_CHECK "material_check"
#endif
#ifndef VELDARA_OGRE_MESH_UPGRADER
#define VELDARA_OGRE_MESH_UPGRADER "OgreMeshUpgrader"
#endif
#ifndef VELDARA_MESH_CHECK
#define VELDARA_MESH_CHECK "mesh_check"
#endif

namespace {

[[noreturn]] void Fail(const std::string& message) { throw std::runtime_error(message); }

[[noreturn]] void FailErrno(const std::string& what) { Fail(what + ": " + std::strerror(errno)); }

// Both ends of a pipe, closed when they go out of scope.
struct TPipe {
  int Read = -1, Write = -1;
  TPipe() {
    int ends[2];
    // Close-on-exec: the child gets only the copies that dup2 makes.
    if (pipe2(ends, O_CLOEXEC) != 0) FailErrno("pipe2");
    Read = ends[0], Write = ends[1];
  }
  ~TPipe() {
    CloseRead();
    CloseWrite();
  }
  TPipe(const TPipe&) = delete;
  TPipe& operator=(const TPipe&) = delete;
  void CloseRead() {
    if (Read >= 0) close(Read);
    Read = -1;
  }
  void CloseWrite() {
    if (Write >= 0) close(Write);
    Write = -1;
  }
};

std::string CommandLine(const std::vector<std::string>& arguments) {
  std::string text;
  for (const auto& argument : arguments) text += (text.empty() ? "" : " ") + argument;
  return text;
}

std::string Describe(const std::vector<std::string>& arguments, const TCommandResult& result) {
  return CommandLine(arguments) + " exited with " + std::to_string(result.ExitStatus) +
         (result.Err.empty() ? "" : "\nstderr:\n" + result.Err) +
         (result.Out.empty() ? "" : "\nstdout:\n" + result.Out);
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto end = text.find(separator);
    parts.push_back(text.substr(0, end));
    if (end == std::string_view::npos) return parts;
    text.remove_prefix(end + 1);
  }
}

// "KEYa,b,c" with `count` floats, read exactly and whatever the locale.
bool Values(std::string_view field, std::string_view key, std::size_t count, std::vector<float>& values) {
  if (!field.starts_with(key)) return false;
  for (std::string_view part : Split(field.substr(key.size()), ',')) {
    float value = 0;
    const auto result = std::from_chars(part.data(), part.data() + part.size(), value);
    if (result.ec != std::errc() || result.ptr != part.data() + part.size()) return false;
    values.push_back(value);
  }
  return values.size() == count;
}

// ---- The converter's log ----

// The messages of an OGRE log file: each line starts with "HH:MM:SS: ";
// a line without that stamp continues the message before it.
std::vector<std::string> LogMessages(const std::string& logText) {
  std::vector<std::string> messages;
  for (const auto& line : Lines(logText)) {
    const bool stamped = line.size() >= 10 && line[2] == ':' && line[5] == ':' && line[8] == ':' && line[9] == ' ';
    if (stamped)
      messages.push_back(line.substr(10));
    else if (!messages.empty())
      messages.back() += "\n" + line;
  }
  return messages;
}

// Runs OgreXMLConverter in `directory`, with its log there too, and returns
// its warnings. OGRE logs its errors with "Error: "; one that it logs
// without throwing would leave the exit status at 0, so the log counts as
// much as the status.
std::vector<std::string> RunConverter(const TTempDir& directory, std::vector<std::string> options,
                                      const std::string& source, const std::string& destination) {
  const std::string logFile = directory.File("converter.log");
  // -q: no log echo on stdout. -log: the log in our directory, not the
  // current one. OGRE 1.12's converter has no options for buffer
  // reorganisation, edge lists, tangents or LOD (they moved to
  // OgreMeshUpgrader) and does none of them, so our buffers come through as
  // they are; its default of no "extremes" (-x 0) adds nothing either.
  std::vector<std::string> arguments = {VELDARA_OGRE_XML_CONVERTER, "-q", "-log", logFile};
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.push_back(source);
  arguments.push_back(destination);
  const TCommandResult result = RunCommand(arguments);

  std::vector<std::string> warnings, errors;
  for (const auto& message : LogMessages(TTempDir::Read(logFile))) {
    if (message.starts_with("Warning: ")) warnings.push_back(message.substr(9));
    if (message.starts_with("Error: ")) errors.push_back(message.substr(7));
  }
  if (result.ExitStatus != 0 || !errors.empty()) {
    std::string message = Describe(arguments, result);
    for (const auto& error : errors) message += "\nOGRE error: " + error;
    Fail(message);
  }
  if (!std::filesystem::exists(destination)) Fail(CommandLine(arguments) + " wrote no " + destination);
  return warnings;
}

// Copies the caller's file into our directory under a name whose extension
// tells the converter which way to convert (".xml" means XML).
std::string CopyIn(const TTempDir& directory, const std::string& file, const std::string& name) {
  const std::string copy = directory.File(name);
  std::error_code error;
  std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing, error);
  if (error) Fail("cannot copy " + file + ": " + error.message());
  return copy;
}

TOgreMeshDump DumpIn(const TTempDir& directory, const std::string& binaryFile, std::vector<std::string> warnings) {
  const std::string xmlFile = directory.File("dump.mesh.xml");
  const auto more = RunConverter(directory, {}, binaryFile, xmlFile);
  warnings.insert(warnings.end(), more.begin(), more.end());
  TOgreMeshDump dump;
  dump.Xml = TTempDir::Read(xmlFile);
  dump.Warnings = std::move(warnings);
  try {
    dump.Mesh = ParseOgreMeshXml(dump.Xml);
  } catch (const std::exception& e) {
    Fail(std::string(e.what()) + "\nin the converter's XML:\n" + dump.Xml);
  }
  return dump;
}

// ---- The XML mesh ----

std::string Where(const TXMLNode& node) {
  return "<" + std::string(node.Name()) + "> at " + std::to_string(node.Position());
}

std::vector<const TXMLNode*> Children(const TXMLNode& node) {
  std::vector<const TXMLNode*> children;
  for (int i = 0; i < node.ChildCount(); ++i) children.push_back(node.GetChild(i));
  return children;
}

std::string Text(const TXMLNode& node, std::string_view name) {
  if (!node.HasProperty(name)) Fail(Where(node) + " has no " + std::string(name));
  return std::string(node.GetProperty(name));
}

uint32_t Unsigned(const TXMLNode& node, std::string_view name) {
  const std::string text = Text(node, name);
  uint32_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size())
    Fail(Where(node) + ": " + std::string(name) + "=\"" + text + "\" is not an unsigned integer");
  return value;
}

float Float(const TXMLNode& node, std::string_view name) {
  Text(node, name);  // for its message when the attribute is missing
  try {
    return node.GetFloatProperty(name);
  } catch (const TException& e) {
    Fail(Where(node) + ": " + e.Message());
  }
}

bool Bool(const TXMLNode& node, std::string_view name, bool absent) {
  if (!node.HasProperty(name)) return absent;
  const std::string text = Text(node, name);
  if (text == "true") return true;
  if (text == "false") return false;
  Fail(Where(node) + ": " + std::string(name) + "=\"" + text + "\" is neither true nor false");
}

std::array<float, 3> Xyz(const TXMLNode& node) { return {Float(node, "x"), Float(node, "y"), Float(node, "z")}; }

// "float2" as the converter writes it, or "2" as older files say.
int TexCoordDimension(const TXMLNode& buffer, const std::string& name) {
  std::string text = buffer.HasProperty(name) ? Text(buffer, name) : "2";  // OGRE's default
  if (text.starts_with("float")) text.erase(0, 5);
  if (text == "1" || text == "2" || text == "3") return text[0] - '0';
  Fail(Where(buffer) + ": " + name + "=\"" + text + "\" is not supported");
}

TOgreGeometry ParseGeometry(const TXMLNode& node) {
  TOgreGeometry geometry;
  const uint32_t count = Unsigned(node, "vertexcount");
  geometry.Vertices.resize(count);
  std::size_t setsSoFar = 0;
  for (const TXMLNode* child : Children(node)) {
    if (child->Name() != "vertexbuffer") Fail("unsupported " + Where(*child));
    TOgreVertexBuffer buffer;
    buffer.Positions = Bool(*child, "positions", false);
    buffer.Normals = Bool(*child, "normals", false);
    const uint32_t sets = child->HasProperty("texture_coords") ? Unsigned(*child, "texture_coords") : 0;
    for (uint32_t s = 0; s < sets; ++s)
      buffer.TexCoordDimensions.push_back(TexCoordDimension(*child, "texture_coord_dimensions_" + std::to_string(s)));
    for (const char* unsupported : {"colours_diffuse", "colours_specular", "tangents", "binormals"})
      if (Bool(*child, unsupported, false)) Fail(Where(*child) + ": " + unsupported + " are not supported");

    const auto vertices = Children(*child);
    if (vertices.size() != count)
      Fail(Where(*child) + " holds " + std::to_string(vertices.size()) + " vertices, vertexcount says " +
           std::to_string(count));
    for (std::size_t i = 0; i < count; ++i) {
      const TXMLNode& vertexNode = *vertices[i];
      if (vertexNode.Name() != "vertex") Fail("unsupported " + Where(vertexNode));
      TOgreVertex& vertex = geometry.Vertices[i];
      int positions = 0, normals = 0;
      std::size_t set = 0;
      for (const TXMLNode* element : Children(vertexNode)) {
        if (element->Name() == "position") {
          vertex.Position = Xyz(*element);
          ++positions;
        } else if (element->Name() == "normal") {
          vertex.Normal = Xyz(*element);
          ++normals;
        } else if (element->Name() == "texcoord") {
          if (set >= sets) Fail(Where(*element) + ": more texture coordinates than the buffer declares");
          std::vector<float> components;
          const char* names[] = {"u", "v", "w"};
          for (int c = 0; c < buffer.TexCoordDimensions[set]; ++c) components.push_back(Float(*element, names[c]));
          vertex.TexCoords.push_back(std::move(components));
          ++set;
        } else {
          Fail("unsupported " + Where(*element));
        }
      }
      if (positions != (buffer.Positions ? 1 : 0) || normals != (buffer.Normals ? 1 : 0) || set != sets)
        Fail(Where(vertexNode) + " does not hold what its buffer declares");
      if (vertex.TexCoords.size() != setsSoFar + sets)
        Fail(Where(vertexNode) + ": texture coordinate sets out of step");
    }
    setsSoFar += sets;
    geometry.Buffers.push_back(std::move(buffer));
  }
  // OGRE writes vertexcount even when it read no vertex data (a truncated
  // binary mesh converts "successfully"), so vertices without any buffer, or
  // without positions, are an error here.
  int positionBuffers = 0;
  for (const auto& buffer : geometry.Buffers) positionBuffers += buffer.Positions ? 1 : 0;
  if (count > 0 && positionBuffers != 1)
    Fail(Where(node) + ": " + std::to_string(count) + " vertices, " + std::to_string(positionBuffers) +
         " buffers with positions");
  return geometry;
}

TOgreSubMesh ParseSubMesh(const TXMLNode& node) {
  TOgreSubMesh subMesh;
  subMesh.Material = node.HasProperty("material") ? Text(node, "material") : "";
  subMesh.OperationType = node.HasProperty("operationtype") ? Text(node, "operationtype") : "triangle_list";
  if (subMesh.OperationType != "triangle_list")
    Fail(Where(node) + ": operation type " + subMesh.OperationType + " is not supported");
  subMesh.UsesSharedVertices = Bool(node, "usesharedvertices", true);
  subMesh.Use32BitIndexes = Bool(node, "use32bitindexes", false);
  bool hasGeometry = false;
  for (const TXMLNode* child : Children(node)) {
    if (child->Name() == "faces") {
      const uint32_t count = Unsigned(*child, "count");
      for (const TXMLNode* face : Children(*child)) {
        if (face->Name() != "face") Fail("unsupported " + Where(*face));
        subMesh.Faces.push_back({Unsigned(*face, "v1"), Unsigned(*face, "v2"), Unsigned(*face, "v3")});
      }
      if (subMesh.Faces.size() != count)
        Fail(Where(*child) + " holds " + std::to_string(subMesh.Faces.size()) + " faces, count says " +
             std::to_string(count));
    } else if (child->Name() == "geometry") {
      subMesh.Geometry = ParseGeometry(*child);
      hasGeometry = true;
    } else {
      Fail("unsupported " + Where(*child));
    }
  }
  if (hasGeometry == subMesh.UsesSharedVertices)
    Fail(Where(node) + (hasGeometry ? " has its own geometry but uses the shared one" : " has no geometry"));
  return subMesh;
}

// Generated levels as the converter writes them; a manual level (another
// mesh) is not ours.
TOgreLevelsOfDetail ParseLevelsOfDetail(const TXMLNode& node, std::size_t subMeshes) {
  TOgreLevelsOfDetail levels;
  levels.Strategy = Text(node, "strategy");
  levels.LevelCount = Unsigned(node, "numlevels");
  if (Bool(node, "manual", false)) Fail(Where(node) + ": manual levels are not supported");
  for (const TXMLNode* child : Children(node)) {
    if (child->Name() != "lodgenerated") Fail("unsupported " + Where(*child));
    TOgreDetailLevel level;
    level.Value = Float(*child, "value");
    for (const TXMLNode* list : Children(*child)) {
      if (list->Name() != "lodfacelist") Fail("unsupported " + Where(*list));
      if (Unsigned(*list, "submeshindex") != level.Faces.size()) Fail(Where(*list) + ": sub-meshes out of order");
      auto& faces = level.Faces.emplace_back();
      for (const TXMLNode* face : Children(*list)) {
        if (face->Name() != "face") Fail("unsupported " + Where(*face));
        faces.push_back({Unsigned(*face, "v1"), Unsigned(*face, "v2"), Unsigned(*face, "v3")});
      }
      if (faces.size() != Unsigned(*list, "numfaces"))
        Fail(Where(*list) + " holds " + std::to_string(faces.size()) + " faces, numfaces says " +
             Text(*list, "numfaces"));
    }
    if (level.Faces.size() != subMeshes)
      Fail(Where(*child) + " lists " + std::to_string(level.Faces.size()) + " sub-meshes of " +
           std::to_string(subMeshes));
    levels.Levels.push_back(std::move(level));
  }
  if (levels.LevelCount != levels.Levels.size() + 1)
    Fail(Where(node) + ": numlevels says " + std::to_string(levels.LevelCount) + ", it holds " +
         std::to_string(levels.Levels.size()) + " levels beyond the full mesh");
  return levels;
}

}  // namespace

// ---- Running a program ----

TCommandResult RunCommand(const std::vector<std::string>& arguments, const std::string& directory) {
  if (arguments.empty()) Fail("RunCommand: no program");
  TPipe out, err;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  std::unique_ptr<posix_spawn_file_actions_t, int (*)(posix_spawn_file_actions_t*)> actionsGuard(
      &actions, posix_spawn_file_actions_destroy);
  if (posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) != 0 ||
      posix_spawn_file_actions_adddup2(&actions, out.Write, 1) != 0 ||
      posix_spawn_file_actions_adddup2(&actions, err.Write, 2) != 0)
    Fail("cannot prepare the redirections for " + arguments[0]);
  if (!directory.empty() && posix_spawn_file_actions_addchdir_np(&actions, directory.c_str()) != 0)
    Fail("cannot prepare the working directory for " + arguments[0]);

  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawnError = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  if (spawnError != 0) Fail("cannot start " + arguments[0] + ": " + std::strerror(spawnError));
  out.CloseWrite();
  err.CloseWrite();

  // Both pipes are drained together, so that a child filling one while we
  // wait on the other cannot block.
  TCommandResult result;
  pollfd fds[2] = {{out.Read, POLLIN, 0}, {err.Read, POLLIN, 0}};
  std::string* sinks[2] = {&result.Out, &result.Err};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      FailErrno("poll");
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i].fd = -1;  // end of output (or a broken pipe): stop polling it
        --open;
      }
    }
  }

  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) FailErrno("waitpid");
  result.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

// ---- The XML mesh ----

TOgreMesh ParseOgreMeshXml(std::string text) {
  // Our reader refuses an XML declaration, which the converter writes first.
  if (text.starts_with("<?xml")) {
    const auto end = text.find("?>");
    if (end == std::string::npos) Fail("unterminated XML declaration");
    text.erase(0, end + 2);
  }
  std::unique_ptr<TXMLNode> root;
  try {
    root = TXMLStringReader(std::move(text)).ReadRootNode();
  } catch (const TException& e) {
    Fail("XML mesh: " + e.Message());
  }
  if (root->Name() != "mesh") Fail("XML mesh: the root is " + Where(*root));

  TOgreMesh mesh;
  std::vector<std::pair<uint32_t, std::string>> names;
  for (const TXMLNode* child : Children(*root)) {
    if (child->Name() == "sharedgeometry") {
      mesh.SharedGeometry = ParseGeometry(*child);
    } else if (child->Name() == "submeshes") {
      for (const TXMLNode* subMesh : Children(*child)) {
        if (subMesh->Name() != "submesh") Fail("unsupported " + Where(*subMesh));
        mesh.SubMeshes.push_back(ParseSubMesh(*subMesh));
      }
    } else if (child->Name() == "levelofdetail") {
      // The converter writes it after the sub-meshes, as it reads it.
      mesh.LevelsOfDetail = ParseLevelsOfDetail(*child, mesh.SubMeshes.size());
    } else if (child->Name() == "submeshnames") {
      for (const TXMLNode* name : Children(*child)) {
        if (name->Name() != "submeshname") Fail("unsupported " + Where(*name));
        names.emplace_back(Unsigned(*name, "index"), Text(*name, "name"));
      }
    } else {
      Fail("unsupported " + Where(*child));
    }
  }
  for (const auto& [index, name] : names) {
    if (index >= mesh.SubMeshes.size()) Fail("a sub-mesh name for the missing sub-mesh " + std::to_string(index));
    mesh.SubMeshes[index].Name = name;
  }
  for (const auto& subMesh : mesh.SubMeshes)
    if (subMesh.UsesSharedVertices && !mesh.SharedGeometry) Fail("a sub-mesh uses shared vertices, but there are none");
  return mesh;
}

float ThroughOgreXml(float value) {
  // OGRE writes with a stream's default "%g" form at precision 6.
  char buffer[32];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  float result = 0;
  std::from_chars(buffer, written.ptr, result);
  return result;
}

// ---- OgreXMLConverter ----

TOgreMeshDump DumpBinaryMesh(const std::string& meshFile) {
  TTempDir directory;
  return DumpIn(directory, CopyIn(directory, meshFile, "input.mesh"), {});
}

std::vector<std::string> ConvertXmlToBinary(const std::string& xmlFile, const std::string& meshFile) {
  TTempDir directory;
  const std::string binary = directory.File("output.mesh");
  // Little-endian whatever the machine, as our exporter writes.
  auto warnings = RunConverter(directory, {"-E", "little"}, CopyIn(directory, xmlFile, "input.mesh.xml"), binary);
  std::error_code error;
  std::filesystem::copy_file(binary, meshFile, std::filesystem::copy_options::overwrite_existing, error);
  if (error) Fail("cannot write " + meshFile + ": " + error.message());
  return warnings;
}

TOgreMeshDump RoundTripXmlMesh(const std::string& xmlFile) {
  TTempDir directory;
  const std::string binary = directory.File("round-trip.mesh");
  auto warnings =
      RunConverter(directory, {"-E", "little"}, CopyIn(directory, xmlFile, "input.mesh.xml"), binary);
  return DumpIn(directory, binary, std::move(warnings));
}

// ---- OgreMeshUpgrader ----

TOgreUpgrade UpgradeMesh(const std::string& meshFile, const std::vector<std::string>& options) {
  // The upgrader has no option for its log: it writes OgreMeshUpgrade.log
  // into its working directory, so it runs in ours.
  TTempDir directory;
  const std::string source = CopyIn(directory, meshFile, "input.mesh");
  const std::string destination = directory.File("upgraded.mesh");
  std::vector<std::string> arguments = {VELDARA_OGRE_MESH_UPGRADER};
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.push_back(source);
  arguments.push_back(destination);
  const TCommandResult result = RunCommand(arguments, directory.Path().string());

  TOgreUpgrade upgrade;
  std::vector<std::string> errors;
  for (const auto& message : LogMessages(TTempDir::Read(directory.File("OgreMeshUpgrade.log")))) {
    if (message.starts_with("Warning: ")) upgrade.Warnings.push_back(message.substr(9));
    if (message.starts_with("Error: ")) errors.push_back(message.substr(7));
  }
  if (result.ExitStatus != 0 || !errors.empty() || !std::filesystem::exists(destination)) {
    std::string message = Describe(arguments, result);
    for (const auto& error : errors) message += "\nOGRE error: " + error;
    Fail(message);
  }
  upgrade.Bytes = TTempDir::Read(destination);
  return upgrade;
}

// ---- material_check and mesh_check ----

TCommandResult RunMaterialCheck(const std::string& scriptFile) {
  return RunCommand({VELDARA_MATERIAL_CHECK, scriptFile});
}

std::vector<std::string> CheckMaterialScript(const std::string& scriptFile) {
  const TCommandResult result = RunMaterialCheck(scriptFile);
  if (result.ExitStatus != 0) Fail(Describe({VELDARA_MATERIAL_CHECK, scriptFile}, result));
  return Lines(result.Out);
}

int LightsReachingInOgre(const std::string& meshFile, float x, float y, float z, float range) {
  const auto text = [](float value) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
  };
  const std::string light = text(x) + "," + text(y) + "," + text(z) + "," + text(range);
  const std::vector<std::string> arguments = {VELDARA_MESH_CHECK, "--light", light, meshFile};
  const TCommandResult result = RunCommand(arguments);
  if (result.ExitStatus != 0) Fail(Describe(arguments, result));
  for (const std::string& line : Lines(result.Out))
    if (line.starts_with("lights ")) return std::stoi(line.substr(7));
  Fail("mesh_check printed no light count\n" + Describe(arguments, result));
}

TOgreMeshLoad LoadMeshInOgre(const std::string& meshFile, const std::vector<std::string>& materialScripts) {
  std::vector<std::string> arguments = {VELDARA_MESH_CHECK, meshFile};
  arguments.insert(arguments.end(), materialScripts.begin(), materialScripts.end());
  const TCommandResult result = RunCommand(arguments);
  if (result.ExitStatus != 0) Fail(Describe(arguments, result));

  TOgreMeshLoad load;
  const auto lines = Lines(result.Out);
  auto failParse = [&](const std::string& why) { Fail(why + "\n" + Describe(arguments, result)); };
  if (lines.empty()) failParse("mesh_check printed nothing");
  if (lines[0] != "bounds none") {
    // "bounds min=X,Y,Z max=X,Y,Z radius=R", with exact floats.
    const auto fields = Split(lines[0], ' ');
    std::vector<float> min, max, radius;
    if (fields.size() != 4 || fields[0] != "bounds" || !Values(fields[1], "min=", 3, min) ||
        !Values(fields[2], "max=", 3, max) || !Values(fields[3], "radius=", 1, radius))
      failParse("unexpected line: " + lines[0]);
    TMeshBounds bounds;
    bounds.MinX = min[0], bounds.MinY = min[1], bounds.MinZ = min[2];
    bounds.MaxX = max[0], bounds.MaxY = max[1], bounds.MaxZ = max[2];
    bounds.Radius = radius[0];
    load.Bounds = bounds;
  }
  std::size_t i = 1;
  // "lod levels=N strategy=NAME", then "lod K value=V triangles=A,B,..." for K from 0 to N - 1.
  if (i < lines.size() && lines[i].starts_with("lod levels=")) {
    const auto fields = Split(lines[i], ' ');
    if (fields.size() != 3 || !fields[2].starts_with("strategy=")) failParse("unexpected line: " + lines[i]);
    const std::size_t count = std::stoul(std::string(fields[1].substr(7)));
    load.LodStrategy = std::string(fields[2].substr(9));
    for (std::size_t level = 0; level < count; ++level) {
      if (++i >= lines.size()) failParse("fewer levels than announced");
      const auto parts = Split(lines[i], ' ');
      std::vector<float> value;
      if (parts.size() != 4 || parts[0] != "lod" || parts[1] != std::to_string(level) ||
          !Values(parts[2], "value=", 1, value) || !parts[3].starts_with("triangles="))
        failParse("unexpected line: " + lines[i]);
      TOgreLoadedLevel loaded;
      loaded.Value = value[0];
      const std::string_view triangles = parts[3].substr(10);
      if (!triangles.empty())
        for (std::string_view figure : Split(triangles, ',')) loaded.Triangles.push_back(std::stoul(std::string(figure)));
      load.Levels.push_back(std::move(loaded));
    }
    ++i;
  }
  for (; i < lines.size(); ++i) {
    if (!lines[i].starts_with("warning ")) failParse("unexpected line: " + lines[i]);
    load.Warnings.push_back(lines[i].substr(8));
  }
  return load;
}
