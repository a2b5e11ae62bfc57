#include "platform/linux/LinuxIpHelper.h"

#include "platform/linux/SystemView.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSysInfo>

#include <arpa/inet.h>
#include <linux/if_arp.h>
#include <linux/rtnetlink.h>
#include <netlink/addr.h>
#include <netlink/cache.h>
#include <netlink/errno.h>
#include <netlink/netlink.h>
#include <netlink/route/addr.h>
#include <netlink/route/link.h>
#include <netlink/route/route.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <memory>
#include <mutex>

namespace {

// ---- the netlink snapshot -------------------------------------------------------------

struct TNlAddress {
  int Family = 0;
  QByteArray Bytes;
  int PrefixLength = 0;
  bool Dynamic = false; // finite valid lifetime
};

struct TNlLink {
  int IfIndex = 0;
  QString Name;
  unsigned ArpType = 0;
  unsigned Flags = 0;
  unsigned Mtu = 0;
  QByteArray HardwareAddress;
  QString OperState;
  std::vector<TNlAddress> Addresses;
  std::vector<std::pair<TNlAddress, unsigned>> Gateways; // address (may be empty) and metric
};

struct TSnapshot {
  std::vector<TNlLink> Links; // interface-index order
  TNlLink* Find(int AIfIndex) {
    for (TNlLink& Link : Links)
      if (Link.IfIndex == AIfIndex)
        return &Link;
    return nullptr;
  }
  const TNlLink* Find(int AIfIndex) const { return const_cast<TSnapshot*>(this)->Find(AIfIndex); }
};

struct TSocketFree {
  void operator()(nl_sock* ASocket) const { nl_socket_free(ASocket); }
};
struct TCacheFree {
  void operator()(nl_cache* ACache) const { nl_cache_free(ACache); }
};
using TCachePtr = std::unique_ptr<nl_cache, TCacheFree>;

QByteArray bytesOf(nl_addr* AAddress) {
  if (!AAddress || nl_addr_get_len(AAddress) == 0)
    return QByteArray();
  return QByteArray(static_cast<const char*>(nl_addr_get_binary_addr(AAddress)),
                    int(nl_addr_get_len(AAddress)));
}

// Fills ACache by one dump; a dump the kernel interrupted because the tables
// changed meanwhile is taken again, a few times at most.
template <class TAlloc> TCachePtr dump(TAlloc AAlloc) {
  for (int Try = 0; Try < 5; ++Try) {
    nl_cache* Cache = nullptr;
    const int Error = AAlloc(&Cache);
    if (Error == 0)
      return TCachePtr(Cache);
    if (Error != -NLE_DUMP_INTR)
      return nullptr;
  }
  return nullptr;
}

TSnapshot takeSnapshot() {
  TSnapshot Snapshot;
  std::unique_ptr<nl_sock, TSocketFree> Socket(nl_socket_alloc());
  if (!Socket || nl_connect(Socket.get(), NETLINK_ROUTE) != 0)
    return Snapshot;
  TCachePtr Links = dump(
      [&](nl_cache** ACache) { return rtnl_link_alloc_cache(Socket.get(), AF_UNSPEC, ACache); });
  TCachePtr Addresses =
      dump([&](nl_cache** ACache) { return rtnl_addr_alloc_cache(Socket.get(), ACache); });
  TCachePtr Routes = dump([&](nl_cache** ACache) {
    return rtnl_route_alloc_cache(Socket.get(), AF_UNSPEC, 0, ACache);
  });
  if (!Links)
    return Snapshot;
  for (nl_object* Object = nl_cache_get_first(Links.get()); Object;
       Object = nl_cache_get_next(Object)) {
    auto* Link = reinterpret_cast<rtnl_link*>(Object);
    TNlLink Entry;
    Entry.IfIndex = rtnl_link_get_ifindex(Link);
    Entry.Name = QFile::decodeName(rtnl_link_get_name(Link));
    Entry.ArpType = rtnl_link_get_arptype(Link);
    Entry.Flags = rtnl_link_get_flags(Link);
    Entry.Mtu = rtnl_link_get_mtu(Link);
    Entry.HardwareAddress = bytesOf(rtnl_link_get_addr(Link));
    char State[32] = {};
    rtnl_link_operstate2str(rtnl_link_get_operstate(Link), State, sizeof State);
    Entry.OperState = QString::fromLatin1(State);
    Snapshot.Links.push_back(std::move(Entry));
  }
  std::sort(Snapshot.Links.begin(), Snapshot.Links.end(),
            [](const TNlLink& A, const TNlLink& B) { return A.IfIndex < B.IfIndex; });
  if (Addresses)
    for (nl_object* Object = nl_cache_get_first(Addresses.get()); Object;
         Object = nl_cache_get_next(Object)) {
      auto* Address = reinterpret_cast<rtnl_addr*>(Object);
      const unsigned Flags = rtnl_addr_get_flags(Address);
      // Addresses still in duplicate detection, or that failed it, are not in use.
      if (Flags & (IFA_F_TENTATIVE | IFA_F_DADFAILED))
        continue;
      TNlLink* Link = Snapshot.Find(rtnl_addr_get_ifindex(Address));
      if (!Link)
        continue;
      nl_addr* Local = rtnl_addr_get_local(Address);
      TNlAddress Entry;
      Entry.Family = rtnl_addr_get_family(Address);
      Entry.Bytes = bytesOf(Local ? Local : rtnl_addr_get_peer(Address));
      Entry.PrefixLength = rtnl_addr_get_prefixlen(Address);
      Entry.Dynamic =
          rtnl_addr_get_valid_lifetime(Address) != 0xFFFFFFFFu && !(Flags & IFA_F_PERMANENT);
      if (!Entry.Bytes.isEmpty())
        Link->Addresses.push_back(std::move(Entry));
    }
  if (Routes)
    for (nl_object* Object = nl_cache_get_first(Routes.get()); Object;
         Object = nl_cache_get_next(Object)) {
      auto* Route = reinterpret_cast<rtnl_route*>(Object);
      nl_addr* Destination = rtnl_route_get_dst(Route);
      if (rtnl_route_get_table(Route) != RT_TABLE_MAIN ||
          rtnl_route_get_type(Route) != RTN_UNICAST ||
          (Destination && nl_addr_get_prefixlen(Destination) != 0))
        continue;
      const int Family = rtnl_route_get_family(Route);
      const unsigned Metric = rtnl_route_get_priority(Route);
      // Multipath routes have one next hop per path.
      for (int Hop = 0; Hop < rtnl_route_get_nnexthops(Route); ++Hop) {
        rtnl_nexthop* NextHop = rtnl_route_nexthop_n(Route, Hop);
        TNlLink* Link = Snapshot.Find(rtnl_route_nh_get_ifindex(NextHop));
        if (!Link)
          continue;
        TNlAddress Gateway;
        Gateway.Family = Family;
        Gateway.Bytes = bytesOf(rtnl_route_nh_get_gateway(NextHop));
        Link->Gateways.emplace_back(std::move(Gateway), Metric);
      }
    }
  return Snapshot;
}

// ---- texts and files ------------------------------------------------------------------

QString ipv4Text(const QByteArray& ABytes) {
  if (ABytes.size() != 4)
    return QString();
  return QStringLiteral("%1.%2.%3.%4")
      .arg(uchar(ABytes[0]))
      .arg(uchar(ABytes[1]))
      .arg(uchar(ABytes[2]))
      .arg(uchar(ABytes[3]));
}

QString maskText(int APrefixLength) {
  const std::uint32_t Mask = APrefixLength <= 0    ? 0
                             : APrefixLength >= 32 ? 0xFFFFFFFFu
                                                   : ~((1u << (32 - APrefixLength)) - 1);
  return QStringLiteral("%1.%2.%3.%4")
      .arg(Mask >> 24)
      .arg((Mask >> 16) & 0xFF)
      .arg((Mask >> 8) & 0xFF)
      .arg(Mask & 0xFF);
}

// At most ALimit bytes of a small system file; empty when it cannot be read.
QByteArray readSmall(const QString& APath, qint64 ALimit = 64 * 1024) {
  return ReadSmallFile(QFile::encodeName(APath), ALimit, true).value_or(QByteArray());
}

TSocketAddress socketAddress(int AFamily, const QByteArray& ABytes) {
  TSocketAddress Address;
  Address.Family = AFamily == AF_INET6 ? WSA_AF_INET6 : WSA_AF_INET;
  Address.Address = ABytes;
  return Address;
}

// Ethernet-like links carry a hardware address; a tunnel's endpoint
// address is not one.
bool hasHardwareAddress(unsigned AArpType) {
  return AArpType == ARPHRD_ETHER || AArpType == ARPHRD_IEEE802;
}

DWORD interfaceType(const TNlLink& ALink, const TSysNetInterface* AInterface) {
  if (AInterface && AInterface->Kind == QLatin1String("wireless"))
    return IF_TYPE_IEEE80211;
  switch (ALink.ArpType) {
  case ARPHRD_ETHER:
  case ARPHRD_IEEE802:
    return IF_TYPE_ETHERNET_CSMACD;
  case ARPHRD_PPP:
    return IF_TYPE_PPP;
  case ARPHRD_LOOPBACK:
    return IF_TYPE_SOFTWARE_LOOPBACK;
  case ARPHRD_TUNNEL:
  case ARPHRD_TUNNEL6:
  case ARPHRD_SIT:
  case ARPHRD_IPGRE:
    return IF_TYPE_TUNNEL;
  case ARPHRD_NONE:
    return IF_TYPE_PROP_VIRTUAL;
  default:
    return IF_TYPE_OTHER;
  }
}

// The DHCP servers of the leases below ARoot: systemd-networkd's file of one
// interface, and dhclient's files of all interfaces (at most a few, each
// read with a cap), the newest lease of each interface counting.
std::optional<QString> networkdServer(const QString& ARoot, int AIfIndex) {
  return LinuxIpHelper::NetworkdDhcpServer(
      readSmall(ARoot + QStringLiteral("/run/systemd/netif/leases/%1").arg(AIfIndex)));
}

QHash<QByteArray, QString> dhclientServers(const QString& ARoot) {
  const QDir Dir(ARoot + QStringLiteral("/var/lib/dhcp"));
  QHash<QByteArray, QString> Servers;
  const QStringList Files = Dir.entryList({QStringLiteral("dhclient*.leases")}, QDir::Files);
  for (qsizetype I = 0; I < Files.size() && I < 16; ++I) {
    if (Files[I].startsWith(QLatin1String("dhclient6")))
      continue;
    const QHash<QByteArray, QString> OfFile =
        LinuxIpHelper::DhclientDhcpServers(readSmall(Dir.filePath(Files[I]), 256 * 1024));
    for (auto It = OfFile.constBegin(); It != OfFile.constEnd(); ++It)
      Servers.insert(It.key(), It.value());
  }
  return Servers;
}
} // namespace

