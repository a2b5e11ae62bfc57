#pragma once
// The readers of sysfs behind the machine's snapshot: the interfaces of a
// fixture tree, what the live /sys adds to the links of a netlink dump, the
// devices on the buses and DMI. Nothing below the root is trusted: files
// are read with a small cap, links leading out of the root are not
// followed, directory listings stop at MaxSysEntries.

#include "platform/linux/LinuxFacts.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

// One attribute of a sysfs or procfs folder open as ADir (ANameBelow may
// name a file in a subfolder), without its line end; empty when missing or
// unreadable. No link is followed at the last step.
QByteArray ReadAttributeAt(int ADir, const char* ANameBelow, qint64 ACap = 4096);

// The interfaces of a fixture tree's /sys/class/net in ifindex order (at
// most MaxSysEntries), each with its setting identifier.
QList<TSysNetInterface> ReadTreeInterfaces(const QString& ARootDir, const QByteArray& AMachineId);

// What the live /sys adds to the links of a netlink dump (wireless, DEVTYPE,
// the device, driver and permanent address), when it shows this network
// namespace; the links as the device tree has them, loopback left out.
QList<TSysNetInterface> AddSysfsFacts(std::vector<TFactLink>& ALinks, const QByteArray& AMachineId);

// The devices on the buses below ARootDir (and those only AInterfaces lead
// to), and what DMI says of the machine.
TFactDevices ReadDevices(const QString& ARootDir, const QList<TSysNetInterface>& AInterfaces);
