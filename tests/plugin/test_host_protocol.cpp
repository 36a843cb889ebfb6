#include <gtest/gtest.h>

#include "../support/AddressSpace.h"
#include "../support/ErrorOf.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "base/uException.h"
#include "host/uPlugin.h"
#include "scene/uXMLSceneReader.h"
#include "xml/uXMLReader.h"

namespace {

// What the fake editor saw on entry to one call.
struct TSeenCall {
  int32_t Stage;
  std::string Request;     // read up to the zero byte: ASan objects if there is none
  bool ReplyWasNull;
  int32_t ReplySize;
  std::string ReplyBuffer;  // stage 1: the ReplySize + 1 bytes it was given
  const char* ReplyAddress;  // stage 1: where it was told to write
};

// How the fake editor answers. It stores AnnouncedSize in stage 0 and copies
// Delivered into the reply buffer in stage 1.
struct THostScript {
  std::string Delivered;
  int32_t AnnouncedSize = 0;
  int32_t Results[2] = {0, 0};
  bool ScribbleOnRequest = false;     // overwrite the request text it was given
  bool ChangeSizeInStageOne = false;  // store SizeInStageOne during stage 1
  int32_t SizeInStageOne = 0;
};

std::vector<TSeenCall> Calls;
THostScript Script;

int32_t PLUGIN_STDCALL FakeHost(TCallbackData* data) {
  TSeenCall seen{data->Stage, data->Request, data->Reply == nullptr, data->ReplySize, {}, data->Reply};
  if (data->Stage == 1 && data->Reply != nullptr && data->ReplySize >= 0)
    seen.ReplyBuffer.assign(data->Reply, static_cast<std::size_t>(data->ReplySize) + 1);
  Calls.push_back(seen);

  if (Script.ScribbleOnRequest) std::memset(data->Request, 'X', std::strlen(data->Request));
  if (data->Stage == 0) {
    data->ReplySize = Script.AnnouncedSize;
    return Script.Results[0];
  }
  std::copy(Script.Delivered.begin(), Script.Delivered.end(), data->Reply);
  if (Script.ChangeSizeInStageOne) data->ReplySize = Script.SizeInStageOne;
  return Script.Results[1];
}

// The editor delivers the text with a zero byte behind it, and counts that
// byte in the size it announces or not.
void Answer(const std::string& reply, bool countsTerminatingZero = false) {
  Script.Delivered = reply + '\0';
  Script.AnnouncedSize = static_cast<int32_t>(reply.size() + (countsTerminatingZero ? 1 : 0));
}

std::string Parsed(std::string_view reply) {
  auto root = TXMLStringReader(std::string(TrimHostReply(reply))).ReadRootNode();
  return std::string(root->Name());
}

constexpr const char* kInstallRequest = "<request version=\"1.6\">\r\n  <installdirectory />\r\n</request>";
constexpr const char* kNoData = "Could not read rootnode from xml: no data available.";

class HostFixture : public ::testing::Test {
protected:
  void SetUp() override {
    Calls.clear();
    Script = THostScript{};
    HostCallback = FakeHost;
  }
  void TearDown() override { HostCallback = nullptr; }
};

class SendHostRequestTest : public HostFixture {};
class InstallDirectory : public HostFixture {};
class TextureDirectory : public HostFixture {};

}  // namespace

// --- The two-stage exchange ------------------------------------------------

TEST_F(SendHostRequestTest, StageZeroAsksForTheSizeAndStageOneFillsTheBuffer) {
  Answer("<reply />");
  EXPECT_EQ(SendHostRequest("<request />"), "<reply />");

  ASSERT_EQ(Calls.size(), 2u);
  EXPECT_EQ(Calls[0].Stage, 0);
  EXPECT_TRUE(Calls[0].ReplyWasNull);
  EXPECT_EQ(Calls[0].ReplySize, 0);

  EXPECT_EQ(Calls[1].Stage, 1);
  EXPECT_FALSE(Calls[1].ReplyWasNull);
  EXPECT_EQ(Calls[1].ReplySize, 9);
  EXPECT_EQ(Calls[1].ReplyBuffer, std::string(10, '\0'));
}

