#pragma once
// The registry's read-only system view on Linux: the keys code written for
// the Windows registry reads to enumerate devices, their classes and the
// network cards, synthesized once per process from sysfs, procfs, DMI and
// /etc below a root directory ("/" on a live system, a fixture tree in
// tests). Everything lands below HKEY_LOCAL_MACHINE:
//
//   SYSTEM\CurrentControlSet\Enum\PCI|USB|<bus>\<device>\<instance>
//       bus devices, with LocationInformation and a LogConf resource list
//   SYSTEM\CurrentControlSet\Enum\ROOT\NET\NNNN
//       interfaces without a device (veth, bridge, tun, ...), in ifindex order
//   SYSTEM\CurrentControlSet\Enum\IDE\Disk<VM>...   only inside a virtual machine
//   SYSTEM\CurrentControlSet\Control\Class\{class}[\NNNN]   classes, driver keys
//   SYSTEM\CurrentControlSet\Control\Network\{class}\{id}   protocols, resolver,
//       and each interface's Connection name
//   SYSTEM\CurrentControlSet\Services\<setting id> | <driver> | Tcpip\Parameters
//   SYSTEM\CurrentControlSet\Control\ComputerName\ComputerName
//   SOFTWARE\Microsoft\Windows NT\CurrentVersion[\NetworkCards\<n>]
//
// A network device counts as physical when it has both a resource list
// (LogConf) and a LocationInformation: exactly the interfaces whose sysfs
// entry has a `device` link inside the root. Those alone are NetworkCards.
//
// Nothing below the root is trusted: files are read with a small cap, links
// leading out of the root are not followed, directory listings stop at
// MaxSysEntries, and names that become key names are cleaned of backslashes
// and control characters.

#include "platform/RegFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

inline constexpr qsizetype MaxSysEntries = 4096;

enum class TSysBus { None, Pci, Usb, Other };

// One entry of /sys/class/net (lo left out).
struct TSysNetInterface {
  QString Name; // as the kernel has it, decoded like a file name
  int IfIndex = 0;
  // The entry has a `device` link that resolves inside the root.
  bool HasDevice = false;
  // The bus device the link leads to (a PCI function, a USB device, or the
  // linked device itself on other buses), a real path; empty when virtual.
  QString DevicePath;
  TSysBus Bus = TSysBus::None;
  // The kernel driver bound to the linked device; empty when virtual.
  QString Driver;
  // ethernet, wireless, veth, bridge, tun, tap, dummy, vlan, bond, ...
  QString Kind;
  // Lower-case "aa:bb:..." when the kernel calls the address permanent.
  QString PermanentAddress;
  QString SettingId;
};

// The interfaces below ARootDir in ifindex order; at most MaxSysEntries.
QList<TSysNetInterface> ReadSysNetInterfaces(const QString& ARootDir = QStringLiteral("/"));

// Fills AHive with the system view read below ARootDir. Never throws: a
// failure while building leaves the keys of the failing part absent, and a
// root that does not exist adds nothing.
void BuildSystemView(TRegHive& AHive, const QString& ARootDir = QStringLiteral("/"));

// The setting identifier of a network interface: a braced upper-case GUID,
// stable per interface, hashed with a salt of the program's own from the
// machine id and the permanent hardware address (or, without one, the
// interface name). The machine id cannot be read back from it.
QString InterfaceSettingId(const QByteArray& AMachineId, const QString& APermanentAddressOrName);

// What the view takes from a resolv.conf text, read as the C library reads
// it: the name servers as written, the search list of the last "search" line
// (at most 32 domains, up to a comment), the domain of the last "domain" line.
struct TSysResolverConfig {
  QStringList NameServers;
  QStringList Search;
  QString Domain;
};
TSysResolverConfig ParseResolverConfig(const QByteArray& AText);

// The kernel's host name (its hostname file, or what gethostname gives) as
// one cleaned line, and split at its first "." into the computer's short
// name and its domain.
struct TSysHostName {
  QString Name;
  QString Short;
  QString Domain;
};
TSysHostName ParseHostName(const QByteArray& AText);

// At most ACap bytes of a small regular file (sysfs and procfs attributes
// included), read with plain calls and never blocking; nullopt when it is
// missing, unreadable or no regular file (a FIFO, a folder). Without
// AFollowLinks a link at the last step is refused.
std::optional<QByteArray> ReadSmallFile(const QByteArray& APath, qint64 ACap, bool AFollowLinks);
