#include "ExportRun.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

#include "DialogDriver.h"
#include "EditorSide.h"
#include "ProcessMemory.h"
#include "ui/MainFmLayout.h"

namespace {

using namespace std::chrono_literals;

// What the driver saw of one export.
struct TOutcome {
  std::string Asset, Repository, Category, Scale;
  std::string Warnings = "none";
  std::string Error;
  std::chrono::duration<double> ExportTime{};
  bool Finished = false;  // the click's handler returned and the dialog closed
};

// How the plug-in's message box after an export begins when the export
// succeeded with warnings; every other message box is an error.
constexpr std::string_view kWarningsHeading = "The asset was exported with";

std::string FirstLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

// Reads and closes a message box of the UI thread, if one shows.
void AnswerAnyMessageBox(TOutcome& outcome) {
  HWND box = FindThreadWindow("#32770");
  if (box == nullptr) return;
  const std::string text = MessageBoxText(box);
  if (std::string_view(text).substr(0, kWarningsHeading.size()) == kWarningsHeading)
    outcome.Warnings = FirstLine(text);
  else if (outcome.Error.empty())
    outcome.Error = text.empty() ? "a message box without text" : text;
  CloseDialogWith(box, IDOK);
}

VOID CALLBACK ClickHandled(HWND, UINT, ULONG_PTR handled, LRESULT) { *reinterpret_cast<bool*>(handled) = true; }

bool DialogOpen(HWND form) { return IsWindow(form) && IsWindowVisible(form); }

// Fills the dialog, clicks OK and waits for the export's end. False when the
// export did not end in time: the UI thread is still busy in it.
bool DriveExport(const TExportRunOptions& options, TOutcome& outcome) {
  HWND form = nullptr;
  // A message box before the dialog is an error of the dialog's start.
  WaitUntil([&] {
    AnswerAnyMessageBox(outcome);
    return (form = FindThreadWindow(VELDARA_MAINFORM_CLASS)) != nullptr;
  }, 60s);
  if (form == nullptr) {
    outcome.Error = "the export dialog did not open";
    return true;
  }
  const TControls c = FindControls(form);
  SetText(c.edAssetName, options.Asset);
  SetText(c.edRepository, options.Repository);
  if (!options.Category.empty()) {
    const LRESULT index =
        Send(c.cbCategory, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(options.Category.c_str()));
    if (index >= 0) Send(c.cbCategory, CB_SETCURSEL, static_cast<WPARAM>(index));
  }
  if (!options.Scale.empty()) SetText(c.edScale, options.Scale);
  outcome.Asset = Text(c.edAssetName);
  outcome.Repository = Text(c.edRepository);
  outcome.Category = CategoryText(c.cbCategory);
  outcome.Scale = Text(c.edScale);
  if (!options.Category.empty() && outcome.Category != options.Category) {
    outcome.Error = "the dialog has no category \"" + options.Category + "\"";
    Click(c.btnCancel);
    return true;
  }

  // The export runs inside the click's handler, on the UI thread, for as
  // long as it takes; the callback tells this thread when the handler has
  // returned, and is delivered while this thread looks at its messages.
  bool handled = false;
  const auto start = std::chrono::steady_clock::now();
  SendMessageCallbackA(c.btnOK, BM_CLICK, 0, 0, ClickHandled, reinterpret_cast<ULONG_PTR>(&handled));
  const auto deadline = start + std::chrono::minutes(options.TimeoutMinutes);
  while (!handled && std::chrono::steady_clock::now() < deadline) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    AnswerAnyMessageBox(outcome);
    if (!handled) std::this_thread::sleep_for(50ms);
  }
  if (!handled) {
    outcome.ExportTime = std::chrono::steady_clock::now() - start;
    outcome.Error = "the export had not ended after " + std::to_string(options.TimeoutMinutes) + " minutes";
    return false;
  }
  outcome.ExportTime = std::chrono::steady_clock::now() - start;
  // A successful export has ended the modal loop: the dialog hides at once.
  WaitUntil([&] { return !DialogOpen(form); }, 10s);
  if (DialogOpen(form)) {
    // The dialog stays open after a failed export, with the reason in the
    // status line, unless a message box gave it already.
    const std::string status = StatusText(c.sbInfo);
    if (outcome.Error.empty()) outcome.Error = status.empty() ? "the dialog stayed open after OK" : status;
    Click(c.btnCancel);
    WaitUntil([&] { return !DialogOpen(form); });
  } else {
    outcome.Finished = true;
  }
  return true;
}

