#include "logging/MorvelLoggerTypes.h"

// The facade converts its enumerations to the engine's by value.
static_assert(int(lvControl) == int(TLogLevel::Control));
static_assert(int(leCustom) == int(TLogEntryKind::Custom));
static_assert(int(leException) == int(TLogEntryKind::Exception));
static_assert(int(leWatch) == int(TLogEntryKind::Watch));
static_assert(int(leValue) == int(TLogEntryKind::Value));
