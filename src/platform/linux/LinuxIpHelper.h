#pragma once
// The IP Helper port on Linux: one rtnetlink snapshot per call (links,
// addresses, default routes of the main table) through libnl, sysfs for the
// link's kind, speed and IPv6 state, resolv.conf for the name servers, and
// lease files for the DHCP server where one exists. The views list the same
// links in interface-index order, whatever their state; adapter info leaves
// out loopback and carries IPv4 only. Names are decoded once, by the same
// reader the registry's system view uses, so descriptions and setting
// identifiers match across views.

#include "platform/IpHelper.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>

class LinuxIpHelper : public IIpHelper {
public:
  // Files (sysfs, /proc, /etc, /run) are read below ARootDir; netlink is
  // always the live system's.
  explicit LinuxIpHelper(QString ARootDir = QStringLiteral("/"));

  bool HasEntryPoint(TIpHelperFunction) override { return true; }
  DWORD GetAdaptersInfo(std::vector<TIpAdapterInfo>& AInfo, ULONG& ASize) override;
  DWORD GetNetworkParams(TFixedInfo& AInfo, ULONG& ASize) override;
  DWORD GetIfEntry(TMibIfRow& ARow) override;
  DWORD GetAdaptersAddresses(ULONG AFamily, ULONG AFlags,
                             std::vector<TIpAdapterAddresses>& AAddresses, ULONG& ASize) override;

  // The name servers of a resolv.conf text, in order; "search" domains in
  // ASearch when given.
  static QStringList NameServers(const QByteArray& AResolvConf, QStringList* ASearch = nullptr);
  // The DHCPv6 identity association and client DUID of AInterface in the
  // text of a dhclient lease file ("default-duid", "lease6 { interface ...;
  // ia-na <iaid> { ... } }"); zero and empty where the text has none.
  struct TDhcpv6Identity {
    DWORD Iaid = 0;
    QByteArray Duid;
  };
  static TDhcpv6Identity Dhcpv6Identity(const QByteArray& ALeases, const QString& AInterface);
  // Every interface's identity association of such a text in one pass (the
  // file holds the leases of all interfaces, and every link asks).
  struct TDhcpv6Leases {
    QByteArray Duid;
    QHash<QByteArray, DWORD> Iaids; // by the interface's name as the file writes it
    TDhcpv6Identity Of(const QString& AInterface) const;
  };
  static TDhcpv6Leases ReadDhcpv6Leases(const QByteArray& ALeases);
  // The DHCP server of an interface's lease below ARootDir: systemd-networkd's
  // lease file, else the newest dhclient lease; empty without one.
  static QString DhcpServer(const QString& ARootDir, int AIfIndex, const QString& AInterface);
  // The server of a lease file of systemd-networkd ("SERVER_ADDRESS=");
  // nullopt when the file names none.
  static std::optional<QString> NetworkdDhcpServer(const QByteArray& ALease);
  // The server of the newest lease of each interface in a dhclient lease
  // file ("lease { interface "eth0"; option dhcp-server-identifier ...; }"),
  // by the interface's name as the file writes it.
  static QHash<QByteArray, QString> DhclientDhcpServers(const QByteArray& ALeases);
  // Link speed in Mbit/s from sysfs to bits per second, clamped to 32 bits;
  // 0 when unknown (an error or -1).
  static DWORD SpeedBits(const QByteArray& ASysfsSpeed);

private:
  struct TState;
  // Every call reuses a snapshot younger than a second. A start-up gathers
  // in far less, so all views (and the size probe before each table call)
  // describe the same moment: the scanner's match of two views cannot be
  // broken by a link that came or went between two dumps, and the machine
  // is dumped once instead of once per call. AFresh forces a new one (an
  // interface the last snapshot lacks).
  std::shared_ptr<const TState> state(bool AFresh = false);

  QString FRootDir;
  std::mutex FLock;
  std::shared_ptr<const TState> FLast;
  QElapsedTimer FTaken;
};