TEST_F(SendHostRequestTest, EachCallGetsItsOwnZeroTerminatedCopyOfTheRequest) {
  // The editor scribbles over the text it is given; the second call must still
  // see the request, and the caller's text must stay as it was.
  Script.ScribbleOnRequest = true;
  Answer("<r/>");
  const std::string request = "<request version=\"1.6\">\r\n  <x />\r\n</request>";
  EXPECT_EQ(SendHostRequest(request), "<r/>");
  EXPECT_EQ(request, "<request version=\"1.6\">\r\n  <x />\r\n</request>");
  ASSERT_EQ(Calls.size(), 2u);
  EXPECT_EQ(Calls[0].Request, request);
  EXPECT_EQ(Calls[1].Request, request);
}

TEST_F(SendHostRequestTest, AnEmptyReplyStillGetsStageOneWithASingleZeroByte) {
  Answer("");
  EXPECT_EQ(SendHostRequest("<request />"), "");
  ASSERT_EQ(Calls.size(), 2u);
  EXPECT_EQ(Calls[1].Stage, 1);
  EXPECT_FALSE(Calls[1].ReplyWasNull);
  EXPECT_EQ(Calls[1].ReplySize, 0);
  EXPECT_EQ(Calls[1].ReplyBuffer, std::string(1, '\0'));
}

TEST_F(SendHostRequestTest, ReplyComesBackWithAllAnnouncedBytesWhetherTheZeroIsCountedOrNot) {
  const std::string document = "\r\n <reply>\r\n  <a />\r\n</reply>\r\n";

  Answer(document, true);
  const std::string counted = SendHostRequest("<request />");
  EXPECT_EQ(counted, document + '\0');
  EXPECT_EQ(Parsed(counted), "reply");

  Calls.clear();
  Answer(document, false);
  const std::string uncounted = SendHostRequest("<request />");
  EXPECT_EQ(uncounted, document);
  EXPECT_EQ(Parsed(uncounted), "reply");
  // This editor writes its zero into the spare byte behind the announced size.
  ASSERT_EQ(Calls.size(), 2u);
  EXPECT_EQ(Calls[1].ReplyBuffer.size(), document.size() + 1);
}

TEST_F(SendHostRequestTest, ASizeChangedDuringStageOneIsIgnored) {
  // The buffer was made for the size announced in stage 0; a larger size
  // stored afterwards must not make us read past it, a smaller one not cut it.
  Answer("<abc/>");
  Script.ChangeSizeInStageOne = true;
  Script.SizeInStageOne = 100000;
  EXPECT_EQ(SendHostRequest("<request />"), "<abc/>");
  Script.SizeInStageOne = 2;
  EXPECT_EQ(SendHostRequest("<request />"), "<abc/>");
}

TEST_F(SendHostRequestTest, TheSceneReplyIsHandedBackInTheBufferTheEditorFilled) {
  // A scene reply is as large as the document: a copy of it on the way back
  // would need its size again in the editor's address space.
  const std::string document = "<reply>" + std::string(4096, 'x') + "</reply>";
  Answer(document);
  const THostReply reply = ReceiveHostReply("<request />");
  ASSERT_EQ(reply.Size, document.size());
  EXPECT_EQ(std::string_view(reply.Buffer.Data(), reply.Size), document);
  EXPECT_EQ(reply.Buffer.Data()[reply.Size], 0) << "the spare zero byte";
  ASSERT_EQ(Calls.size(), 2u);
  EXPECT_EQ(static_cast<const void*>(reply.Buffer.Data()), static_cast<const void*>(Calls[1].ReplyAddress));
}

