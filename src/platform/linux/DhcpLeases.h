#pragma once
// The readers of DHCP lease files: systemd-networkd's (one per interface),
// dhclient's IPv4 and IPv6 files (every interface's leases in one file,
// the newest last).

#include "common/WinError.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// The server of a lease file of systemd-networkd ("SERVER_ADDRESS=");
// nullopt when the file names none.
std::optional<QString> NetworkdDhcpServer(const QByteArray& ALease);

// The server of the newest lease of each interface in a dhclient lease file
// ("lease { interface "eth0"; option dhcp-server-identifier ...; }"), by the
// interface's name as the file writes it.
QHash<QByteArray, QString> DhclientDhcpServers(const QByteArray& ALeases);

// The DHCPv6 identity association and client DUID of one interface; zero
// and empty where the leases have none.
struct TDhcpv6Identity {
  DWORD Iaid = 0;
  QByteArray Duid;
};

// Every interface's identity association of a dhclient6 text ("default-duid",
// "lease6 { interface ...; ia-na <iaid> { ... } }") in one pass.
struct TDhcpv6Leases {
  QByteArray Duid;
  QHash<QByteArray, DWORD> Iaids; // by the interface's name as the file writes it
  TDhcpv6Identity Of(const QString& AInterface) const;
};
TDhcpv6Leases ReadDhcpv6Leases(const QByteArray& ALeases);
