#pragma once
// Runs a function at the end of a scope, whatever way it is left.

#include <utility>

template <typename F>
class TFinally {
public:
  explicit TFinally(F action) : FAction(std::move(action)) {}
  ~TFinally() { FAction(); }
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;

private:
  F FAction;
};