TEST_F(SendHostRequestTest, FailingStageZeroReportsItsCodeAndSkipsStageOne) {
  Answer("<r/>");
  Script.Results[0] = 5;
  EXPECT_EQ(ErrorOf([] { SendHostRequest("<request />"); }), "Tarnix callback returned error code 5");
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].Stage, 0);
}

TEST_F(SendHostRequestTest, FailingStageOneReportsItsCode) {
  Answer("<r/>");
  Script.Results[1] = -3;
  EXPECT_EQ(ErrorOf([] { SendHostRequest("<request />"); }), "Tarnix callback returned error code -3");
  EXPECT_EQ(Calls.size(), 2u);
}

TEST_F(SendHostRequestTest, NegativeAnnouncedSizeIsAnErrorWithoutStageOne) {
  Script.AnnouncedSize = -1;
  EXPECT_EQ(ErrorOf([] { SendHostRequest("<request />"); }), "Tarnix callback reported an invalid reply size -1");
  Script.AnnouncedSize = INT32_MIN;
  EXPECT_EQ(ErrorOf([] { SendHostRequest("<request />"); }),
            "Tarnix callback reported an invalid reply size -2147483648");
  EXPECT_EQ(Calls.size(), 2u);  // one stage 0 call for each request
  for (const TSeenCall& call : Calls) EXPECT_EQ(call.Stage, 0);
}

TEST_F(SendHostRequestTest, AReplyLargerThanTheMemoryLeftIsTheExportsOwnErrorWithoutStageOne) {
  // Only a 32-bit process is sure to have no room for the largest reply an
  // editor can announce; a 64-bit one would take it.
  if (sizeof(void*) > 4) GTEST_SKIP() << "a 64-bit process can hold a reply of 2 GiB";
  Script.AnnouncedSize = INT32_MAX;
  EXPECT_EQ(ErrorOf([] { SendHostRequest("<request />"); }),
            "The editor's reply of 2147483647 bytes does not fit into the memory left to the plug-in.");
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].Stage, 0);
}

TEST_F(SendHostRequestTest, WithoutCallbackTheReplyIsEmptyAndTheParseFails) {
  HostCallback = nullptr;
  Answer("<r/>");
  EXPECT_EQ(SendHostRequest("<request />"), "");
  EXPECT_EQ(ErrorOf([] { GetInstallDirectory(); }), kNoData);
  EXPECT_TRUE(Calls.empty());
}

// --- Shared request conventions -------------------------------------------

TEST(HostReply, RequestsHaveTheVersionedRootAndNoDeclaration) {
  EXPECT_EQ(BuildHostRequest({"installdirectory"}), kInstallRequest);
  EXPECT_EQ(BuildHostRequest({"materials", "primitives", "lights"}, {{"subset", "all"}}),
            "<request version=\"1.6\">\r\n"
            "  <materials subset=\"all\" />\r\n"
            "  <primitives subset=\"all\" />\r\n"
            "  <lights subset=\"all\" />\r\n"
            "</request>");
}

// --- Install directory -----------------------------------------------------

TEST_F(InstallDirectory, SendsTheInstallDirectoryRequest) {
  Answer("<reply><installdirectory>C:\\Tarnix</installdirectory></reply>");
  EXPECT_EQ(GetInstallDirectory(), "C:\\Tarnix");
  ASSERT_EQ(Calls.size(), 2u);
  EXPECT_EQ(Calls[0].Request, kInstallRequest);
  EXPECT_EQ(Calls[1].Request, kInstallRequest);
}

TEST_F(InstallDirectory, TheLastMatchingChildOfTheRootWins) {
  Answer("\r\n<reply>\r\n  <installdirectory>C:\\First</installdirectory>\r\n  <other>x</other>\r\n"
         "  <installdirectory>D:\\Second\\</installdirectory>\r\n</reply>\r\n",
         true);
  EXPECT_EQ(GetInstallDirectory(), "D:\\Second\\");
}

