#pragma once
// The one error type of every layer: an exception that carries a message text.
// Lower layers raise it; only the dialog and the command line show the message.

#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>

class TException : public std::exception {
public:
  explicit TException(std::string message) : FMessage(std::move(message)) {}

  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

private:
  std::string FMessage;
};

// Replaces each "%s" or "%d" of the pattern, in order, by the next argument;
// "%%" gives "%". Missing arguments leave the placeholder empty. Messages name
// user data, so the arguments are never interpreted as patterns themselves.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);

// The text with its line breaks, zero bytes and other control characters
// (but tabs) shown as "\r", "\n", "\0" and "\xNN", so that a message naming
// it stays on one line.
std::string VisibleText(std::string_view text);

[[noreturn]] void RaiseError(std::string_view pattern, std::initializer_list<std::string_view> args = {});

// "List index out of bounds (%d)": every list of the system reports an index
// outside it with these words.
[[noreturn]] void RaiseListIndexError(long long index);
