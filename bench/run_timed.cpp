// run-timed RESULTS COMMAND [ARGUMENT...]
// Runs COMMAND and appends to the file RESULTS one line "WALL CPU PEAK": its
// wall time from start to end and its CPU time (user + system) in seconds,
// and its peak resident memory in kilobytes, as the system counted them for
// that process alone. A timer wrapped around a second program, GNU time
// inside bash's `time`, counted that program's own start (about a
// millisecond) with the command's. The command's output goes where this
// program's goes; its exit status is this program's, and a command that
// fails or is killed leaves no line. Only the benchmark script uses it.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace {
double Seconds(const timespec& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: run-timed RESULTS COMMAND [ARGUMENT...]\n");
    return 2;
  }
  timespec start{}, end{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t child = 0;
  const int error = posix_spawnp(&child, argv[2], nullptr, nullptr, argv + 2, environ);
  if (error != 0) {
    std::fprintf(stderr, "run-timed: cannot start %s: %s\n", argv[2], std::strerror(error));
    return 127;
  }
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0)
    if (errno != EINTR) {
      std::fprintf(stderr, "run-timed: %s\n", std::strerror(errno));
      return 1;
    }
  clock_gettime(CLOCK_MONOTONIC, &end);
  if (!WIFEXITED(status)) return 128 + WTERMSIG(status);
  if (WEXITSTATUS(status) != 0) return WEXITSTATUS(status);
  std::FILE* results = std::fopen(argv[1], "a");
  if (!results) {
    std::fprintf(stderr, "run-timed: cannot open %s: %s\n", argv[1], std::strerror(errno));
    return 1;
  }
  std::fprintf(results, "%.4f %.4f %ld\n", Seconds(end) - Seconds(start),
               Seconds(usage.ru_utime) + Seconds(usage.ru_stime), usage.ru_maxrss);
  return std::fclose(results) == 0 ? 0 : 1;
}