TEST_F(InstallDirectory, ElementNamesMatchInAnyLetterCase) {
  Answer("<Reply><InstallDirectory>C:\\Tarnix</InstallDirectory></Reply>");
  EXPECT_EQ(GetInstallDirectory(), "C:\\Tarnix");
}

TEST_F(InstallDirectory, OnlyTheRootsOwnChildrenCount) {
  Answer("<reply><other /></reply>");
  EXPECT_EQ(GetInstallDirectory(), "");
  Answer("<installdirectory>C:\\Root</installdirectory>");
  EXPECT_EQ(GetInstallDirectory(), "");
  Answer("<reply><group><installdirectory>C:\\Nested</installdirectory></group></reply>");
  EXPECT_EQ(GetInstallDirectory(), "");
}

TEST_F(InstallDirectory, HostAndReaderErrorsPassUnchanged) {
  Answer("<reply><installdirectory>C:\\</reply>");
  EXPECT_EQ(ErrorOf([] { GetInstallDirectory(); }),
            "Opening tag \"installdirectory\" doesn't mach closing tag \"reply\" (1,37)");
  Answer("   ");
  EXPECT_EQ(ErrorOf([] { GetInstallDirectory(); }), kNoData);
  Script.Results[0] = 7;
  EXPECT_EQ(ErrorOf([] { GetInstallDirectory(); }), "Tarnix callback returned error code 7");
}

// --- Texture directory -----------------------------------------------------

TEST(HostSettings, FileNameFollowsTheDirectoryDirectly) {
#ifdef _WIN32
  EXPECT_EQ(HostSettingsFile("C:\\Tarnix"), "C:\\Tarnix\\Tarnix.ini");
  EXPECT_EQ(HostSettingsFile("C:\\Tarnix\\"), "C:\\Tarnix\\\\Tarnix.ini");
  EXPECT_EQ(HostSettingsFile(""), "\\Tarnix.ini");
#else
  EXPECT_EQ(HostSettingsFile("/opt/tarnix"), "/opt/tarnix/Tarnix.ini");
  EXPECT_EQ(HostSettingsFile("/opt/tarnix/"), "/opt/tarnix//Tarnix.ini");
  EXPECT_EQ(HostSettingsFile(""), "/Tarnix.ini");
#endif
}

TEST_F(TextureDirectory, ComesFromTheHostSettingsFileUnchanged) {
  TTempDir dir;
  TTempDir::Write(dir.File("Tarnix.ini"),
                  "[General]\r\ntexturefiles=wrong\r\n[Dirs]\r\nmeshfiles=C:\\Meshes\r\ntexturefiles=C:\\Textures\\\r\n");
  Answer("<reply><installdirectory>" + dir.Path().string() + "</installdirectory></reply>");
  EXPECT_EQ(GetTextureDirectory(), "C:\\Textures\\");

  // A separator already at the end of the directory doubles; the file is still found.
  Answer("<reply><installdirectory>" + dir.Path().string() + "/</installdirectory></reply>");
  EXPECT_EQ(GetTextureDirectory(), "C:\\Textures\\");
}

TEST_F(TextureDirectory, IsEmptyWhenNotConfigured) {
  TTempDir dir;
  TTempDir::Write(dir.File("Tarnix.ini"), "[Dirs]\r\nmeshfiles=C:\\Meshes\r\n");
  Answer("<reply><installdirectory>" + dir.Path().string() + "</installdirectory></reply>");
  EXPECT_EQ(GetTextureDirectory(), "");

  // No settings file in the directory.
  TTempDir empty;
  Answer("<reply><installdirectory>" + empty.Path().string() + "</installdirectory></reply>");
  EXPECT_EQ(GetTextureDirectory(), "");

  // No install directory: the settings file is looked for at the root.
  Answer("<reply />");
  std::string directory = "unset";
  EXPECT_EQ(ErrorOf([&] { directory = GetTextureDirectory(); }), "no error");
  EXPECT_EQ(directory, "");
}

