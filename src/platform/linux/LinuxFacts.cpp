#include "platform/linux/LinuxFacts.h"

#include "platform/linux/LinuxSysfs.h"
#include "platform/linux/OsRelease.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/ethtool.h>
#include <linux/if_arp.h>
#include <linux/rtnetlink.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netlink/addr.h>
#include <netlink/cache.h>
#include <netlink/errno.h>
#include <netlink/netlink.h>
#include <netlink/route/addr.h>
#include <netlink/route/link.h>
#include <netlink/route/route.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>

namespace {

constexpr qint64 MaxConfigFileBytes = 64 * 1024;
constexpr qint64 MaxLeaseFileBytes = 256 * 1024;
// A lease folder may hold very many files; only a few are read.
constexpr int MaxLeaseFiles = 16;

// ---- the rtnetlink dump -----------------------------------------------------

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

std::vector<TFactLink> dumpLinks() {
  std::vector<TFactLink> Links;
  QHash<int, qsizetype> Index;
  const auto find = [&](int AIfIndex) -> TFactLink* {
    const auto It = Index.constFind(AIfIndex);
    return It == Index.constEnd() ? nullptr : &Links[*It];
  };
  std::unique_ptr<nl_sock, TSocketFree> Socket(nl_socket_alloc());
  if (!Socket || nl_connect(Socket.get(), NETLINK_ROUTE) != 0)
    return Links;
  TCachePtr LinkCache = dump(
      [&](nl_cache** ACache) { return rtnl_link_alloc_cache(Socket.get(), AF_UNSPEC, ACache); });
  TCachePtr AddressCache =
      dump([&](nl_cache** ACache) { return rtnl_addr_alloc_cache(Socket.get(), ACache); });
  TCachePtr RouteCache = dump([&](nl_cache** ACache) {
    return rtnl_route_alloc_cache(Socket.get(), AF_UNSPEC, 0, ACache);
  });
  if (!LinkCache)
    return Links;
  for (nl_object* Object = nl_cache_get_first(LinkCache.get()); Object;
       Object = nl_cache_get_next(Object)) {
    auto* Link = reinterpret_cast<rtnl_link*>(Object);
    TFactLink Entry;
    Entry.IfIndex = rtnl_link_get_ifindex(Link);
    Entry.Name = QFile::decodeName(rtnl_link_get_name(Link));
    Entry.ArpType = rtnl_link_get_arptype(Link);
    Entry.Flags = rtnl_link_get_flags(Link);
    Entry.Mtu = rtnl_link_get_mtu(Link);
    Entry.HardwareAddress = bytesOf(rtnl_link_get_addr(Link));
    char State[32] = {};
    rtnl_link_operstate2str(rtnl_link_get_operstate(Link), State, sizeof State);
    Entry.OperState = QString::fromLatin1(State);
    if (const char* Kind = rtnl_link_get_type(Link))
      Entry.InfoKind = QString::fromLatin1(Kind);
    Links.push_back(std::move(Entry));
  }
  std::sort(Links.begin(), Links.end(),
            [](const TFactLink& A, const TFactLink& B) { return A.IfIndex < B.IfIndex; });
  for (qsizetype I = 0; I < qsizetype(Links.size()); ++I)
    Index.insert(Links[I].IfIndex, I);
  if (AddressCache)
    for (nl_object* Object = nl_cache_get_first(AddressCache.get()); Object;
         Object = nl_cache_get_next(Object)) {
      auto* Address = reinterpret_cast<rtnl_addr*>(Object);
      const unsigned Flags = rtnl_addr_get_flags(Address);
      // Addresses still in duplicate detection, or that failed it, are not in use.
      if (Flags & (IFA_F_TENTATIVE | IFA_F_DADFAILED))
        continue;
      TFactLink* Link = find(rtnl_addr_get_ifindex(Address));
      if (!Link)
        continue;
      nl_addr* Local = rtnl_addr_get_local(Address);
      TFactAddress Entry;
      Entry.Family = rtnl_addr_get_family(Address);
      Entry.Bytes = bytesOf(Local ? Local : rtnl_addr_get_peer(Address));
      Entry.PrefixLength = rtnl_addr_get_prefixlen(Address);
      Entry.Dynamic =
          rtnl_addr_get_valid_lifetime(Address) != 0xFFFFFFFFu && !(Flags & IFA_F_PERMANENT);
      if (!Entry.Bytes.isEmpty())
        Link->Addresses.push_back(std::move(Entry));
    }
  if (RouteCache)
    for (nl_object* Object = nl_cache_get_first(RouteCache.get()); Object;
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
        TFactLink* Link = find(rtnl_route_nh_get_ifindex(NextHop));
        if (!Link)
          continue;
        Link->Gateways.push_back({Family, bytesOf(rtnl_route_nh_get_gateway(NextHop)), Metric});
      }
    }
  return Links;
}

