// pugixml-parse FILE [RUNS]
// The yardstick of a fast DOM parser: parses FILE with pugixml RUNS times (3
// by default), each time from a fresh copy of the text already in memory, and
// prints the median wall and CPU seconds of the parse alone and the best
// (smallest) wall time of the runs as "wall=S cpu=S best=S bytes=N". Only the
// benchmark script uses it.

#include <pugixml.hpp>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {
double Seconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: pugixml-parse FILE [RUNS]\n");
    return 2;
  }
  const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 3;
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "pugixml-parse: cannot open %s\n", argv[1]);
    return 1;
  }
  const std::vector<char> text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<double> wall, cpu;
  for (int run = 0; run < runs; ++run) {
    std::vector<char> copy(text);
    pugi::xml_document document;
    const double wallStart = Seconds(CLOCK_MONOTONIC), cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    const pugi::xml_parse_result result = document.load_buffer_inplace(copy.data(), copy.size());
    wall.push_back(Seconds(CLOCK_MONOTONIC) - wallStart);
    cpu.push_back(Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart);
    if (!result) {
      std::fprintf(stderr, "pugixml-parse: %s at offset %td\n", result.description(), result.offset);
      return 1;
    }
  }
  std::printf("wall=%.4f cpu=%.4f best=%.4f bytes=%zu\n", Median(wall), Median(cpu),
              *std::min_element(wall.begin(), wall.end()), text.size());
  return 0;
}