TEST_F(TextureDirectory, HostErrorsPassUnchanged) {
  Script.Results[1] = 12;
  Answer("<reply />");
  EXPECT_EQ(ErrorOf([] { GetTextureDirectory(); }), "Tarnix callback returned error code 12");
}

// --- The scene request ---------------------------------------------------

namespace {
std::string gReply;
std::string gRequest;
const char* gReplyAddress = nullptr;

int32_t PLUGIN_STDCALL SceneHost(TCallbackData* data) {
  gRequest = data->Request;
  if (data->Stage == 0) {
    data->ReplySize = static_cast<int32_t>(gReply.size());
  } else {
    std::memcpy(data->Reply, gReply.data(), gReply.size());
    gReplyAddress = data->Reply;
  }
  return 0;
}
}  // namespace

TEST(SceneRequest, TheReplysAddressesAreGivenBackWhileTheSceneIsRead) {
  // The editor keeps its own copy of the document: in a 32-bit editor ours
  // must not stay whole beside it until the scene is read to its end.
  gReply = "<scene><lights>";
  for (int i = 0; i < 100000; ++i) {
    const std::string n = std::to_string(i);
    gReply += "<light id=\"l" + n + "\" type=\"point\" name=\"Lamp " + n +
              "\" range=\"300\" active=\"true\" intensity=\"100\">\r\n  <position x=\"" + n +
              ".5\" y=\"1.25\" z=\"-3\" />\r\n  <diffuse r=\"255\" g=\"160\" b=\"234\" />\r\n</light>\r\n";
  }
  gReply += "</lights></scene>";
  ASSERT_GT(gReply.size(), 16u * 1024 * 1024);
  HostCallback = SceneHost;
  TXMLSceneReader reader;
  bool freedBeforeTheEnd = false;
  reader.OnProgress = [&](int percent) {
    if (percent >= 90) freedBeforeTheEnd = freedBeforeTheEnd || IsAddressFree(gReplyAddress);
  };
  const auto scene = RequestScene(reader);
  HostCallback = nullptr;
  if (AddressesStayFreeAfterRelease) {
    EXPECT_TRUE(freedBeforeTheEnd) << "the reply's start was still in use near its end";
    EXPECT_TRUE(IsAddressFree(gReplyAddress + gReply.size() - 1)) << "the reply is freed once read";
  }
  ASSERT_EQ(scene->LightCount(), 100000);
  EXPECT_EQ(scene->GetLight(99999).Name, "Lamp 99999");
  EXPECT_EQ(scene->GetLight(99999).Position.X, 99999.5f);
  gReply.clear();
}

TEST(SceneRequest, AsksTheEditorForEverythingAndReadsTheReply) {
  gReply = "<scene><settings name=\"From host\" author=\"\" comments=\"\" shadowOpacity=\"1\" /></scene>";
  HostCallback = SceneHost;
  TXMLSceneReader reader;
  const auto scene = RequestScene(reader);
  HostCallback = nullptr;
  EXPECT_EQ(scene->Name, "From host");
  EXPECT_EQ(gRequest,
            "<request version=\"1.6\">\r\n  <materials subset=\"all\" />\r\n  <primitives subset=\"all\" />\r\n"
            "  <lights subset=\"all\" />\r\n</request>");
  EXPECT_EQ(ErrorOf([&] { RequestScene(reader); }), "Could not read rootnode from xml: no data available.")
      << "without a callback the reply is empty";
  // A host that writes its reply as a UTF-8 file would start it with a byte-order mark.
  gReply = "\xEF\xBB\xBF<scene><settings name=\"Marked\" author=\"\" comments=\"\" shadowOpacity=\"1\" /></scene>";
  HostCallback = SceneHost;
  const auto marked = RequestScene(reader);
  HostCallback = nullptr;
  EXPECT_EQ(marked->Name, "Marked");
}