// The speed the driver reports for a link that is up, in bits per second
// (clamped to 32 bits), 0 when it reports none; asked of the kernel per
// link, in this process's namespace, as sysfs's "speed" asks it.
DWORD linkSpeed(int ASocket, const QString& AName) {
  // The settings and, behind them, room for the three link-mode masks.
  alignas(ethtool_link_settings) unsigned char Buffer[sizeof(ethtool_link_settings) + 3 * 127 * 4];
  std::memset(Buffer, 0, sizeof Buffer);
  auto& Settings = *reinterpret_cast<ethtool_link_settings*>(Buffer);
  const QByteArray Name = QFile::encodeName(AName);
  ifreq Interface{};
  if (Name.size() >= IFNAMSIZ)
    return 0;
  std::memcpy(Interface.ifr_name, Name.constData(), std::size_t(Name.size()));
  Interface.ifr_data = reinterpret_cast<char*>(Buffer);
  // The first call learns how many words the link-mode masks take.
  Settings.cmd = ETHTOOL_GLINKSETTINGS;
  if (::ioctl(ASocket, SIOCETHTOOL, &Interface) != 0 || Settings.link_mode_masks_nwords >= 0)
    return 0;
  const qint8 Words = qint8(-Settings.link_mode_masks_nwords);
  std::memset(Buffer, 0, sizeof Buffer);
  Settings.cmd = ETHTOOL_GLINKSETTINGS;
  Settings.link_mode_masks_nwords = Words;
  if (::ioctl(ASocket, SIOCETHTOOL, &Interface) != 0 || Settings.speed == 0 ||
      Settings.speed == quint32(SPEED_UNKNOWN))
    return 0;
  return DWORD(std::min<quint64>(quint64(Settings.speed) * 1000000, 0xFFFFFFFFull));
}

// The source address of a route to a public destination; 0 when there is
// none. Connecting a UDP socket sends nothing.
std::uint32_t preferredSource() {
  const int Fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (Fd < 0)
    return 0;
  sockaddr_in Target{};
  Target.sin_family = AF_INET;
  Target.sin_port = htons(53);
  ::inet_pton(AF_INET, "192.0.2.1", &Target.sin_addr); // documentation range
  std::uint32_t Source = 0;
  if (::connect(Fd, reinterpret_cast<sockaddr*>(&Target), sizeof Target) == 0) {
    sockaddr_in Local{};
    socklen_t Length = sizeof Local;
    if (::getsockname(Fd, reinterpret_cast<sockaddr*>(&Local), &Length) == 0)
      Source = ntohl(Local.sin_addr.s_addr);
  }
  ::close(Fd);
  return Source;
}

// ---- files ------------------------------------------------------------------

class TFiles {
public:
  explicit TFiles(const QString& ARoot) : FRoot(ARoot == QLatin1String("/") ? QString() : ARoot) {}

