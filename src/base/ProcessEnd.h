#pragma once
// Objects kept to the end of the process and never destroyed. A process that
// ends right after its work (the command line's one export) gets the memory
// of a scene's millions of small blocks back from the system at once, sooner
// than by freeing them one by one. What is kept stays reachable, so leak
// checkers do not report it. Safe to call on any thread.

#include <memory>

void KeepToProcessEnd(std::shared_ptr<const void> object);

template <typename T>
void KeepToProcessEnd(std::unique_ptr<T> object) {
  KeepToProcessEnd(std::shared_ptr<const void>(std::move(object)));
}
