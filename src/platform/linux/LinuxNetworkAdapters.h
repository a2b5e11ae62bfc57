#pragma once
// WMI on Linux beyond the ping: Win32_NetworkAdapterConfiguration, one
// instance per interface of the IP Helper snapshot except loopback, with
// the property names and CIM types a Windows machine has for the class
// (what Linux cannot answer is Null), and Meta_Class, the definitions of
// the classes this machine answers, so a report can learn their property
// names and types.

#include "platform/IpHelper.h"
#include "platform/Wmi.h"

class TLinuxNetworkAdapterConfigurationProvider : public IWmiProvider {
public:
  explicit TLinuxNetworkAdapterConfigurationProvider(IIpHelper& AIpHelper) : FIpHelper(AIpHelper) {}
  QString ClassName() const override { return QStringLiteral("Win32_NetworkAdapterConfiguration"); }
  std::vector<TWmiObject> Instances(const TWqlQuery& AQuery) override;
  // The class with every property Null.
  static TWmiObject Definition();

private:
  IIpHelper& FIpHelper;
};

// A definition is an object of the class it defines with every property
// Null; its class name answers "__CLASS" in conditions, as the system
// property does on Windows.
class TMetaClassProvider : public IWmiProvider {
public:
  explicit TMetaClassProvider(std::vector<TWmiObject> ADefinitions)
      : FDefinitions(std::move(ADefinitions)) {}
  QString ClassName() const override { return QStringLiteral("Meta_Class"); }
  std::vector<TWmiObject> Instances(const TWqlQuery& AQuery) override;

private:
  std::vector<TWmiObject> FDefinitions;
};
