#pragma once
// The management-instrumentation port over COM. Until WMI itself is wired
// in, the local locator with no provider answers: every class is unknown.

#include "platform/Wmi.h"

class WindowsWmi : public TLocalWmi {};
