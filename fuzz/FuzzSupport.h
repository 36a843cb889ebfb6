#pragma once
// What every fuzz target shares: the input as text, and a way to stop the run
// with a message when a property fails (libFuzzer keeps the input that did it).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

inline std::string_view FuzzText(const uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A failed property is a finding like a crash: report it and abort, so that
// libFuzzer saves the input as a crash artifact.
[[noreturn]] inline void FuzzFailure(const std::string& what) {
  std::fprintf(stderr, "fuzz property failed: %s\n", what.c_str());
  std::abort();
}

inline void FuzzCheck(bool condition, const std::string& what) {
  if (!condition) FuzzFailure(what);
}
