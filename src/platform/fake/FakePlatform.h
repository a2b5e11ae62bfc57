#pragma once
// In-memory backends for tests. Registry contents are stated as .reg text,
// the same syntax the Linux backend reads from the machine file; the header
// line may be left out.

#include "platform/Platform.h"
#include "platform/RegFile.h"

#include <memory>

class FakeRegistry : public THiveRegistry {
public:
  FakeRegistry();
  explicit FakeRegistry(const QString& ARegText);

  // Applies ARegText on top of what the hive holds; returns the warnings the
  // reader gave for malformed lines ("<source>:<line>: <reason>").
  QStringList Load(const QString& ARegText,
                   const QString& ASourceName = QStringLiteral("fake.reg"));
  void Clear() { Hive().Clear(); }
};

class FakePlatform : public Platform {
public:
  FakePlatform() = default;
  explicit FakePlatform(const QString& ARegText) : FRegistry(ARegText) {}

  IRegistry& Registry() override { return FRegistry; }
  FakeRegistry& FakeReg() { return FRegistry; }

private:
  FakeRegistry FRegistry;
};
