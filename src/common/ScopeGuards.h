#pragma once
// Runs an action when a scope ends normally, not while an exception unwinds
// it. The method-logging guard builds on it: the leave record of a method
// that raised is skipped.

#include <exception>
#include <utility>

template <class TAction> class TOnNormalExit {
public:
  explicit TOnNormalExit(TAction AAction)
      : FAction(std::move(AAction)), FUncaught(std::uncaught_exceptions()) {}
  TOnNormalExit(const TOnNormalExit&) = delete;
  TOnNormalExit& operator=(const TOnNormalExit&) = delete;
  ~TOnNormalExit() noexcept(false) {
    if (std::uncaught_exceptions() <= FUncaught)
      FAction();
  }

private:
  TAction FAction;
  int FUncaught;
};
