#pragma once
// The registry port over advapi32: the system's registry, its views as the
// caller's access mask asks for them, and the system's error codes as they
// come.

#include "platform/Registry.h"

#include "platform/PortNamesBegin.h"

class WindowsRegistry : public IRegistry {
public:
  // A value larger than this is not read (ERROR_MORE_DATA): the program reads
  // configuration and device values of a few bytes, and a value that keeps
  // growing must not take the memory with it.
  static constexpr qsizetype MaxValueBytes = 32 * 1024 * 1024;

  LONG OpenKey(TRegHandle AKey, const QString& ASubKey, REGSAM ASamDesired,
               TRegHandle& AResult) override;
  LONG CloseKey(TRegHandle AKey) override;
  LONG QueryValue(TRegHandle AKey, const QString& AValueName, TRegValue& AValue) override;
  LONG EnumKey(TRegHandle AKey, DWORD AIndex, QString& AName) override;
  LONG EnumValue(TRegHandle AKey, DWORD AIndex, QString& AName) override;
  LONG QueryInfoKey(TRegHandle AKey, TRegKeyInfo& AInfo) override;
};

#include "platform/PortNamesEnd.h"
