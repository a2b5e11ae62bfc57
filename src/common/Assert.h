#pragma once
// Parameter checks that stay compiled in every build. A failed check raises
// EAssertionFailed whose message is the text followed by the source file and
// line, e.g. "AName is empty (src/logging/MorvelDebug.cpp, line 42)".

#include "Exceptions.h"

#include <source_location>

QString AssertionMessage(const QString& AMessage, const std::source_location& ALocation);

[[noreturn]] void RaiseAssertion(const QString& AMessage, const std::source_location& ALocation);

inline void Assert(bool ACondition, const QString& AMessage,
                   const std::source_location ALocation = std::source_location::current()) {
  if (!ACondition) [[unlikely]]
    RaiseAssertion(AMessage, ALocation);
}