QString LinuxIpHelper::DhcpServer(const QString& ARoot, int AIfIndex, const QString& AInterface) {
  if (std::optional<QString> Server = networkdServer(ARoot, AIfIndex))
    return *Server;
  return dhclientServers(ARoot).value(QFile::encodeName(AInterface));
}

std::optional<QString> LinuxIpHelper::NetworkdDhcpServer(const QByteArray& ALease) {
  for (const QByteArray& Line : ALease.split('\n'))
    if (Line.startsWith("SERVER_ADDRESS="))
      return QString::fromLatin1(Line.mid(15).trimmed());
  return std::nullopt;
}

QHash<QByteArray, QString> LinuxIpHelper::DhclientDhcpServers(const QByteArray& ALeases) {
  QHash<QByteArray, QString> Servers;
  std::optional<QByteArray> Interface; // of the lease being read
  for (const QByteArray& RawLine : ALeases.split('\n')) {
    const QByteArray Line = RawLine.trimmed();
    if (Line.startsWith("lease "))
      Interface.reset();
    else if (Line.startsWith("interface "))
      Interface = Line.size() >= 13 && Line.startsWith("interface \"") && Line.endsWith("\";")
                      ? std::optional(Line.mid(11, Line.size() - 13))
                      : std::nullopt;
    else if (Interface && Line.startsWith("option dhcp-server-identifier "))
      Servers.insert(*Interface, QString::fromLatin1(
                                     Line.mid(30).chopped(Line.endsWith(';') ? 1 : 0).trimmed()));
  }
  return Servers;
}

