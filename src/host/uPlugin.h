#pragma once
// The portable side of the host interface: the record and the function type
// through which the Tarnix editor answers our requests, the two-stage exchange
// that every request goes through, and the requests built on it, the scene's
// among them. The core below knows nothing of it: the scene reader reads
// text, the exporters are told where the textures are.
//
// The editor loads a 32-bit library, so the record's layout and the calling
// convention below are fixed by the editor, not by us.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/uReleasableBuffer.h"

class TScene;
class TXMLSceneReader;

#ifdef _WIN32
#define PLUGIN_STDCALL __stdcall
#else
#define PLUGIN_STDCALL
#endif

// Exchanged with the editor's callback, once to learn the size of its reply
// (Stage 0) and once to receive the reply (Stage 1).
struct TCallbackData {
  int32_t Stage;
  char* Request;    // our zero-terminated request text, copied fresh for each call
  char* Reply;      // stage 0: null; stage 1: ReplySize zero bytes and one more zero byte
  int32_t ReplySize;  // stored by the editor in stage 0, unchanged by us for stage 1
};

#if UINTPTR_MAX == 0xFFFFFFFF
// The editor reads the record at these offsets; a different layout would make
// it write the reply size or the reply somewhere else.
static_assert(sizeof(TCallbackData) == 16);
static_assert(offsetof(TCallbackData, Stage) == 0);
static_assert(offsetof(TCallbackData, Request) == 4);
static_assert(offsetof(TCallbackData, Reply) == 8);
static_assert(offsetof(TCallbackData, ReplySize) == 12);
#endif

// Returns 0 for success, anything else is the editor's error code.
using TPluginCallback = int32_t(PLUGIN_STDCALL*)(TCallbackData*);

// The editor's callback; null until the editor hands one over, and null again
// when it switches requests off.
extern TPluginCallback HostCallback;

// The version of the editor's plug-in interface that our requests are written for.
inline constexpr std::string_view TarnixInterfaceVersion = "1.6";

// Sends one request document and returns the reply exactly as the editor
// delivered it: all the bytes it announced, trailing zero bytes included.
// Without a callback the reply is empty and nothing is called.
// Raises "Tarnix callback returned error code %d" when either call fails, and
// "Tarnix callback reported an invalid reply size %d" when the editor announces
// a negative size.
std::string SendHostRequest(std::string_view request);

// A reply as SendHostRequest receives it: its first Size bytes, followed by
// one zero byte more, in a buffer whose part already read can be given back.
struct THostReply {
  TReleasableBuffer Buffer;
  std::size_t Size = 0;
};
// SendHostRequest without the copy into a string, for the scene's reply,
// which is as large as the document: with the same errors, and raising
// "The editor's reply of %d bytes does not fit into the memory left to the
// plug-in." when there is no room for it.
THostReply ReceiveHostReply(std::string_view request);

// `<request version="1.6">` holding one empty element for each name, each with
// the same attributes, written the way the editor expects: no declaration line.
std::string BuildHostRequest(std::initializer_list<std::string_view> childNames,
                             std::initializer_list<std::pair<std::string_view, std::string_view>> childAttributes = {});

// The editor's install directory as it names it, or "" when its reply names none.
std::string GetInstallDirectory();

// The editor's settings file inside the given directory. The directory is used
// as it is: one already ending in a separator gets a second one.
std::string HostSettingsFile(std::string_view installDirectory);

// Asks the editor for its whole scene (materials, primitives and lights) and
// reads the reply with `reader`, whose scale and progress apply.
std::unique_ptr<TScene> RequestScene(TXMLSceneReader& reader);

// The texture directory configured in the editor's settings file (section
// "Dirs", key "texturefiles"), unchanged; "" when it is not configured.
std::string GetTextureDirectory();

