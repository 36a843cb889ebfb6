// Loses a block on purpose. The test suite runs this program to prove that
// LeakSanitizer watches every test program: if it is not active (switched off
// in the environment, or not supported where the tests run), no report comes
// and that test fails instead of every leak passing unseen.

#include <cstdio>
#include <memory>

namespace {
// Volatile, so that neither the store nor the loss of the pointer is optimized away.
char* volatile Lost = nullptr;
}  // namespace

int main() {
  Lost = std::make_unique<char[]>(4096).release();
  Lost = nullptr;
  std::puts("leak probe: one block of 4096 bytes lost");
  return 0;
}
