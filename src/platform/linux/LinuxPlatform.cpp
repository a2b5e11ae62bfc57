#include "platform/linux/LinuxPlatform.h"

#include <cstdio>
#include <cstdlib>

LinuxRegistry::LinuxRegistry(QString AMachineFile) : FMachineFile(std::move(AMachineFile)) {}

LinuxRegistry::~LinuxRegistry() = default;

QString LinuxRegistry::MachineFile() {
  const QString FromEnvironment = qEnvironmentVariable("KELVANE_MACHINE_REG");
  return FromEnvironment.isEmpty() ? QStringLiteral("/etc/kelvane/machine.reg") : FromEnvironment;
}

IRegistry& LinuxRegistry::loaded() {
  std::call_once(FLoaded, [this] {
    auto Hive = std::make_shared<TRegHive>();
    const QString File = FMachineFile.isEmpty() ? MachineFile() : FMachineFile;
    for (const QString& Warning : Hive->ApplyFile(File))
      std::fprintf(stderr, "kelvane: %s\n", qPrintable(Warning));
    FHive = std::make_unique<THiveRegistry>(std::move(Hive));
  });
  return *FHive;
}

LONG LinuxRegistry::OpenKey(HKEY AKey, const QString& ASubKey, REGSAM ASamDesired, HKEY& AResult) {
  return loaded().OpenKey(AKey, ASubKey, ASamDesired, AResult);
}
LONG LinuxRegistry::CloseKey(HKEY AKey) {
  return loaded().CloseKey(AKey);
}
LONG LinuxRegistry::QueryValue(HKEY AKey, const QString& AValueName, TRegValue& AValue) {
  return loaded().QueryValue(AKey, AValueName, AValue);
}
LONG LinuxRegistry::EnumKey(HKEY AKey, DWORD AIndex, QString& AName) {
  return loaded().EnumKey(AKey, AIndex, AName);
}
LONG LinuxRegistry::EnumValue(HKEY AKey, DWORD AIndex, QString& AName) {
  return loaded().EnumValue(AKey, AIndex, AName);
}
LONG LinuxRegistry::QueryInfoKey(HKEY AKey, TRegKeyInfo& AInfo) {
  return loaded().QueryInfoKey(AKey, AInfo);
}
