#pragma once
// Runs a piece of code on a thread with a stack of a given size, as the
// plug-in runs on the editor's thread: a 32-bit Windows thread has 1 MB. An
// error raised there is raised again here; a stack overflow ends the test
// program, which is what a test of it must prove cannot happen.

#include <pthread.h>

#include <cstddef>
#include <exception>
#include <functional>
#include <stdexcept>

inline void RunOnStack(std::size_t stackBytes, const std::function<void()>& action) {
  struct TJob {
    const std::function<void()>* Action;
    std::exception_ptr Error;
  } job{&action, nullptr};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, stackBytes);
  pthread_t thread;
  const int created = pthread_create(
      &thread, &attributes,
      [](void* argument) -> void* {
        auto* running = static_cast<TJob*>(argument);
        try {
          (*running->Action)();
        } catch (...) {
          running->Error = std::current_exception();
        }
        return nullptr;
      },
      &job);
  pthread_attr_destroy(&attributes);
  if (created != 0) throw std::runtime_error("cannot start a thread");
  pthread_join(thread, nullptr);
  if (job.Error) std::rethrow_exception(job.Error);
}
