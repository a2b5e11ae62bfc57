#pragma once
// The snapshot of the machine's network the adapter scanner reads: the
// adapter table and TCP/IP parameters (TSysInfoTCPIP), the sockets layer
// (TSysInfoWinsock), the server's shares (TSysInfoNetResources), and the
// host-level lists of TSysInfoNetwork itself.

#include "sysinfo/SysInfoCommon.h"
#include "sysinfo/SysInfoShares.h"

#include <QStringList>

#include <memory>
#include <vector>

enum TAdapterType { atOther, atEthernet, atTokenRing, atFDDI, atPPP, atLoopback, atSlip };
enum TNodeType { ntUnknown, ntBroadcast, ntPeerToPeer, ntMixed, ntHybrid };

// The ten lists of an adapter belong to the table; a copy of the record
// shares them.
struct TAdapter {
  QString Name;
  QString Address;
  std::uint32_t MaxSpeed = 0;
  std::uint32_t MTU = 0;
  TAdapterType Typ = atOther;
  std::uint32_t AdminStatus = 0;
  std::uint32_t OperStatus = 0;
  bool EnableDHCP = false;
  bool HaveWINS = false;
  std::shared_ptr<QStringList> IPAddress, IPAddressMask, Gateway_IPAddress, Gateway_IPAddressMask,
      DHCP_IPAddress, DHCP_IPAddressMask, PrimaryWINS_IPAddress, PrimaryWINS_IPAddressMask,
      SecondaryWINS_IPAddress, SecondaryWINS_IPAddressMask;
};

// Interface types outside the classic table (wireless, tunnels, ...) are
// atOther, the enumeration's catch-all.
TAdapterType AdapterTypeOf(unsigned AIfType);

class TSysInfoTCPIP : public TSysInfoComponent {
  Q_OBJECT

public:
  explicit TSysInfoTCPIP(QObject* AOwner = nullptr);
  // Discards every error inside: what was filled before it stays.
  void RefreshData(int AScanObjects) override;

  std::uint16_t AdapterCount() const { return std::uint16_t(FAdapters.size()); }
  TAdapter Adapters(std::uint16_t AIndex) const { return FAdapters[AIndex]; }
  // -1 when no adapter has that name (compared without regard to case).
  std::int32_t FindAdapter(const QString& AName) const;
  const QString& HostName() const { return FHostName; }
  const QString& DomainName() const { return FDomainName; }
  bool EnableProxy() const { return FEnableProxy; }
  bool EnableRouting() const { return FEnableRouting; }
  bool EnableDNS() const { return FEnableDNS; }
  const QString& PrimaryDNSSuffix() const { return FPrimaryDNSSuffix; }
  const QString& DHCPScopeName() const { return FDHCPScopeName; }
  const QStringList& DNSServers() const { return FDNSServers; }
  const QStringList& DNSSuffixes() const { return FDNSSuffixes; }
  TNodeType NodeType() const { return FNodeType; }

private:
  void refresh();
  void readAdapters();
  void readParameters();

  std::vector<TAdapter> FAdapters;
  QString FHostName, FDomainName, FPrimaryDNSSuffix, FDHCPScopeName;
  bool FEnableProxy = false, FEnableRouting = false, FEnableDNS = false;
  QStringList FDNSServers, FDNSSuffixes;
  TNodeType FNodeType = ntUnknown;
};

class TSysInfoWinsock : public TSysInfoComponent {
  Q_OBJECT

public:
  explicit TSysInfoWinsock(QObject* AOwner = nullptr);
  void RefreshData(int AScanObjects) override;

  const QString& Description() const { return FDescription; }
  std::uint16_t MajorVersion() const { return FMajorVersion; }
  std::uint16_t MinorVersion() const { return FMinorVersion; }
  const QString& Status() const { return FStatus; }

private:
  QString FDescription, FStatus;
  std::uint16_t FMajorVersion = 0, FMinorVersion = 0;
};

class TSysInfoNetResources : public TSysInfoComponent {
  Q_OBJECT

public:
  explicit TSysInfoNetResources(QObject* AOwner = nullptr);
  // Discards every error inside; does not mark the data available.
  void RefreshData(int AScanObjects) override;

  std::uint32_t ShareCount() const { return std::uint32_t(FShares.size()); }
  std::uint32_t SessionCount() const { return std::uint32_t(FSessions.size()); }
  std::uint32_t OpenFileCount() const { return std::uint32_t(FOpenFiles.size()); }
  std::uint32_t ConnectionCount() const { return std::uint32_t(FConnections.size()); }
  const std::vector<TNTShareRecord>& Shares() const { return FShares; }
  const std::vector<TNTSessionRecord>& Sessions() const { return FSessions; }
  const std::vector<TOpenFileRecord>& OpenFiles() const { return FOpenFiles; }
  const std::vector<TConnectionRecord>& Connections() const { return FConnections; }

private:
  std::unique_ptr<TNTShares> FShareEnumerator;
  std::unique_ptr<TConnections> FConnectionEnumerator;
  std::vector<TNTShareRecord> FShares;
  std::vector<TNTSessionRecord> FSessions;
  std::vector<TOpenFileRecord> FOpenFiles;
  std::vector<TConnectionRecord> FConnections;
};

class TSysInfoNetwork : public TSysInfoComponent {
  Q_OBJECT

public:
  explicit TSysInfoNetwork(QObject* AOwner = nullptr);
  // Errors of its own steps reach the caller; the sub-components guard
  // theirs.
  void RefreshData(int AScanObjects) override;

  const QStringList& IPAddresses() const { return FIPAddresses; }
  const QStringList& MACAddresses() const { return FMACAddresses; }
  const QStringList& PhysicalAdapters() const { return FPhysicalAdapters; }
  const QStringList& VirtualAdapters() const { return FVirtualAdapters; }
  const QStringList& Protocols() const { return FProtocols; }
  const QStringList& Services() const { return FServices; }
  const QStringList& Clients() const { return FClients; }
  TSysInfoWinsock* WinSock() const { return FWinSock; }
  TSysInfoNetResources* Resources() const { return FResources; }
  TSysInfoTCPIP* TCPIP() const { return FTCPIP; }

private:
  void splitDevices();
  void addNetworkCards();
  void readHostAddresses();
  void classDescriptions(const QString& AClassName, QStringList& AList);
  void legacyClassDescriptions(const QString& AClassName, QStringList& AList);

  TSysInfoNetResources* FResources;
  TSysInfoWinsock* FWinSock;
  TSysInfoTCPIP* FTCPIP;
  QStringList FVirtualAdapters, FPhysicalAdapters, FIPAddresses, FMACAddresses, FProtocols,
      FServices, FClients;
};