  // At most ACap bytes of a small file below the root; nullopt when it
  // cannot be read.
  std::optional<QByteArray> Read(const QString& APath, qint64 ACap = MaxConfigFileBytes) const {
    return ReadSmallFile(QFile::encodeName(FRoot + APath), ACap, true);
  }
  QByteArray Text(const QString& APath, qint64 ACap = MaxConfigFileBytes) const {
    return Read(APath, ACap).value_or(QByteArray());
  }
  bool Exists(const QString& APath) const {
    return ::access(QFile::encodeName(FRoot + APath).constData(), F_OK) == 0;
  }
  // The files of a folder, listed once for every kind of lease kept there.
  QStringList Names(const QString& AFolder) const {
    return QDir(FRoot + AFolder).entryList(QDir::Files);
  }
  // The contents of up to MaxLeaseFiles of ANames (files of AFolder) that
  // match APattern and do not begin with AExcept.
  QList<QByteArray> Read(const QString& AFolder, const QStringList& ANames, const QString& APattern,
                         const QString& AExcept = {}) const {
    QList<QByteArray> Texts;
    for (const QString& Name : ANames)
      if (QDir::match(APattern, Name) && (AExcept.isEmpty() || !Name.startsWith(AExcept)) &&
          Texts.size() < MaxLeaseFiles)
        Texts << Text(AFolder + u'/' + Name, MaxLeaseFileBytes);
    return Texts;
  }

private:
  QString FRoot;
};

} // namespace

QString TFactDhcp::ServerOf(int AIfIndex, const QString& AName) const {
  const auto It = NetworkdServers.constFind(AIfIndex);
  return It != NetworkdServers.constEnd() ? *It : DhclientServers.value(QFile::encodeName(AName));
}

TLinuxFacts::TLinuxFacts(QString ARoot)
    : FRoot(ARoot.isEmpty() ? QStringLiteral("/") : std::move(ARoot)) {
  FLive = QDir(FRoot).canonicalPath() == QLatin1String("/");
}

TLinuxFacts::TLinuxFacts(TLinuxFactsData AData)
    : FRoot(QStringLiteral("/")), FData(std::move(AData)) {
  // Every part is there already: marking them taken keeps the readers away.
  for (std::once_flag* Part : {&FLinksTaken, &FSystemTaken, &FDhcpTaken, &FDevicesTaken})
    std::call_once(*Part, [] {});
  index();
}

namespace {
std::mutex SharedLock;
std::map<QString, std::shared_ptr<TLinuxFacts>>& sharedSnapshots() {
  static std::map<QString, std::shared_ptr<TLinuxFacts>> Snapshots;
  return Snapshots;
}
} // namespace

std::shared_ptr<TLinuxFacts> TLinuxFacts::Shared(const QString& ARoot) {
  std::lock_guard Guard(SharedLock);
  std::shared_ptr<TLinuxFacts>& Facts =
      sharedSnapshots()[ARoot.isEmpty() ? QStringLiteral("/") : ARoot];
  if (!Facts)
    Facts = std::make_shared<TLinuxFacts>(ARoot);
  return Facts;
}

void TLinuxFacts::ReplaceShared(std::shared_ptr<TLinuxFacts> AFacts) {
  std::lock_guard Guard(SharedLock);
  sharedSnapshots()[QStringLiteral("/")] = std::move(AFacts);
}

void TLinuxFacts::index() {
  for (qsizetype I = 0; I < qsizetype(FData.Links.size()); ++I)
    FLinkIndex.insert(FData.Links[I].IfIndex, I);
  for (qsizetype I = 0; I < FData.Interfaces.size(); ++I)
    FInterfaceIndex.insert(FData.Interfaces[I].IfIndex, I);
}

