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
#include "platform/linux/LinuxFacts.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

// One attribute of a sysfs or procfs folder open as ADir (ANameBelow may
// name a file in a subfolder), without its line end; empty when missing or
// unreadable. No link is followed at the last step.
QByteArray ReadAttributeAt(int ADir, const char* ANameBelow, qint64 ACap);

// The interfaces of a fixture tree's /sys/class/net in ifindex order (at
// most MaxSysEntries), each with its setting identifier.
QList<TSysNetInterface> ReadTreeInterfaces(const QString& ARootDir, const QByteArray& AMachineId);

// What the live /sys adds to the links of a netlink dump (wireless, speed,
// the device, driver and permanent address), when it shows this network
// namespace; the links as the device tree has them, loopback left out.
QList<TSysNetInterface> AddSysfsFacts(std::vector<TFactLink>& ALinks, const QByteArray& AMachineId);

// The devices on the buses below ARootDir (and those only AInterfaces lead
// to), and what DMI says of the machine.
TFactDevices ReadDevices(const QString& ARootDir, const QList<TSysNetInterface>& AInterfaces);

// The interfaces of ARootDir ("/": the machine's, as its snapshot has them).
QList<TSysNetInterface> ReadSysNetInterfaces(const QString& ARootDir = QStringLiteral("/"));

// Fills AHive with the system view of AFacts. Never throws: a failure while
// building leaves the keys of the failing part absent, and a root that does
// not exist adds nothing.
void BuildSystemView(TRegHive& AHive, TLinuxFacts& AFacts);
// The same from a fresh snapshot of ARootDir.
void BuildSystemView(TRegHive& AHive, const QString& ARootDir = QStringLiteral("/"));
