#pragma once
// Texts of the raw values the adapter queries give: bytes as hexadecimal,
// socket addresses, the IP version of an address text, the IPv4 network of
// an address and a mask, and IPv6 texts written out for the link-local
// test. The sockets layer these need is started once for the process.

#include "platform/Sockets.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace IPAddressTypes {
Q_NAMESPACE
enum TIPVersion { IPv4, IPv6 };
Q_ENUM_NS(TIPVersion)
} // namespace IPAddressTypes
using namespace IPAddressTypes;

// Upper-case two-digit bytes joined by ":"; empty, after a warning, for
// no bytes.
QString BytesToHexString(const QByteArray& ABytes);
QString GetDHCPv6ClientDUID(const QByteArray& ABytes);
// The text the sockets layer gives, blanks and controls at the ends cut;
// empty, after an error entry, when it gives none.
QString SOCKET_ADDRESSToString(const TSocketAddress& AAddress);
// IPv4 when the text holds a "." anywhere (so ::ffff:10.0.0.1 is IPv4),
// IPv6 otherwise, the empty text included.
TIPVersion GetIPVersion(const QString& AAddress);
// "192.168.1.5" → "192168001005"; text that is no dotted quad comes back
// unchanged after three log entries.
QString IPv4ToFilledZero(const QString& AAddress);
// The first entry of a comma list, quotes removed, zero-filled.
QString FirstIPv4ToFilledZero(const QString& AAddresses);
// The first address AND the first mask, dotted; empty when either list is.
// A first entry that is no dotted quad raises EConvertError.
QString GetNetworkAddress(const QString& AAddresses, const QString& AMasks);
QString ExpandIPv6Address(const QString& AAddress);
// Eight groups of four digits.
QString FullIPv6Address(const QString& AAddress);
// In fe80::/64, whatever the letter case and a zone suffix.
bool IsLinkLocalIPv6(const QString& AAddress);

// Start and stop of the sockets layer for the process (version 2.2); a
// failure is logged and the program goes on.
void InitializeIPAddressHelpers();
void FinalizeIPAddressHelpers();
