#pragma once
// Parameter checks that stay compiled in every build. A failed check raises
// EAssertionFailed whose message is the text followed by the source file and
// line, e.g. "AName is empty (src/logging/MorvelDebug.cpp, line 42)".

#include "Exceptions.h"

#include <source_location>
#include <version>

#if defined(__cpp_lib_source_location)
using TSourceLocation = std::source_location;
#else
// clang 14 over this standard library has no std::source_location (the
// fuzz build); its builtins give the same two facts.
struct TSourceLocation {
  static constexpr TSourceLocation current(const char* AFile = __builtin_FILE(),
                                           unsigned ALine = __builtin_LINE()) {
    return TSourceLocation{AFile, ALine};
  }
  constexpr const char* file_name() const { return FFile; }
  constexpr unsigned line() const { return FLine; }
  const char* FFile;
  unsigned FLine;
};
#endif

QString AssertionMessage(const QString& AMessage, const TSourceLocation& ALocation);

[[noreturn]] void RaiseAssertion(const QString& AMessage, const TSourceLocation& ALocation);

inline void Assert(bool ACondition, const QString& AMessage,
                   const TSourceLocation ALocation = TSourceLocation::current()) {
  if (!ACondition) [[unlikely]]
    RaiseAssertion(AMessage, ALocation);
}