namespace {

// dhclient writes strings with octal escapes ("\\000\\001...").
QByteArray unescapeLeaseString(const QByteArray& AText) {
  QByteArray Result;
  for (qsizetype I = 0; I < AText.size(); ++I) {
    if (AText[I] == '\\' && I + 3 < AText.size() && std::isdigit(uchar(AText[I + 1]))) {
      Result += char(AText.mid(I + 1, 3).toInt(nullptr, 8));
      I += 3;
    } else if (AText[I] == '\\' && I + 1 < AText.size()) {
      Result += AText[++I];
    } else {
      Result += AText[I];
    }
  }
  return Result;
}

// The lease files of dhclient, where Debian's ifupdown and NetworkManager
// keep them; at most a few, each read with a cap.
QByteArray dhcpv6Leases(const QString& ARoot) {
  QByteArray All;
  for (const auto& [Folder, Pattern] :
       {std::pair{QStringLiteral("/var/lib/dhcp"), QStringLiteral("dhclient6*.leases")},
        std::pair{QStringLiteral("/var/lib/NetworkManager"),
                  QStringLiteral("dhclient6-*.lease")}}) {
    const QDir Dir(ARoot + Folder);
    const QStringList Files = Dir.entryList({Pattern}, QDir::Files);
    for (qsizetype I = 0; I < Files.size() && I < 16; ++I)
      All += readSmall(Dir.filePath(Files[I]), 256 * 1024) + '\n';
  }
  return All;
}

struct TSysContext {
  QString Root;
  QHash<int, TSysNetInterface> Interfaces; // by interface index
  QStringList NameServers;
  QStringList Search;

