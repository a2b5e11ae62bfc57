#pragma once
// The Windows platform: each port over the Windows services it is shaped
// like, one file pair per port, with no mapping in between. Entry points
// a Windows version may lack are looked up at run time, and a missing one
// answers as the callers' missing-entry-point paths expect.

#include "platform/Platform.h"
#include "platform/windows/WindowsIpHelper.h"
#include "platform/windows/WindowsNetApi.h"
#include "platform/windows/WindowsRegistry.h"
#include "platform/windows/WindowsSockets.h"
#include "platform/windows/WindowsSystemInfo.h"
#include "platform/windows/WindowsWmi.h"

#include "platform/PortNamesBegin.h"

class WindowsPlatform : public Platform {
public:
  WindowsPlatform();
  IRegistry& Registry() override { return FRegistry; }
  ISystemInfo& SystemInfo() override { return FSystemInfo; }
  ISockets& Sockets() override { return FSockets; }
  IWmi& Wmi() override { return FWmi; }
  INetBios& NetBios() override { return FNetBios; }
  INetApi& NetApi() override { return FNetApi; }
  IAccounts& Accounts() override { return FAccounts; }
  IIpHelper& IpHelper() override { return FIpHelper; }

private:
  WindowsRegistry FRegistry;
  WindowsSystemInfo FSystemInfo;
  WindowsSockets FSockets;
  WindowsWmi FWmi;
  WindowsNetBios FNetBios;
  WindowsNetApi FNetApi;
  WindowsAccounts FAccounts;
  WindowsIpHelper FIpHelper;
};

#include "platform/PortNamesEnd.h"
