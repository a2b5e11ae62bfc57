#include "platform/linux/LinuxPlatform.h"

#include "common/Diagnostics.h"
#include "platform/linux/LinuxNetworkAdapters.h"
#include "platform/linux/LinuxPing.h"
#include "platform/linux/SystemView.h"

namespace {
std::shared_ptr<TRegHive> machineHive(const QString& AMachineFile, const QString& ASystemRoot) {
  auto Hive = std::make_shared<TRegHive>();
  // Keys synthesized from the system belong here, before the file, so that
  // the administrator's file adds to them and overrides them.
  BuildSystemView(*Hive, ASystemRoot.isEmpty() ? LinuxRegistry::SystemRoot() : ASystemRoot);
  const QString File = AMachineFile.isEmpty() ? LinuxRegistry::MachineFile() : AMachineFile;
  for (const QString& Warning : Hive->ApplyFile(File))
    PrintDiagnostic(Warning);
  return Hive;
}
} // namespace

LinuxRegistry::LinuxRegistry(const QString& AMachineFile, const QString& ASystemRoot)
    : THiveRegistry(machineHive(AMachineFile, ASystemRoot)) {}

QString LinuxRegistry::MachineFile() {
  const QString FromEnvironment = qEnvironmentVariable("KELVANE_MACHINE_REG");
  return FromEnvironment.isEmpty() ? QStringLiteral("/etc/kelvane/machine.reg") : FromEnvironment;
}

QString LinuxRegistry::SystemRoot() {
  const QString FromEnvironment = qEnvironmentVariable("KELVANE_SYSTEM_ROOT");
  return FromEnvironment.isEmpty() ? QStringLiteral("/") : FromEnvironment;
}

LinuxPlatform::LinuxPlatform() {
  FWmi.AddProvider(std::make_unique<TLinuxPingStatusProvider>(FSockets));
  FWmi.AddProvider(std::make_unique<TLinuxNetworkAdapterConfigurationProvider>(FIpHelper));
  FWmi.AddProvider(std::make_unique<TMetaClassProvider>(
      std::vector<TWmiObject>{TLinuxNetworkAdapterConfigurationProvider::Definition()}));
}

Platform& DefaultPlatform() {
  static LinuxPlatform Linux;
  return Linux;
}
