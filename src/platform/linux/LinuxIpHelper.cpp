#include "platform/linux/LinuxIpHelper.h"

#include "platform/Sockets.h"

#include <QtEndian>

#include <arpa/inet.h>
#include <linux/if_arp.h>

namespace {

QString ipv4Text(const QByteArray& ABytes) {
  return ABytes.size() == 4 ? Ipv4ToString(qFromBigEndian<quint32>(ABytes.constData())) : QString();
}

QString maskText(int APrefixLength) {
  return Ipv4ToString(APrefixLength <= 0    ? 0
                      : APrefixLength >= 32 ? 0xFFFFFFFFu
                                            : ~((1u << (32 - APrefixLength)) - 1));
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

DWORD interfaceType(const TFactLink& ALink) {
  if (ALink.Wireless)
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

// The answer fits ASize, or the call reports the size it needs.
DWORD fits(ULONG ANeeded, ULONG& ASize) {
  if (ASize < ANeeded) {
    ASize = ANeeded;
    return ERROR_BUFFER_OVERFLOW;
  }
  return NO_ERROR;
}
} // namespace

LinuxIpHelper::LinuxIpHelper(std::shared_ptr<TLinuxFacts> AFacts) : FFacts(std::move(AFacts)) {}

LinuxIpHelper::LinuxIpHelper(const QString& ARootDir)
    : FFacts(std::make_shared<TLinuxFacts>(ARootDir)) {}

DWORD LinuxIpHelper::GetAdaptersInfo(std::vector<TIpAdapterInfo>& AInfo, ULONG& ASize) {
  std::vector<TIpAdapterInfo> Result;
  for (const TFactLink& Link : FFacts->Links()) {
    if (Link.ArpType == ARPHRD_LOOPBACK)
      continue;
    const TSysNetInterface* Interface = FFacts->Interface(Link.IfIndex);
    TIpAdapterInfo Info;
    Info.AdapterName = Interface ? Interface->SettingId : QString();
    Info.Description = Interface ? Interface->Name : Link.Name;
    Info.Address = hasHardwareAddress(Link.ArpType) ? Link.HardwareAddress.left(8) : QByteArray();
    Info.Index = DWORD(Link.IfIndex);
    Info.Type = interfaceType(Link);
    Info.IpAddressList.clear();
    for (const TFactAddress& Address : Link.Addresses)
      if (Address.Family == AF_INET) {
        Info.IpAddressList.push_back({ipv4Text(Address.Bytes), maskText(Address.PrefixLength)});
        Info.DhcpEnabled = Info.DhcpEnabled || Address.Dynamic;
      }
    if (Info.IpAddressList.empty())
      Info.IpAddressList.resize(1);
    Info.GatewayList.clear();
    for (const TFactGateway& Gateway : Link.Gateways)
      if (Gateway.Family == AF_INET)
        Info.GatewayList.push_back(
            {Gateway.Bytes.isEmpty() ? QStringLiteral("0.0.0.0") : ipv4Text(Gateway.Bytes),
             QStringLiteral("255.255.255.255")});
    if (Info.GatewayList.empty())
      Info.GatewayList.resize(1);
    if (Info.DhcpEnabled)
      Info.DhcpServer.front().IpAddress = FFacts->Dhcp().ServerOf(Link.IfIndex, Info.Description);
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
  const TFactSystem& System = FFacts->System();
  TFixedInfo Info;
  Info.HostName = System.Host.Short;
  Info.DomainName = System.Host.Domain;
  if (Info.DomainName.isEmpty() && System.Resolver)
    Info.DomainName = System.Resolver->Domain;
  const QStringList NameServers = System.Resolver ? System.Resolver->NameServers : QStringList();
  Info.DnsServerList.clear();
  for (const QString& Server : NameServers)
    if (!Server.contains(u':'))
      Info.DnsServerList.push_back({Server, QString()});
  if (Info.DnsServerList.empty())
    Info.DnsServerList.resize(1);
  Info.EnableRouting = System.IpForward ? 1 : 0;
  // NetBIOS node type and scope have no meaning here and stay empty.
  if (const DWORD Status = fits(SizeOfFixedInfo + ULONG(Info.DnsServerList.size() - 1) * 40, ASize);
      Status != NO_ERROR)
    return Status;
  AInfo = Info;
  return NO_ERROR;
}

DWORD LinuxIpHelper::GetIfEntry(TMibIfRow& ARow) {
  const TFactLink* Link = FFacts->Link(int(ARow.Index));
  if (!Link)
    return ERROR_INVALID_DATA;
  ARow.Name = Link->Name;
  ARow.Type = interfaceType(*Link);
  ARow.Mtu = Link->Mtu;
  ARow.Speed = Link->SpeedBits;
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
  const TFactDhcp& Dhcp = FFacts->Dhcp();
  const TFactSystem& System = FFacts->System();
  const auto wanted = [&](int AAddressFamily) {
    return AFamily == 0 || (AFamily == WSA_AF_INET && AAddressFamily == AF_INET) ||
           (AFamily == WSA_AF_INET6 && AAddressFamily == AF_INET6);
  };
  std::vector<TIpAdapterAddresses> Result;
  for (const TFactLink& Link : FFacts->Links()) {
    const TSysNetInterface* Interface = FFacts->Interface(Link.IfIndex);
    TIpAdapterAddresses Entry;
    Entry.IfIndex = DWORD(Link.IfIndex);
    Entry.Ipv6IfIndex = DWORD(Link.IfIndex);
    Entry.AdapterName = Interface ? Interface->SettingId : QString();
    Entry.Description = Interface ? Interface->Name : Link.Name;
    Entry.FriendlyName = Entry.Description;
    Entry.PhysicalAddress =
        hasHardwareAddress(Link.ArpType) ? Link.HardwareAddress.left(8) : QByteArray();
    Entry.Mtu = Link.Mtu;
    Entry.IfType = interfaceType(Link);
    Entry.OperStatus = (Link.Flags & IFF_UP) && (Link.Flags & IFF_RUNNING) ? 1 : 2;
    Entry.Ipv4Enabled = true;
    Entry.Ipv6Enabled = Link.Ipv6Enabled;
    const TDhcpv6Identity Dhcpv6 = Dhcp.Dhcpv6.Of(Entry.Description);
    if (Dhcpv6.Iaid != 0) {
      Entry.Dhcpv6Iaid = Dhcpv6.Iaid;
      Entry.Dhcpv6ClientDuid = Dhcpv6.Duid;
    }
    const std::uint64_t Speed = Link.SpeedBits;
    Entry.TransmitLinkSpeed = Entry.ReceiveLinkSpeed = Speed;
    bool DefaultRoute = false;
    for (const TFactAddress& Address : Link.Addresses)
      if (wanted(Address.Family) && (Address.Family == AF_INET || Entry.Ipv6Enabled)) {
        Entry.UnicastAddresses.push_back(
            {socketAddress(Address.Family, Address.Bytes), std::uint8_t(Address.PrefixLength)});
        Entry.DhcpEnabled = Entry.DhcpEnabled || (Address.Family == AF_INET && Address.Dynamic);
      }
    for (const TFactGateway& Gateway : Link.Gateways) {
      DefaultRoute = true;
      if (wanted(Gateway.Family) && !Gateway.Bytes.isEmpty()) {
        Entry.GatewayAddresses.push_back(socketAddress(Gateway.Family, Gateway.Bytes));
        Entry.GatewayMetrics.push_back(Gateway.Metric);
      }
    }
    // The name servers serve the interfaces that are up and route outward.
    if ((Link.Flags & IFF_UP) && DefaultRoute && System.Resolver)
      for (const QString& Server : System.Resolver->NameServers) {
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