  explicit TSysContext(const QString& ARoot) : Root(ARoot) {
    for (const TSysNetInterface& Interface : ReadSysNetInterfaces(ARoot))
      Interfaces.insert(Interface.IfIndex, Interface);
    QByteArray Resolv = readSmall(ARoot + QStringLiteral("/etc/resolv.conf"));
    QStringList Servers = LinuxIpHelper::NameServers(Resolv, &Search);
    // The local stub of systemd-resolved stands for the servers it asks.
    if (Servers == QStringList{QStringLiteral("127.0.0.53")}) {
      const QByteArray Upstream =
          readSmall(ARoot + QStringLiteral("/run/systemd/resolve/resolv.conf"));
      if (!Upstream.isEmpty())
        Servers = LinuxIpHelper::NameServers(Upstream, &Search);
    }
    NameServers = Servers;
    Dhcpv6 = LinuxIpHelper::ReadDhcpv6Leases(dhcpv6Leases(ARoot));
  }
  LinuxIpHelper::TDhcpv6Leases Dhcpv6;
  const TSysNetInterface* Interface(int AIfIndex) const {
    auto It = Interfaces.constFind(AIfIndex);
    return It == Interfaces.constEnd() ? nullptr : &*It;
  }
  // Read once per snapshot: every view asks for them, some twice.
  bool Ipv6Enabled(const QString& AName) const {
    return once(FIpv6Enabled, AName, [&] {
      const QByteArray Disabled = readSmall(
          Root + QStringLiteral("/proc/sys/net/ipv6/conf/%1/disable_ipv6").arg(AName), 16);
      return !Disabled.isEmpty() && Disabled.trimmed() == "0";
    });
  }
  DWORD Speed(const QString& AName) const {
    return once(FSpeed, AName, [&] {
      return LinuxIpHelper::SpeedBits(
          readSmall(Root + QStringLiteral("/sys/class/net/%1/speed").arg(AName), 32));
    });
  }

