#pragma once
// One snapshot of the Linux machine per run: what every backend (the IP
// Helper, the registry's system view, WMI, SystemInfo, the sockets) knows
// of the machine, each fact read and parsed once and shared. Parts are
// taken on first use, so a run that never asks for devices never walks the
// device tree.
//
// Identity of a link (index, name, hardware address, kind) comes from one
// rtnetlink dump. sysfs only adds what netlink lacks (the device behind a
// link, the driver, wireless, speed, the permanent address), matched by
// name, and only when /sys shows this process's network namespace: a
// namespace made without remounting /sys sees the host's interfaces there,
// and mixing those in would pair the host's names with the namespace's
// addresses.
//
// A root other than "/" is a fixture tree: its /sys/class/net stands for
// the links (there is no netlink for it), and every file is read below it.

#include "platform/linux/DhcpLeases.h"
#include "platform/linux/HostName.h"
#include "platform/linux/ResolvConf.h"

#include "common/WinError.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

inline constexpr qsizetype MaxSysEntries = 4096;

enum class TSysBus { None, Pci, Usb, Other };

// A network interface as the device tree knows it (loopback left out).
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

struct TFactAddress {
  int Family = 0; // AF_INET, AF_INET6
  QByteArray Bytes;
  int PrefixLength = 0;
  bool Dynamic = false; // finite valid lifetime
};

struct TFactGateway {
  int Family = 0;
  QByteArray Bytes; // empty for a default route without gateway
  unsigned Metric = 0;
};

struct TFactLink {
  int IfIndex = 0;
  QString Name;
  unsigned ArpType = 0;
  unsigned Flags = 0; // IFF_*
  unsigned Mtu = 0;
  QByteArray HardwareAddress;
  QString OperState;                   // "up", "down", "unknown", "dormant", ...
  QString InfoKind;                    // IFLA_INFO_KIND: veth, bridge, tun, ...; empty for hardware
  std::vector<TFactAddress> Addresses; // the kernel's dump order, unusable ones left out
  std::vector<TFactGateway> Gateways;  // default routes of the main table through the link
  bool Ipv6Enabled = false;
  DWORD SpeedBits = 0; // 0 when unknown
  bool Wireless = false;
};

// The host, its system and its resolver.
struct TFactSystem {
  THostName Host;
  QString PrettyName; // of os-release; empty without one
  QString KernelRelease;
  bool IpForward = false;
  QByteArray MachineId;
  bool Ipv6Stack = false; // the kernel speaks IPv6 at all
  // resolv.conf as the resolver reads it; the upstream servers and domains
  // of systemd-resolved when it lists only the local stub.
  std::optional<TResolverConfig> Resolver;
  bool ResolvedUpstream = false; // systemd-resolved's own file is there
  // The effective user and its name in the password database (empty
  // without an entry).
  std::uint32_t UserId = 0;
  QString UserName;
  // The hop limit this machine's own replies start with.
  int DefaultTtl = 64;
};

struct TFactDhcp {
  QHash<int, QString> NetworkdServers;        // by interface index
  QHash<QByteArray, QString> DhclientServers; // by interface name
  TDhcpv6Leases Dhcpv6;
  // The DHCP server of an interface's lease: systemd-networkd's, else the
  // newest dhclient one; empty without one.
  QString ServerOf(int AIfIndex, const QString& AName) const;
};

// A device on a bus as the device tree describes it.
struct TFactDevice {
  QString SysPath; // its folder in sysfs, a real path
  QString Enumerator;
  QString DeviceId;
  QString Instance;
  QStringList HardwareIds;
  QStringList CompatibleIds;
  QString Location;
  QString Service;
  QString Mfg;
  QString Description;
  QString Class; // the device class's name ("Net", "Display", ...); unknown ones count as "System"
};

struct TFactDevices {
  // PCI functions, then USB devices, each in name order; then the devices
  // only an interface leads to.
  std::vector<TFactDevice> Bus;
  QString DmiVendor; // of the machine, as DMI tells it
  QString DmiProduct;
};

// Everything a snapshot holds.
struct TLinuxFactsData {
  std::vector<TFactLink> Links;
  std::uint32_t PreferredSource = 0;
  QList<TSysNetInterface> Interfaces;
  TFactSystem System;
  TFactDhcp Dhcp;
  TFactDevices Devices;
};

class TLinuxFacts {
public:
  explicit TLinuxFacts(QString ARoot = QStringLiteral("/"));
  // A machine described by a saved snapshot: nothing is read.
  explicit TLinuxFacts(TLinuxFactsData AData);

  // The snapshot every backend of this process shares, one per root.
  static std::shared_ptr<TLinuxFacts> Shared(const QString& ARoot = QStringLiteral("/"));
  // From now on, AFacts is the machine's snapshot ("/"): called before any
  // backend is made.
  static void ReplaceShared(std::shared_ptr<TLinuxFacts> AFacts);

  const QString& Root() const { return FRoot; }
  bool IsLive() const { return FLive; }

  // Every link in interface-index order, loopback included.
  const std::vector<TFactLink>& Links();
  // The source address (IPv4, host order) the kernel picks for a public
  // destination; 0 when it has no route there.
  std::uint32_t PreferredSource();
  const TFactLink* Link(int AIfIndex);
  // The links as the device tree has them: loopback left out, each with a
  // setting identifier of its own.
  const QList<TSysNetInterface>& Interfaces();
  const TSysNetInterface* Interface(int AIfIndex);
  const TFactSystem& System();
  const TFactDhcp& Dhcp();
  const TFactDevices& Devices();
  // Every part taken.
  const TLinuxFactsData& All();

private:
  void takeLinks();
  void index();

  QString FRoot;
  bool FLive = false;
  std::once_flag FLinksTaken, FSystemTaken, FDhcpTaken, FDevicesTaken;
  TLinuxFactsData FData;
  QHash<int, qsizetype> FLinkIndex;
  QHash<int, qsizetype> FInterfaceIndex;
};

// The setting identifier of a network interface: a braced upper-case GUID,
// stable per interface, hashed with a salt of the program's own from the
// machine id and the permanent hardware address (or, without one, the
// interface name). The machine id cannot be read back from it.
QString InterfaceSettingId(const QByteArray& AMachineId, const QString& APermanentAddressOrName);

// Link speed in Mbit/s from sysfs to bits per second, clamped to 32 bits;
// 0 when unknown (an error or -1).
DWORD SpeedBits(const QByteArray& ASysfsSpeed);

// At most ACap bytes of a small regular file (sysfs and procfs attributes
// included), read with plain calls and never blocking; nullopt when it is
// missing, unreadable or no regular file (a FIFO, a folder). Without
// AFollowLinks a link at the last step is refused.
std::optional<QByteArray> ReadSmallFile(const QByteArray& APath, qint64 ACap, bool AFollowLinks);