void TLinuxFacts::takeLinks() {
  const QByteArray MachineId = System().MachineId;
  if (FLive) {
    FData.Links = dumpLinks();
    FData.Interfaces = AddSysfsFacts(FData.Links, MachineId);
    FData.PreferredSource = preferredSource();
    // A link that is down has no speed, as sysfs says of it.
    if (const int Socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0); Socket >= 0) {
      for (TFactLink& Link : FData.Links)
        if ((Link.Flags & IFF_UP) && Link.ArpType != ARPHRD_LOOPBACK)
          Link.SpeedBits = linkSpeed(Socket, Link.Name);
      ::close(Socket);
    }
  } else {
    // A fixture tree has no netlink: its sysfs entries are the links.
    FData.Interfaces = ReadTreeInterfaces(FRoot, MachineId);
    for (const TSysNetInterface& Interface : FData.Interfaces) {
      TFactLink Link;
      Link.IfIndex = Interface.IfIndex;
      Link.Name = Interface.Name;
      Link.ArpType = ARPHRD_ETHER;
      Link.Wireless = Interface.Kind == QLatin1String("wireless");
      FData.Links.push_back(std::move(Link));
    }
  }
  // procfs shows the reader's own namespace, whatever /sys shows; its
  // folder is opened once for all links.
  const int Conf =
      ::open(QFile::encodeName(FLive ? QStringLiteral("/proc/sys/net/ipv6/conf")
                                     : FRoot + QStringLiteral("/proc/sys/net/ipv6/conf"))
                 .constData(),
             O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (TFactLink& Link : FData.Links)
    Link.Ipv6Enabled =
        Conf >= 0 && !Link.Name.contains(u'/') &&
        ReadAttributeAt(Conf,
                        QFile::encodeName(Link.Name + QStringLiteral("/disable_ipv6")).constData(),
                        16) == "0";
  if (Conf >= 0)
    ::close(Conf);
  index();
}

const std::vector<TFactLink>& TLinuxFacts::Links() {
  std::call_once(FLinksTaken, [this] { takeLinks(); });
  return FData.Links;
}

std::uint32_t TLinuxFacts::PreferredSource() {
  Links();
  return FData.PreferredSource;
}

const TFactLink* TLinuxFacts::Link(int AIfIndex) {
  Links();
  const auto It = FLinkIndex.constFind(AIfIndex);
  return It == FLinkIndex.constEnd() ? nullptr : &FData.Links[*It];
}

const QList<TSysNetInterface>& TLinuxFacts::Interfaces() {
  Links();
  return FData.Interfaces;
}

const TSysNetInterface* TLinuxFacts::Interface(int AIfIndex) {
  Links();
  const auto It = FInterfaceIndex.constFind(AIfIndex);
  return It == FInterfaceIndex.constEnd() ? nullptr : &FData.Interfaces[*It];
}

const TFactSystem& TLinuxFacts::System() {
  std::call_once(FSystemTaken, [this] {
    const TFiles Files(FRoot);
    TFactSystem& S = FData.System;
    S.Host = ParseHostName(Files.Text(QStringLiteral("/proc/sys/kernel/hostname"), 4096));
    if (S.Host.Name.isEmpty() && FLive) {
      char Buffer[256] = {};
      if (::gethostname(Buffer, sizeof Buffer - 1) == 0)
        S.Host = ParseHostName(QByteArray(Buffer));
    }
    for (const char* Name : {"/etc/os-release", "/usr/lib/os-release"})
      if (const auto Text = Files.Read(QLatin1String(Name))) {
        S.PrettyName = OsReleasePrettyName(*Text);
        break;
      }
    S.KernelRelease =
        QString::fromUtf8(Files.Text(QStringLiteral("/proc/sys/kernel/osrelease"), 4096).trimmed());
    S.IpForward = Files.Text(QStringLiteral("/proc/sys/net/ipv4/ip_forward"), 8).trimmed() == "1";
    for (const char* Name : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
      S.MachineId = Files.Text(QLatin1String(Name), 4096).trimmed();
      if (!S.MachineId.isEmpty())
        break;
    }
    S.Ipv6Stack = Files.Exists(QStringLiteral("/proc/net/if_inet6"));
    bool TtlOk = false;
    const int Ttl =
        Files.Text(QStringLiteral("/proc/sys/net/ipv4/ip_default_ttl"), 8).trimmed().toInt(&TtlOk);
    if (TtlOk && Ttl > 0 && Ttl < 256)
      S.DefaultTtl = Ttl;
    S.UserId = ::geteuid();
    if (const passwd* Entry = ::getpwuid(S.UserId); Entry && Entry->pw_name)
      S.UserName = QString::fromLocal8Bit(Entry->pw_name);
    const std::optional<QByteArray> Upstream =
        Files.Read(QStringLiteral("/run/systemd/resolve/resolv.conf"));
    S.ResolvedUpstream = Upstream.has_value();
    if (const auto Text = Files.Read(QStringLiteral("/etc/resolv.conf"))) {
      S.Resolver = ParseResolverConfig(*Text);
      // The local stub of systemd-resolved stands for the servers it asks.
      if (S.Resolver->IsResolvedStub() && Upstream && !Upstream->isEmpty())
        S.Resolver = ParseResolverConfig(*Upstream);
    }
  });
  return FData.System;
}