  QString DhcpServer(int AIfIndex, const QString& AInterface) const {
    if (std::optional<QString> Server = networkdServer(Root, AIfIndex))
      return *Server;
    // dhclient's files hold every interface's leases: read once for all links.
    std::call_once(FDhclientRead, [this] { FDhclientServers = dhclientServers(Root); });
    return FDhclientServers.value(QFile::encodeName(AInterface));
  }

private:
  template <class T, class TRead>
  T once(QHash<QString, T>& AMemo, const QString& AName, TRead ARead) const {
    std::lock_guard Guard(FMemoLock);
    const auto It = AMemo.constFind(AName);
    return It != AMemo.constEnd() ? *It : (AMemo[AName] = ARead());
  }

  mutable std::mutex FMemoLock;
  mutable QHash<QString, bool> FIpv6Enabled;
  mutable QHash<QString, DWORD> FSpeed;
  mutable std::once_flag FDhclientRead;
  mutable QHash<QByteArray, QString> FDhclientServers;
};

// The answer fits ASize, or the call reports the size it needs.
DWORD fits(ULONG ANeeded, ULONG& ASize) {
  if (ASize < ANeeded) {
    ASize = ANeeded;
    return ERROR_BUFFER_OVERFLOW;
  }
  return NO_ERROR;
}
} // namespace

struct LinuxIpHelper::TState {
  TSnapshot Snapshot;
  TSysContext Context;
  explicit TState(const QString& ARoot) : Snapshot(takeSnapshot()), Context(ARoot) {}
};

LinuxIpHelper::LinuxIpHelper(QString ARootDir) : FRootDir(std::move(ARootDir)) {}

std::shared_ptr<const LinuxIpHelper::TState> LinuxIpHelper::state(bool AFresh) {
  {
    std::lock_guard Guard(FLock);
    if (!AFresh && FLast && FTaken.isValid() && FTaken.elapsed() < 1000)
      return FLast;
  }
  auto State = std::make_shared<const TState>(FRootDir);
  std::lock_guard Guard(FLock);
  FLast = State;
  FTaken.start();
  return State;
}

QStringList LinuxIpHelper::NameServers(const QByteArray& AResolvConf, QStringList* ASearch) {
  QStringList Servers;
  for (const QByteArray& RawLine : AResolvConf.split('\n')) {
    const QByteArray Line = RawLine.simplified();
    if (Line.startsWith("nameserver ")) {
      QByteArray Server = Line.mid(11).split(' ').first();
      // A zone suffix is not part of the address Windows shows.
      if (const qsizetype Zone = Server.indexOf('%'); Zone >= 0)
        Server.truncate(Zone);
      unsigned char Buffer[16];
      if (inet_pton(AF_INET, Server.constData(), Buffer) == 1 ||
          inet_pton(AF_INET6, Server.constData(), Buffer) == 1)
        Servers << QString::fromLatin1(Server);
    } else if (ASearch && (Line.startsWith("search ") || Line.startsWith("domain "))) {
      // The last search or domain line wins, as the resolver reads it.
      *ASearch = QString::fromUtf8(Line.mid(7)).split(u' ', Qt::SkipEmptyParts);
    }
  }
  return Servers;
}

LinuxIpHelper::TDhcpv6Identity LinuxIpHelper::Dhcpv6Identity(const QByteArray& ALeases,
                                                             const QString& AInterface) {
  return ReadDhcpv6Leases(ALeases).Of(AInterface);
}

