#include "host/uPlugin.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "base/uException.h"
#include "platform/uIniFile.h"
#include "scene/uXMLSceneReader.h"
#include "xml/uXMLReader.h"
#include "xml/uXMLWriter.h"

TPluginCallback HostCallback = nullptr;

namespace {

#ifdef _WIN32
constexpr std::string_view kHostSettingsName = "\\Tarnix.ini";
#else
// The command-line tool and the tests stand in for the editor on POSIX hosts,
// where the separator is "/"; everything else about the path is the same.
constexpr std::string_view kHostSettingsName = "/Tarnix.ini";
#endif

// Calls the editor with a fresh zero-terminated copy of the request, freed as
// soon as the call returns: the editor gets a writable text it may not keep,
// and whatever it does to it cannot reach the caller's request or the next call.
int32_t CallHost(TPluginCallback callback, TCallbackData& data, std::string_view request) {
  std::vector<char> copy(request.size() + 1, '\0');
  std::copy(request.begin(), request.end(), copy.begin());
  data.Request = copy.data();
  const int32_t result = callback(&data);
  data.Request = nullptr;
  return result;
}

void CheckHostResult(int32_t result) {
  if (result != 0) RaiseError("Tarnix callback returned error code %d", {std::to_string(result)});
}

}  // namespace

THostReply ReceiveHostReply(std::string_view request) {
  // Both stages go to the same callback, even should the editor hand over a
  // new one while it answers.
  const TPluginCallback callback = HostCallback;
  if (callback == nullptr) return {};

  TCallbackData data{0, nullptr, nullptr, 0};
  CheckHostResult(CallHost(callback, data, request));

  // The size announced now is the size of our buffer and of the reply, whatever
  // the editor later stores in the record: it can neither make us read past the
  // buffer nor shorten what it promised.
  const int32_t replySize = data.ReplySize;
  if (replySize < 0) RaiseError("Tarnix callback reported an invalid reply size %d", {std::to_string(replySize)});

  // One zero byte more than announced, so that an editor that counts the
  // terminating zero and one that does not both find room for it. The editor
  // writes into the buffer that is returned: the scene's reply is as large as
  // the document, and a second copy of it, even a passing one, would need as
  // much address space again in a 32-bit editor that already holds its own.
  // A 32-bit editor that already holds its own copy of a huge scene may have
  // no room left for ours: that is the export's error, said as such, not a
  // failure of some later step.
  THostReply reply;
  reply.Size = static_cast<std::size_t>(replySize);
  try {
    reply.Buffer = TReleasableBuffer(reply.Size + 1);
  } catch (const std::bad_alloc&) {
    RaiseError("The editor's reply of %d bytes does not fit into the memory left to the plug-in.",
               {std::to_string(replySize)});
  }
  data.Stage = 1;
  data.Reply = reply.Buffer.Data();
  CheckHostResult(CallHost(callback, data, request));
  return reply;
}

std::string SendHostRequest(std::string_view request) {
  const THostReply reply = ReceiveHostReply(request);
  if (reply.Size == 0) return {};
  return {reply.Buffer.Data(), reply.Size};
}

std::string BuildHostRequest(std::initializer_list<std::string_view> childNames,
                             std::initializer_list<std::pair<std::string_view, std::string_view>> childAttributes) {
  TXMLStringWriter writer;
  writer.WriteDeclaration = false;
  writer.OpenTag("request");
  writer.AddProperty("version", TarnixInterfaceVersion);
  for (const std::string_view name : childNames) {
    writer.OpenTag(name);
    for (const auto& [attribute, value] : childAttributes) writer.AddProperty(attribute, value);
    writer.CloseTag(name);
  }
  writer.CloseTag("request");
  return writer.GetText();
}

std::string GetInstallDirectory() {
  const std::string reply = SendHostRequest(BuildHostRequest({"installdirectory"}));
  const std::unique_ptr<TXMLNode> root = TXMLStringReader(std::string(TrimHostReply(reply))).ReadRootNode();

  // Only the root's own children count, and the last one named wins.
  std::string directory;
  for (int i = 0; i < root->ChildCount(); ++i) {
    const TXMLNode* child = root->GetChild(i);
    if (child->Name() == "installdirectory") directory = child->Text();
  }
  return directory;
}

std::string HostSettingsFile(std::string_view installDirectory) {
  std::string fileName(installDirectory);
  fileName += kHostSettingsName;
  return fileName;
}

std::unique_ptr<TScene> RequestScene(TXMLSceneReader& reader) {
  THostReply reply = ReceiveHostReply(BuildHostRequest({"materials", "primitives", "lights"}, {{"subset", "all"}}));
  return reader.ReadSceneReply(std::move(reply.Buffer), reply.Size);
}

std::string GetTextureDirectory() {
  return ReadIniString(HostSettingsFile(GetInstallDirectory()), "Dirs", "texturefiles", "");
}

