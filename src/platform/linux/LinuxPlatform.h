#pragma once
// The Linux backends of the ports.

#include "platform/Platform.h"
#include "platform/RegFile.h"

#include <memory>
#include <mutex>

// The machine's registry: the hive of the machine file, read once on first
// use. The file is KELVANE_MACHINE_REG when set and not empty, otherwise
// /etc/kelvane/machine.reg; a missing file is an empty hive, and each
// malformed line is reported once on standard error.
class LinuxRegistry : public IRegistry {
public:
  // AMachineFile empty: the file named by the environment, as above.
  explicit LinuxRegistry(QString AMachineFile = {});
  ~LinuxRegistry() override;

  static QString MachineFile();

  LONG OpenKey(HKEY AKey, const QString& ASubKey, REGSAM ASamDesired, HKEY& AResult) override;
  LONG CloseKey(HKEY AKey) override;
  LONG QueryValue(HKEY AKey, const QString& AValueName, TRegValue& AValue) override;
  LONG EnumKey(HKEY AKey, DWORD AIndex, QString& AName) override;
  LONG EnumValue(HKEY AKey, DWORD AIndex, QString& AName) override;
  LONG QueryInfoKey(HKEY AKey, TRegKeyInfo& AInfo) override;

private:
  IRegistry& loaded();

  QString FMachineFile;
  std::once_flag FLoaded;
  std::unique_ptr<THiveRegistry> FHive;
};

class LinuxPlatform : public Platform {
public:
  IRegistry& Registry() override { return FRegistry; }

private:
  LinuxRegistry FRegistry;
};
