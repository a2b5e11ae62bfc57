#pragma once
// The IP Helper port on Linux, answered from the machine's snapshot (links,
// addresses and default routes of the main table from one rtnetlink dump,
// sysfs for speed and wireless, the resolver configuration, lease files for
// the DHCP server where one exists). The views list the same links in
// interface-index order, whatever their state; adapter info leaves out
// loopback and carries IPv4 only. All views and the size probe before each
// table call describe the same moment, so the scanner's match of two views
// cannot be broken by a link that came or went in between.

#include "platform/IpHelper.h"
#include "platform/linux/LinuxFacts.h"

#include <memory>

class LinuxIpHelper : public IIpHelper {
public:
  explicit LinuxIpHelper(std::shared_ptr<TLinuxFacts> AFacts);
  // A snapshot of its own, with files read below ARootDir.
  explicit LinuxIpHelper(const QString& ARootDir = QStringLiteral("/"));

  bool HasEntryPoint(TIpHelperFunction) override { return true; }
  DWORD GetAdaptersInfo(std::vector<TIpAdapterInfo>& AInfo, ULONG& ASize) override;
  DWORD GetNetworkParams(TFixedInfo& AInfo, ULONG& ASize) override;
  DWORD GetIfEntry(TMibIfRow& ARow) override;
  DWORD GetAdaptersAddresses(ULONG AFamily, ULONG AFlags,
                             std::vector<TIpAdapterAddresses>& AAddresses, ULONG& ASize) override;

private:
  std::shared_ptr<TLinuxFacts> FFacts;
};