void Report(const TOutcome& outcome, const TMemoryFigures& memory) {
  const bool succeeded = outcome.Finished && outcome.Error.empty();
  std::printf("asset: %s\n", outcome.Asset.c_str());
  std::printf("repository: %s\n", outcome.Repository.c_str());
  std::printf("category: %s\n", outcome.Category.c_str());
  std::printf("scale: %s\n", outcome.Scale.c_str());
  std::printf("warnings: %s\n", outcome.Warnings.c_str());
  if (!outcome.Error.empty()) std::printf("error: %s\n", outcome.Error.c_str());
  std::printf("result: %s\n", succeeded ? "success" : "failure");
  std::printf("export-seconds: %.2f\n", outcome.ExportTime.count());
  std::printf("peak-working-set-bytes: %llu\n", static_cast<unsigned long long>(memory.PeakWorkingSet));
  std::printf("peak-private-bytes: %llu\n", static_cast<unsigned long long>(memory.PeakPrivate));
  std::printf("peak-address-space-used-bytes: %llu\n", static_cast<unsigned long long>(memory.PeakAddressSpaceUsed));
  std::printf("least-largest-free-bytes: %llu\n", static_cast<unsigned long long>(memory.LeastLargestFree));
  std::printf("address-space-bytes: %llu\n", static_cast<unsigned long long>(memory.AddressSpace));
  std::printf("large-address-aware: %s\n", IsLargeAddressAware() ? "yes" : "no");
  std::fflush(stdout);
}

}  // namespace

bool ParseExportRunOptions(int argc, char** argv, TExportRunOptions& options) {
  for (int i = 2; i < argc; i += 2) {
    const std::string name = argv[i];
    if (i + 1 >= argc) {
      std::fprintf(stderr, "tarnix-host: %s needs a value\n", name.c_str());
      return false;
    }
    const std::string value = argv[i + 1];
    if (name == "--scene") options.Scene = value;
    else if (name == "--install-dir") options.InstallDirectory = value;
    else if (name == "--repository") options.Repository = value;
    else if (name == "--asset") options.Asset = value;
    else if (name == "--category") options.Category = value;
    else if (name == "--scale") options.Scale = value;
    else if (name == "--memory-log") options.MemoryLog = value;
    else if (name == "--timeout-minutes") options.TimeoutMinutes = std::atoi(value.c_str());
    else {
      std::fprintf(stderr, "tarnix-host: unknown option %s\n", name.c_str());
      return false;
    }
  }
  if (options.Scene.empty() || options.InstallDirectory.empty() || options.Repository.empty() ||
      options.TimeoutMinutes <= 0) {
    std::fprintf(stderr,
                 "usage: tarnix-host --export-only --scene FILE --install-dir DIR --repository DIR [--asset NAME] "
                 "[--category NAME] [--scale TEXT] [--timeout-minutes N] [--memory-log FILE]\n");
    return false;
  }
  return true;
}

int RunExport(const TExportRunOptions& options) {
  try {
    if (!LoadSceneReply(options.Scene)) {
      std::fprintf(stderr, "tarnix-host: cannot read the scene %s\n", options.Scene.c_str());
      return 1;
    }
  } catch (const TSceneTooLarge&) {
    // Before the plug-in is even loaded: the report says so in words, so that
    // nobody takes it for the plug-in's failure.
    std::printf("result: the stand-in editor could not hold the scene\n");
    std::fflush(stdout);
    return 3;
  }
  gHost.InstallDirectory = options.InstallDirectory;
  gUiThread = GetCurrentThreadId();

  HMODULE plugin = LoadLibraryA("ExportVeldaraMesh.dll");
  const FARPROC initialize = plugin != nullptr ? GetProcAddress(plugin, "PluginInitialize") : nullptr;
  const FARPROC setCallback = plugin != nullptr ? GetProcAddress(plugin, "PluginSetCallback") : nullptr;
  const FARPROC execute = plugin != nullptr ? GetProcAddress(plugin, "PluginExecute") : nullptr;
  if (initialize == nullptr || setCallback == nullptr || execute == nullptr) {
    std::fprintf(stderr, "tarnix-host: ExportVeldaraMesh.dll does not load or lacks its exports\n");
    return 1;
  }
  HWND editor = CreateEditorWindow();
  ExportAs<void(__stdcall*)(HWND)>(initialize)(editor);
  ExportAs<void(__stdcall*)(TPluginCallback)>(setCallback)(HostCallbackFunction);

  std::FILE* log = options.MemoryLog.empty() ? nullptr : std::fopen(options.MemoryLog.c_str(), "w");
  TMemorySampler sampler(100ms, log);
  TOutcome outcome;
  std::thread driver([&] {
    if (DriveExport(options, outcome)) return;
    // The UI thread is still inside the export and PluginExecute will not
    // return: the figures so far are the result.
    Report(outcome, sampler.Stop());
    if (log != nullptr) std::fclose(log);
    ExitProcess(1);
  });
  ExportAs<void(__stdcall*)()>(execute)();
  driver.join();
  const TMemoryFigures memory = sampler.Stop();
  if (log != nullptr) std::fclose(log);

  if (outcome.Error.empty() && !gHost.ProtocolKept)
    outcome.Error = "the plug-in broke the request protocol: " + gHost.ProtocolProblem;
  if (outcome.Error.empty() && std::find(gHost.Requests.begin(), gHost.Requests.end(), kSceneRequest) == gHost.Requests.end())
    outcome.Error = "the plug-in did not ask for the scene";
  Report(outcome, memory);

  DestroyWindow(editor);
  FreeLibrary(plugin);
  return outcome.Finished && outcome.Error.empty() ? 0 : 1;
}
