#pragma once
// The registry port over advapi32. Until the system's registry is wired in,
// an empty hive answers: every key is missing.

#include "platform/RegFile.h"

#include <memory>

#include "platform/PortNamesBegin.h"

class WindowsRegistry : public THiveRegistry {
public:
  WindowsRegistry() : THiveRegistry(std::make_shared<TRegHive>()) {}
};

#include "platform/PortNamesEnd.h"