LinuxIpHelper::TDhcpv6Identity LinuxIpHelper::TDhcpv6Leases::Of(const QString& AInterface) const {
  return {Iaids.value(QFile::encodeName(AInterface)), Duid};
}

LinuxIpHelper::TDhcpv6Leases LinuxIpHelper::ReadDhcpv6Leases(const QByteArray& ALeases) {
  TDhcpv6Leases Leases;
  bool InLease = false;
  std::optional<QByteArray> Interface; // of the lease being read
  for (const QByteArray& RawLine : ALeases.split('\n')) {
    const QByteArray Line = RawLine.trimmed();
    if (Line.startsWith("default-duid ")) {
      const qsizetype Open = Line.indexOf('"'), Close = Line.lastIndexOf('"');
      if (Open >= 0 && Close > Open)
        Leases.Duid = unescapeLeaseString(Line.mid(Open + 1, Close - Open - 1));
    } else if (Line.startsWith("lease6 ")) {
      InLease = true;
      Interface.reset();
    } else if (InLease && Line.startsWith("interface ")) {
      const QByteArray Name = Line.mid(10).chopped(Line.endsWith(';') ? 1 : 0).trimmed();
      Interface = Name.size() >= 2 && Name.startsWith('"') && Name.endsWith('"')
                      ? std::optional(Name.mid(1, Name.size() - 2))
                      : std::nullopt;
    } else if (Interface && Line.startsWith("ia-na ")) {
      // The identity association as four hexadecimal bytes, "9e:a1:e7:5c".
      const QList<QByteArray> Bytes = Line.mid(6).split(' ').first().split(':');
      if (Bytes.size() == 4) {
        DWORD Iaid = 0;
        for (const QByteArray& Byte : Bytes)
          Iaid = (Iaid << 8) | (Byte.toUInt(nullptr, 16) & 0xFF);
        Leases.Iaids.insert(*Interface, Iaid); // the last lease of the file is the newest
      }
    }
  }
  return Leases;
}

DWORD LinuxIpHelper::SpeedBits(const QByteArray& ASysfsSpeed) {
  bool Ok = false;
  const qint64 Mbits = ASysfsSpeed.trimmed().toLongLong(&Ok);
  if (!Ok || Mbits <= 0)
    return 0;
  const qint64 Bits = Mbits > std::numeric_limits<qint64>::max() / 1000000
                          ? std::numeric_limits<qint64>::max()
                          : Mbits * 1000000;
  return DWORD(std::min<qint64>(Bits, 0xFFFFFFFFLL));
}

DWORD LinuxIpHelper::GetAdaptersInfo(std::vector<TIpAdapterInfo>& AInfo, ULONG& ASize) {
  const std::shared_ptr<const TState> State = state();
  const TSnapshot& Snapshot = State->Snapshot;
  const TSysContext& Context = State->Context;
  std::vector<TIpAdapterInfo> Result;
  for (const TNlLink& Link : Snapshot.Links) {
    if (Link.ArpType == ARPHRD_LOOPBACK)
      continue;
    const TSysNetInterface* Interface = Context.Interface(Link.IfIndex);
    TIpAdapterInfo Info;
    Info.AdapterName = Interface ? Interface->SettingId : QString();
    Info.Description = Interface ? Interface->Name : Link.Name;
    Info.Address = hasHardwareAddress(Link.ArpType) ? Link.HardwareAddress.left(8) : QByteArray();
    Info.Index = DWORD(Link.IfIndex);
    Info.Type = interfaceType(Link, Interface);
    Info.IpAddressList.clear();
    for (const TNlAddress& Address : Link.Addresses)
      if (Address.Family == AF_INET) {
        Info.IpAddressList.push_back({ipv4Text(Address.Bytes), maskText(Address.PrefixLength)});
        Info.DhcpEnabled = Info.DhcpEnabled || Address.Dynamic;
      }
    if (Info.IpAddressList.empty())
      Info.IpAddressList.resize(1);
    Info.GatewayList.clear();
    for (const auto& [Gateway, Metric] : Link.Gateways)
      if (Gateway.Family == AF_INET)
        Info.GatewayList.push_back(
            {Gateway.Bytes.isEmpty() ? QStringLiteral("0.0.0.0") : ipv4Text(Gateway.Bytes),
             QStringLiteral("255.255.255.255")});
    if (Info.GatewayList.empty())
      Info.GatewayList.resize(1);
    if (Info.DhcpEnabled)
      Info.DhcpServer.front().IpAddress = Context.DhcpServer(Link.IfIndex, Info.Description);
    Result.push_back(std::move(Info));
  }
  if (Result.empty())
    return ERROR_NO_DATA;
  if (const DWORD Status = fits(ULONG(Result.size()) * SizeOfIpAdapterInfo, ASize);
      Status != NO_ERROR)
    return Status;
  AInfo = std::move(Result);
  return NO_ERROR;
}

