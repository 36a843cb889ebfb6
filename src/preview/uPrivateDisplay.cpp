#include "preview/uPrivateDisplay.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/uException.h"

namespace {

// How long Xvfb may take to report its display: it starts in a fraction of a
// second, but a loaded machine may keep it waiting.
constexpr int kStartTimeoutMs = 20000;
// How long it may take to end after SIGTERM before it is killed.
constexpr auto kStopTimeout = std::chrono::seconds(3);

// The file that PATH finds for a program, empty when none; searched before the
// fork, as the child must not allocate.
std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = folders.find(':', start);
    std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (folder.empty()) folder = ".";
    const std::string candidate = folder + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    if (end == std::string::npos) return {};
    start = end + 1;
  }
}

// A file descriptor closed when it goes out of scope.
struct TFd {
  int Fd = -1;
  explicit TFd(int fd = -1) : Fd(fd) {}
  ~TFd() { Close(); }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  void Close() {
    if (Fd >= 0) close(Fd);
    Fd = -1;
  }
};

// What the server wrote on its standard output and error, for a message.
std::string ServerOutput(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n = 0;
  while ((n = pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0)
    text.append(buffer, static_cast<std::size_t>(n));
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  // Its last lines say why it stopped; its first ones are a banner.
  if (text.size() > 600) text = "..." + text.substr(text.size() - 600);
  return text;
}

std::string ExitText(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(status);
}

// Whether an X client can connect to the display, asked as OGRE will ask
// (Xlib's XOpenDisplay, loaded here so that the build needs no X headers):
// OGRE 1.12's GL render system crashes on a display it cannot open.
bool CanOpenDisplay(const std::string& name) {
  void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  if (!xlib) return true;  // then OGRE's render system cannot load either, and says so
  using TOpen = void* (*)(const char*);
  using TClose = int (*)(void*);
  const auto open = reinterpret_cast<TOpen>(dlsym(xlib, "XOpenDisplay"));
  const auto close = reinterpret_cast<TClose>(dlsym(xlib, "XCloseDisplay"));
  bool opened = true;
  if (open && close) {
    void* display = open(name.c_str());
    opened = display != nullptr;
    if (display) close(display);
  }
  dlclose(xlib);
  return opened;
}

}  // namespace

TPrivateDisplay::TPrivateDisplay() {
  if (const char* display = std::getenv("DISPLAY"); display && *display) {
    FName = display;
    if (!CanOpenDisplay(FName))
      RaiseError("Cannot open the display %s that DISPLAY names (unset DISPLAY to render on a private Xvfb).",
                 {FName});
    return;
  }
  const std::string xvfb = FindProgram("Xvfb");
  if (xvfb.empty())
    RaiseError("DISPLAY is not set and Xvfb was not found, so there is no display for OpenGL (install the package "
               "xvfb).");

  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) RaiseError("Cannot make a pipe for Xvfb: %s", {std::strerror(errno)});
  TFd reportRead(ends[0]), reportWrite(ends[1]);
  // The server's messages, kept in memory for an error message only.
  TFd output(memfd_create("Xvfb output", MFD_CLOEXEC));
  TFd nothing(open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (output.Fd < 0 || nothing.Fd < 0) RaiseError("Cannot prepare Xvfb's output: %s", {std::strerror(errno)});

  const std::string reportFd = std::to_string(reportWrite.Fd);
  // -displayfd: Xvfb takes the first free display number and writes it to
  // the descriptor once it accepts clients. A 24-bit screen, for GLX's
  // visuals; the preview draws into an off-screen target, so it can be small.
  std::vector<std::string> arguments = {xvfb, "-displayfd", reportFd, "-nolisten", "tcp", "-screen", "0", "640x480x24"};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child < 0) RaiseError("Cannot start Xvfb: %s", {std::strerror(errno)});
  if (child == 0) {
    // Only async-signal-safe calls until exec.
    if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent) _exit(127);
    if (dup2(nothing.Fd, 0) < 0 || dup2(output.Fd, 1) < 0 || dup2(output.Fd, 2) < 0) _exit(127);
    if (fcntl(reportWrite.Fd, F_SETFD, 0) != 0) _exit(127);  // the one descriptor it inherits
    execv(argv[0], argv.data());
    _exit(127);
  }
  FServer = child;
  reportWrite.Close();

  std::string report;
  std::string failure;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  while (failure.empty() && report.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      failure = "it reported no display within " + std::to_string(kStartTimeoutMs / 1000) + " seconds";
      break;
    }
    pollfd fd = {reportRead.Fd, POLLIN, 0};
    const int ready = poll(&fd, 1, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) failure = std::string("poll: ") + std::strerror(errno);
    if (ready <= 0) continue;
    char buffer[64];
    const ssize_t n = read(reportRead.Fd, buffer, sizeof buffer);
    if (n > 0) {
      report.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      // The pipe closed: the server ended before it reported.
      int status = 0;
      if (waitpid(FServer, &status, 0) == FServer) {
        failure = "it ended with " + ExitText(status);
        FServer = 0;
      } else {
        failure = "it ended";
      }
    }
  }
  const std::string number = report.substr(0, report.find('\n'));
  if (failure.empty() && (number.empty() || number.find_first_not_of("0123456789") != std::string::npos))
    failure = "it reported \"" + number + "\" as its display";
  if (!failure.empty()) {
    Stop();
    const std::string said = ServerOutput(output.Fd);
    RaiseError("DISPLAY is not set and the private Xvfb did not start: %s.%s",
               {failure, said.empty() ? std::string() : " Xvfb said: " + said});
  }
  FName = ":" + number;
  setenv("DISPLAY", FName.c_str(), 1);
}

TPrivateDisplay::~TPrivateDisplay() {
  if (FServer > 0) {
    unsetenv("DISPLAY");
    Stop();
  }
}

void TPrivateDisplay::Stop() noexcept {
  if (FServer <= 0) return;
  kill(FServer, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopTimeout;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(FServer, &status, WNOHANG);
    if (done == FServer || (done < 0 && errno != EINTR)) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(FServer, SIGKILL);
      while (waitpid(FServer, &status, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  FServer = 0;
}
