#pragma once
// In-memory backends for tests. Registry contents are stated as .reg text,
// the same syntax the Linux backend reads from the machine file.

#include "platform/Platform.h"
#include "platform/Registry.h"

#include <memory>

class TRegHive;

class FakeRegistry : public IRegistry {
public:
  FakeRegistry();
  explicit FakeRegistry(const QString& ARegText);
  ~FakeRegistry() override;

  // Applies ARegText on top of what the hive holds; returns the warnings the
  // reader gave for malformed lines ("<source>:<line>: <reason>").
  QStringList Load(const QString& ARegText, const QString& ASourceName = QStringLiteral("fake.reg"));
  void Clear();

  LONG OpenKey(HKEY AKey, const QString& ASubKey, REGSAM ASamDesired, HKEY& AResult) override;
  LONG CloseKey(HKEY AKey) override;
  LONG QueryValue(HKEY AKey, const QString& AValueName, TRegValue& AValue) override;
  LONG EnumKey(HKEY AKey, DWORD AIndex, QString& AName) override;
  LONG EnumValue(HKEY AKey, DWORD AIndex, QString& AName) override;
  LONG QueryInfoKey(HKEY AKey, TRegKeyInfo& AInfo) override;

private:
  std::unique_ptr<IRegistry> FImpl;
  TRegHive* FHive;
};

class FakePlatform : public Platform {
public:
  FakePlatform();
  explicit FakePlatform(const QString& ARegText);
  ~FakePlatform() override;

  IRegistry& Registry() override { return FRegistry; }
  FakeRegistry& FakeReg() { return FRegistry; }

private:
  FakeRegistry FRegistry;
};
