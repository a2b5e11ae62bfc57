#pragma once
// The registry's read-only system view on Linux: the keys code written for
// the Windows registry reads to enumerate devices, their classes and the
// network cards, synthesized from the machine's snapshot (LinuxFacts.h:
// sysfs, procfs, DMI and /etc below a root directory, "/" on a live system,
// a fixture tree in tests, or a saved snapshot); it reads nothing itself.
// Everything lands below HKEY_LOCAL_MACHINE:
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
// Names that become key names are cleaned of backslashes and control
// characters: a snapshot may come from anywhere.

#include "platform/RegFile.h"
#include "platform/linux/LinuxFacts.h"

#include <QList>
#include <QString>

// The interfaces of ARootDir ("/": the machine's, as its snapshot has them).
QList<TSysNetInterface> ReadSysNetInterfaces(const QString& ARootDir = QStringLiteral("/"));

// Fills AHive with the system view of AFacts. Never throws: a failure while
// building leaves the keys of the failing part absent, and a root that does
// not exist adds nothing.
void BuildSystemView(TRegHive& AHive, TLinuxFacts& AFacts);
// The same from a fresh snapshot of ARootDir.
void BuildSystemView(TRegHive& AHive, const QString& ARootDir = QStringLiteral("/"));
