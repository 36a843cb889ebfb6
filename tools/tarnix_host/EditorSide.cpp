#include "EditorSide.h"

#include <algorithm>
#include <cstdio>
#include <new>

THostState gHost;

const std::string kSceneRequest =
    "<request version=\"1.6\">\r\n"
    "  <materials subset=\"all\" />\r\n"
    "  <primitives subset=\"all\" />\r\n"
    "  <lights subset=\"all\" />\r\n"
    "</request>";
const std::string kInstallDirectoryRequest =
    "<request version=\"1.6\">\r\n"
    "  <installdirectory />\r\n"
    "</request>";

namespace {

void ProtocolProblem(const std::string& problem) {
  if (gHost.ProtocolKept) gHost.ProtocolProblem = problem;
  gHost.ProtocolKept = false;
}

LRESULT CALLBACK EditorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool LoadSceneReply(const std::string& fileName) {
  constexpr char kPadding[] = "\r\n";  // and the string's zero byte, counted below
  FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) return false;
  bool read = std::fseek(file, 0, SEEK_END) == 0;
  const long size = read ? std::ftell(file) : -1;
  read = read && size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
  if (read) {
    gHost.SceneReply.clear();
    gHost.SceneReply.shrink_to_fit();
    try {
      gHost.SceneReply.resize(static_cast<std::size_t>(size) + sizeof kPadding);
    } catch (const std::bad_alloc&) {
      std::fclose(file);
      throw TSceneTooLarge{};
    }
    read = std::fread(gHost.SceneReply.data(), 1, static_cast<std::size_t>(size), file) == static_cast<std::size_t>(size);
    std::copy(kPadding, kPadding + sizeof kPadding, gHost.SceneReply.begin() + size);
  }
  std::fclose(file);
  return read;
}

int32_t __stdcall HostCallbackFunction(TCallbackData* data) {
  if (data == nullptr || data->Request == nullptr) {
    ProtocolProblem("a call without a request");
    return 99;
  }
  const std::string request = data->Request;
  if (data->Stage == 0) {
    gHost.Requests.push_back(request);
    if (data->Reply != nullptr || data->ReplySize != 0) ProtocolProblem("stage 0 with a reply buffer or size");
    if (request == kSceneRequest) {
      if (gHost.SceneFailures > 0) {
        --gHost.SceneFailures;
        return 5;
      }
      gHost.PendingReply = gHost.SceneReply;
    } else if (request == kInstallDirectoryRequest) {
      gHost.OtherReply =
          "<reply>\r\n  <installdirectory>" + gHost.InstallDirectory + "</installdirectory>\r\n</reply>";
      gHost.PendingReply = gHost.OtherReply;
    } else {
      ProtocolProblem("an unknown request: " + request);
      return 99;
    }
    data->ReplySize = static_cast<int32_t>(gHost.PendingReply.size());
    return 0;
  }
  if (data->Stage == 1) {
    if (data->Reply == nullptr) {
      ProtocolProblem("stage 1 without a reply buffer");
      return 98;
    }
    if (data->ReplySize != static_cast<int32_t>(gHost.PendingReply.size())) ProtocolProblem("stage 1 changed the size");
    // The buffer arrives all zero, with one zero byte more than announced.
    const char* const begin = data->Reply;
    const char* const end = begin + gHost.PendingReply.size() + 1;
    if (std::find_if(begin, end, [](char c) { return c != '\0'; }) != end)
      ProtocolProblem("stage 1's buffer is not all zero");
    if (request != gHost.Requests.back()) ProtocolProblem("stage 1 sent another request than stage 0");
    std::copy(gHost.PendingReply.begin(), gHost.PendingReply.end(), data->Reply);
    if (gHost.OnReplied) gHost.OnReplied(request);
    return 0;
  }
  ProtocolProblem("an unknown stage " + std::to_string(data->Stage));
  return 97;
}

HWND CreateEditorWindow() {
  WNDCLASSA editorClass{};
  editorClass.lpfnWndProc = EditorWindowProc;
  editorClass.hInstance = GetModuleHandleA(nullptr);
  editorClass.lpszClassName = "TarnixHostWindow";
  RegisterClassA(&editorClass);
  return CreateWindowExA(0, "TarnixHostWindow", "Tarnix (host simulator)", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                         nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}
