#pragma once
// The Linux backends of the ports, all answering from one snapshot of the
// machine (see LinuxFacts.h).

#include "platform/Platform.h"
#include "platform/RegFile.h"
#include "platform/Wmi.h"
#include "platform/linux/LinuxFacts.h"
#include "platform/linux/LinuxIpHelper.h"
#include "platform/linux/LinuxNetApi.h"
#include "platform/linux/LinuxSockets.h"
#include "platform/linux/LinuxSystemInfo.h"

#include <memory>

// The machine's registry: the system view (see SystemView.h) with the
// machine file applied on top, so the file adds to the view and overrides
// it. The file is KELVANE_MACHINE_REG when set and not empty, otherwise
// /etc/kelvane/machine.reg; a missing file adds nothing, and each malformed
// line is reported once on standard error. The view is read below
// KELVANE_SYSTEM_ROOT when set and not empty, otherwise below "/", so that
// end-to-end tests can show the program a machine of their own.
//
// The view is built on the first look-up that reaches the keys it
// synthesizes: reading the program's own configuration (logging is set up
// from it before anything else) does not enumerate the machine's devices.
class LinuxRegistry : public THiveRegistry {
public:
  // Either argument empty: taken from the environment, as above. AFacts:
  // the snapshot to build the view from when its root is the view's.
  explicit LinuxRegistry(const QString& AMachineFile = {}, const QString& ASystemRoot = {},
                         std::shared_ptr<TLinuxFacts> AFacts = {});

  static QString MachineFile();
  static QString SystemRoot();

protected:
  void BeforeLookup(TRegHandle ARoot, const QStringList& APath) override;

private:
  // The machine file as read once, to lay on top of the view again.
  TRegHive FMachineFile;
  std::shared_ptr<TLinuxFacts> FFacts;
  bool FViewBuilt = false;
};

class LinuxPlatform : public Platform {
public:
  LinuxPlatform();
  IRegistry& Registry() override { return FRegistry; }
  ISystemInfo& SystemInfo() override { return FSystemInfo; }
  IWmi& Wmi() override { return FWmi; }
  ISockets& Sockets() override { return FSockets; }
  INetBios& NetBios() override { return FNetBios; }
  INetApi& NetApi() override { return FNetApi; }
  IAccounts& Accounts() override { return FAccounts; }
  IIpHelper& IpHelper() override { return FIpHelper; }

private:
  std::shared_ptr<TLinuxFacts> FFacts;
  LinuxNetBios FNetBios;
  LinuxNetApi FNetApi;
  LinuxAccounts FAccounts;
  LinuxIpHelper FIpHelper;
  LinuxSockets FSockets;
  TLocalWmi FWmi;
  LinuxRegistry FRegistry;
  LinuxSystemInfo FSystemInfo;
};