DWORD LinuxIpHelper::GetNetworkParams(TFixedInfo& AInfo, ULONG& ASize) {
  const TSysContext Context(FRootDir);
  TFixedInfo Info;
  QString Host = QFile::decodeName(
      readSmall(FRootDir + QStringLiteral("/proc/sys/kernel/hostname"), 256).trimmed());
  if (Host.isEmpty() && FRootDir == QLatin1String("/"))
    Host = QSysInfo::machineHostName();
  Info.HostName = Host.section(u'.', 0, 0);
  Info.DomainName = Host.section(u'.', 1);
  if (Info.DomainName.isEmpty() && !Context.Search.isEmpty())
    Info.DomainName = Context.Search.first();
  Info.DnsServerList.clear();
  for (const QString& Server : Context.NameServers)
    if (!Server.contains(u':'))
      Info.DnsServerList.push_back({Server, QString()});
  if (Info.DnsServerList.empty())
    Info.DnsServerList.resize(1);
  Info.EnableRouting =
      readSmall(FRootDir + QStringLiteral("/proc/sys/net/ipv4/ip_forward"), 8).trimmed() == "1" ? 1
                                                                                                : 0;
  // NetBIOS node type and scope have no meaning here and stay empty.
  if (const DWORD Status = fits(SizeOfFixedInfo + ULONG(Info.DnsServerList.size() - 1) * 40, ASize);
      Status != NO_ERROR)
    return Status;
  AInfo = Info;
  return NO_ERROR;
}

DWORD LinuxIpHelper::GetIfEntry(TMibIfRow& ARow) {
  std::shared_ptr<const TState> State = state(false);
  if (!State->Snapshot.Find(int(ARow.Index)))
    State = state(true);
  const TNlLink* Link = State->Snapshot.Find(int(ARow.Index));
  if (!Link)
    return ERROR_INVALID_DATA;
  const TSysContext& Context = State->Context;
  const TSysNetInterface* Interface = Context.Interface(Link->IfIndex);
  ARow.Name = Link->Name;
  ARow.Type = interfaceType(*Link, Interface);
  ARow.Mtu = Link->Mtu;
  ARow.Speed = Context.Speed(Link->Name);
  ARow.PhysAddr = hasHardwareAddress(Link->ArpType) ? Link->HardwareAddress : QByteArray();
  ARow.AdminStatus = (Link->Flags & IFF_UP) ? 1 : 2;
  // MIB_IF_OPER_STATUS: 5 operational, 2 disconnected, 3 connecting, 0 non-operational.
  ARow.OperStatus =
      Link->OperState == QLatin1String("up") ||
              (Link->OperState == QLatin1String("unknown") && (Link->Flags & IFF_RUNNING))
          ? 5
      : Link->OperState == QLatin1String("dormant") ? 3
      : (Link->Flags & IFF_UP)                      ? 2
                                                    : 0;
  return NO_ERROR;
}

