#pragma once
// The message of the error that a piece of code raises, or "no error".

#include <string>

#include "base/uException.h"

template <typename Action>
std::string ErrorOf(Action&& action) {
  try {
    action();
  } catch (const TException& e) {
    return e.Message();
  }
  return "no error";
}
