#pragma once
// The Linux backends of the ports.

#include "platform/Platform.h"
#include "platform/RegFile.h"
#include "platform/Wmi.h"
#include "platform/linux/LinuxNetApi.h"
#include "platform/linux/LinuxSockets.h"
#include "platform/linux/LinuxSystemInfo.h"

// The machine's registry: the hive of the machine file. The file is
// KELVANE_MACHINE_REG when set and not empty, otherwise
// /etc/kelvane/machine.reg; a missing file is an empty hive, and each
// malformed line is reported once on standard error. The platform is made on
// first use, so the file is read then, once per process.
class LinuxRegistry : public THiveRegistry {
public:
  // AMachineFile empty: the file named by the environment, as above.
  explicit LinuxRegistry(const QString& AMachineFile = {});

  static QString MachineFile();
};

class LinuxPlatform : public Platform {
public:
  LinuxPlatform();
  IRegistry& Registry() override { return FRegistry; }
  ISystemInfo& SystemInfo() override { return FSystemInfo; }
  // The classes this machine can answer are added as their providers arrive.
  IWmi& Wmi() override { return FWmi; }
  ISockets& Sockets() override { return FSockets; }
  INetBios& NetBios() override { return FNetBios; }
  INetApi& NetApi() override { return FNetApi; }
  IAccounts& Accounts() override { return FAccounts; }

private:
  LinuxNetBios FNetBios;
  LinuxNetApi FNetApi;
  LinuxAccounts FAccounts;
  LinuxSockets FSockets;
  TLocalWmi FWmi;
  LinuxRegistry FRegistry;
  LinuxSystemInfo FSystemInfo;
};