DWORD LinuxIpHelper::GetAdaptersAddresses(ULONG AFamily, ULONG,
                                          std::vector<TIpAdapterAddresses>& AAddresses,
                                          ULONG& ASize) {
  const std::shared_ptr<const TState> State = state();
  const TSnapshot& Snapshot = State->Snapshot;
  const TSysContext& Context = State->Context;
  const auto wanted = [&](int AAddressFamily) {
    return AFamily == 0 || (AFamily == WSA_AF_INET && AAddressFamily == AF_INET) ||
           (AFamily == WSA_AF_INET6 && AAddressFamily == AF_INET6);
  };
  std::vector<TIpAdapterAddresses> Result;
  for (const TNlLink& Link : Snapshot.Links) {
    const TSysNetInterface* Interface = Context.Interface(Link.IfIndex);
    TIpAdapterAddresses Entry;
    Entry.IfIndex = DWORD(Link.IfIndex);
    Entry.Ipv6IfIndex = DWORD(Link.IfIndex);
    Entry.AdapterName = Interface ? Interface->SettingId : QString();
    Entry.Description = Interface ? Interface->Name : Link.Name;
    Entry.FriendlyName = Entry.Description;
    Entry.PhysicalAddress =
        hasHardwareAddress(Link.ArpType) ? Link.HardwareAddress.left(8) : QByteArray();
    Entry.Mtu = Link.Mtu;
    Entry.IfType = interfaceType(Link, Interface);
    Entry.OperStatus = (Link.Flags & IFF_UP) && (Link.Flags & IFF_RUNNING) ? 1 : 2;
    Entry.Ipv4Enabled = true;
    Entry.Ipv6Enabled = Context.Ipv6Enabled(Link.Name);
    const TDhcpv6Identity Dhcpv6 = Context.Dhcpv6.Of(Entry.Description);
    if (Dhcpv6.Iaid != 0) {
      Entry.Dhcpv6Iaid = Dhcpv6.Iaid;
      Entry.Dhcpv6ClientDuid = Dhcpv6.Duid;
    }
    const std::uint64_t Speed = Context.Speed(Link.Name);
    Entry.TransmitLinkSpeed = Entry.ReceiveLinkSpeed = Speed;
    bool DefaultRoute = false;
    for (const TNlAddress& Address : Link.Addresses)
      if (wanted(Address.Family) && (Address.Family == AF_INET || Entry.Ipv6Enabled)) {
        Entry.UnicastAddresses.push_back(
            {socketAddress(Address.Family, Address.Bytes), std::uint8_t(Address.PrefixLength)});
        Entry.DhcpEnabled = Entry.DhcpEnabled || (Address.Family == AF_INET && Address.Dynamic);
      }
    for (const auto& [Gateway, Metric] : Link.Gateways) {
      DefaultRoute = true;
      if (wanted(Gateway.Family) && !Gateway.Bytes.isEmpty()) {
        Entry.GatewayAddresses.push_back(socketAddress(Gateway.Family, Gateway.Bytes));
        Entry.GatewayMetrics.push_back(Metric);
      }
    }
    // The name servers serve the interfaces that are up and route outward.
    if ((Link.Flags & IFF_UP) && DefaultRoute)
      for (const QString& Server : Context.NameServers) {
        unsigned char Bytes[16];
        const bool Six = Server.contains(u':');
        if (wanted(Six ? AF_INET6 : AF_INET) &&
            inet_pton(Six ? AF_INET6 : AF_INET, Server.toLatin1().constData(), Bytes) == 1)
          Entry.DnsServerAddresses.push_back(
              socketAddress(Six ? AF_INET6 : AF_INET,
                            QByteArray(reinterpret_cast<const char*>(Bytes), Six ? 16 : 4)));
      }
    Result.push_back(std::move(Entry));
  }
  if (Result.empty())
    return ERROR_NO_DATA;
  if (const DWORD Status = fits(ULONG(Result.size()) * SizeOfIpAdapterAddresses, ASize);
      Status != NO_ERROR)
    return Status;
  AAddresses = std::move(Result);
  return NO_ERROR;
}
