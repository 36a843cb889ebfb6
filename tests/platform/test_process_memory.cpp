#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/uProcessMemory.h"

// Both do something only on Linux with glibc; elsewhere there is nothing to see.
#if defined(__linux__) && defined(__GLIBC__)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {
constexpr std::size_t kMegabyte = 1024 * 1024;

// The process's resident memory, from the system's own count.
std::size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// The process's state letter ('S' sleeping, 'Z' ended but not collected),
// or 0 once it is gone.
char ProcessState(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return 0;
  const std::size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : 0;
}

std::vector<pid_t> ChildrenOf(pid_t pid) {
  std::ifstream list("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
  std::vector<pid_t> children;
  for (pid_t child; list >> child;) children.push_back(child);
  return children;
}

std::vector<std::string> OpenFilesOf(pid_t pid) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd"))
    files.push_back(std::filesystem::read_symlink(entry.path()).string());
  return files;
}

std::string ReadToEnd(int fd) {
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  return text;
}

// Waits, within a bound far beyond any delay, for a state that must come.
template <typename Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 3000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}
}  // namespace

// A process that asks for it ends with its own status and its whole output,
// and a helper holds its memory from then until it has ended: sharing no file
// with it, so that whoever reads its output sees the end at once.
TEST(ProcessMemory, ReleasedAfterTheProcessEndsWithItsOwnStatusAndOutput) {
  int output[2], go[2];
  ASSERT_EQ(pipe(output), 0);
  ASSERT_EQ(pipe(go), 0);
  const pid_t worker = fork();
  ASSERT_GE(worker, 0);
  if (worker == 0) {
    dup2(output[1], STDOUT_FILENO);
    close(output[0]);
    close(output[1]);
    close(go[1]);
    std::vector<char> memory(16 * kMegabyte, 1);  // memory in use at the end
    std::printf("before|");
    std::fflush(stdout);
    ReleaseMemoryAfterExit();
    std::printf("after %d", memory[kMegabyte]);
    char byte;
    if (read(go[0], &byte, 1) < 0) _exit(90);  // stays until the test has looked
    std::exit(7);                                // stdio flushed on the way out
  }
  close(output[1]);
  close(go[0]);

  std::vector<pid_t> helpers;
  std::vector<std::string> files;
  const bool helperFound = Eventually([&] { return !(helpers = ChildrenOf(worker)).empty(); });
  const pid_t helper = helperFound ? helpers.front() : -1;
  const bool onlyItsPipe = helperFound && Eventually([&] { return (files = OpenFilesOf(helper)).size() == 1; });
  // Waits while the process lives (it may still be on its way there).
  const bool waiting = onlyItsPipe && Eventually([&] { return ProcessState(helper) == 'S'; });
  if (!onlyItsPipe) {
    // A helper holding the process's files would keep both waiting for ever.
    if (helperFound) kill(helper, SIGKILL);
    kill(worker, SIGKILL);
    waitpid(worker, nullptr, 0);
  }
  ASSERT_TRUE(helperFound);
  EXPECT_EQ(helpers.size(), 1u);
  EXPECT_TRUE(waiting) << ProcessState(helper);
  ASSERT_TRUE(onlyItsPipe) << files.size() << " files open";
  EXPECT_EQ(files.front().rfind("pipe:", 0), 0u) << files.front();

  close(go[1]);
  const std::string text = ReadToEnd(output[0]);
  close(output[0]);
  int status = 0;
  ASSERT_EQ(waitpid(worker, &status, 0), worker);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 7);
  EXPECT_EQ(text, "before|after 1");
  // Adopted elsewhere once the process is gone, it ends too.
  EXPECT_TRUE(Eventually([&] {
    const char state = ProcessState(helper);
    return state == 0 || state == 'Z';
  }));
}

// Preparing the heaps reserves room only: the process uses no more memory
// for it, even once threads have made their heaps, and blocks of every size
// hold what is written into them.
TEST(ProcessMemory, PreparedHeapsUseNoMemoryUntilWritten) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const std::size_t before = ResidentBytes();
    PrepareHeaps();
    if (ResidentBytes() > before + 8 * kMegabyte) _exit(1);
    // Four threads' heaps of 64 MB each, and the main one grown by as much.
    std::vector<std::thread> makers;
    for (int t = 0; t < 4; ++t) makers.emplace_back([] { std::free(std::malloc(64)); });
    for (std::thread& maker : makers) maker.join();
    std::free(std::malloc(1024 * 1024));
    if (ResidentBytes() > before + 16 * kMegabyte) _exit(1);
    // Blocks of many sizes on several threads, each still holding what was
    // written into it once all are made.
    std::vector<std::thread> threads;
    std::vector<char> intact(4, 0);
    for (std::size_t t = 0; t < 4; ++t)
      threads.emplace_back([&intact, t] {
        std::vector<std::unique_ptr<char[]>> blocks;
        for (std::size_t b = 0; b < 2000; ++b) {
          blocks.emplace_back(new char[4096 + b * 64]);
          std::memset(blocks.back().get(), static_cast<int>(b & 0x7F), 4096 + b * 64);
        }
        bool all = true;
        for (std::size_t b = 0; b < blocks.size(); ++b) all = all && blocks[b][4095 + b * 64] == static_cast<char>(b & 0x7F);
        intact[t] = all;
      });
    for (std::thread& thread : threads) thread.join();
    for (const char each : intact)
      if (!each) _exit(2);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: memory used by preparing; 2: blocks written wrong";
}

#endif