const TFactDhcp& TLinuxFacts::Dhcp() {
  std::call_once(FDhcpTaken, [this] {
    const TFiles Files(FRoot);
    const QDir Networkd(FRoot + QStringLiteral("/run/systemd/netif/leases"));
    const QStringList Leases = Networkd.entryList(QDir::Files);
    for (qsizetype I = 0; I < Leases.size() && I < MaxSysEntries; ++I) {
      bool Ok = false;
      const int IfIndex = Leases[I].toInt(&Ok);
      if (!Ok)
        continue;
      if (std::optional<QString> Server = NetworkdDhcpServer(Files.Text(
              QStringLiteral("/run/systemd/netif/leases/") + Leases[I], MaxLeaseFileBytes)))
        FData.Dhcp.NetworkdServers.insert(IfIndex, *Server);
    }
    const QString Dhclient = QStringLiteral("/var/lib/dhcp");
    const QStringList DhclientFiles = Files.Names(Dhclient);
    for (const QByteArray& Text :
         Files.Read(Dhclient, DhclientFiles, QStringLiteral("dhclient*.leases"),
                    QStringLiteral("dhclient6"))) {
      const QHash<QByteArray, QString> OfFile = DhclientDhcpServers(Text);
      for (auto It = OfFile.constBegin(); It != OfFile.constEnd(); ++It)
        FData.Dhcp.DhclientServers.insert(It.key(), It.value());
    }
    // dhclient's files where Debian's ifupdown and NetworkManager keep them.
    QByteArray Dhcpv6;
    for (const QByteArray& Text :
         Files.Read(Dhclient, DhclientFiles, QStringLiteral("dhclient6*.leases")))
      Dhcpv6 += Text + '\n';
    const QString NetworkManager = QStringLiteral("/var/lib/NetworkManager");
    for (const QByteArray& Text : Files.Read(NetworkManager, Files.Names(NetworkManager),
                                             QStringLiteral("dhclient6-*.lease")))
      Dhcpv6 += Text + '\n';
    FData.Dhcp.Dhcpv6 = ReadDhcpv6Leases(Dhcpv6);
  });
  return FData.Dhcp;
}

const TFactDevices& TLinuxFacts::Devices() {
  std::call_once(FDevicesTaken, [this] { FData.Devices = ReadDevices(FRoot, Interfaces()); });
  return FData.Devices;
}

const TLinuxFactsData& TLinuxFacts::All() {
  Links();
  System();
  Dhcp();
  Devices();
  return FData;
}

DWORD SpeedBits(const QByteArray& ASysfsSpeed) {
  bool Ok = false;
  const qint64 Mbits = ASysfsSpeed.trimmed().toLongLong(&Ok);
  if (!Ok || Mbits <= 0)
    return 0;
  const qint64 Bits = Mbits > std::numeric_limits<qint64>::max() / 1000000
                          ? std::numeric_limits<qint64>::max()
                          : Mbits * 1000000;
  return DWORD(std::min<qint64>(Bits, 0xFFFFFFFFLL));
}
