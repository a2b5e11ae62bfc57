#pragma once
// The Linux backends of the ports.

#include "platform/Platform.h"
#include "platform/RegFile.h"
#include "platform/Wmi.h"
#include "platform/linux/LinuxIpHelper.h"
#include "platform/linux/LinuxNetApi.h"
#include "platform/linux/LinuxSockets.h"
#include "platform/linux/LinuxSystemInfo.h"

// The machine's registry: the system view (see SystemView.h) with the
// machine file applied on top, so the file adds to the view and overrides
// it. The file is KELVANE_MACHINE_REG when set and not empty, otherwise
// /etc/kelvane/machine.reg; a missing file adds nothing, and each malformed
// line is reported once on standard error. The view is read below
// KELVANE_SYSTEM_ROOT when set and not empty, otherwise below "/", so that
// end-to-end tests can show the program a machine of their own. The
// platform is made on first use, so both are read then, once per process.
class LinuxRegistry : public THiveRegistry {
public:
  // Either argument empty: taken from the environment, as above.
  explicit LinuxRegistry(const QString& AMachineFile = {}, const QString& ASystemRoot = {});

  static QString MachineFile();
  static QString SystemRoot();
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
  IIpHelper& IpHelper() override { return FIpHelper; }

private:
  LinuxNetBios FNetBios;
  LinuxNetApi FNetApi;
  LinuxAccounts FAccounts;
  LinuxIpHelper FIpHelper;
  LinuxSockets FSockets;
  TLocalWmi FWmi;
  LinuxRegistry FRegistry;
  LinuxSystemInfo FSystemInfo;
};
