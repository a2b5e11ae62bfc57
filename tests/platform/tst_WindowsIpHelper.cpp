// The IP Helper port on Windows: the system's records, built here by hand
// as the system lays them out, turned into the port's values (the fields
// wine leaves empty - DHCP server, WINS, leases, IPv6 gateways, DHCPv6
// identities - are only reachable this way), the buffer protocol against a
// stand-in call, and the live calls in the loopback-only network of the
// test run.

#include "support/TestMain.h"

#include "platform/windows/WindowsIpHelperRecords.h"

#include "platform/windows/WindowsIpHelper.h"

#include <QTest>

#include <cstring>
#include <deque>
#include <optional>

namespace {

QString text(const TSocketAddress& AAddress) {
  int Error = 0;
  return FormatSocketAddress(AAddress, Error).value_or(QStringLiteral("<error %1>").arg(Error));
}

QStringList texts(const std::vector<TSocketAddress>& AAddresses) {
  QStringList Result;
  for (const TSocketAddress& Address : AAddresses)
    Result << text(Address);
  return Result;
}

QStringList texts(const std::vector<TIpAddrString>& AChain) {
  QStringList Result;
  for (const TIpAddrString& Element : AChain)
    Result << Element.IpAddress + u'/' + Element.IpMask;
  return Result;
}

SOCKADDR_INET ipv4(const char* AHex, USHORT APort = 0) {
  SOCKADDR_INET Address{};
  Address.Ipv4.sin_family = AF_INET;
  Address.Ipv4.sin_port = htons(APort);
  const QByteArray Bytes = QByteArray::fromHex(AHex);
  std::memcpy(&Address.Ipv4.sin_addr, Bytes.constData(), 4);
  return Address;
}

SOCKADDR_INET ipv6(const char* AHex, ULONG AScope = 0, USHORT APort = 0) {
  SOCKADDR_INET Address{};
  Address.Ipv6.sin6_family = AF_INET6;
  Address.Ipv6.sin6_port = htons(APort);
  Address.Ipv6.sin6_scope_id = AScope;
  const QByteArray Bytes = QByteArray::fromHex(AHex);
  std::memcpy(&Address.Ipv6.sin6_addr, Bytes.constData(), 16);
  return Address;
}

// A chain of adapter records with their address chains, laid out as the
// system lays them out; it owns every record the chain points into.
class TAdapterChain {
public:
  IP_ADAPTER_ADDRESSES_LH& Add(DWORD AIfIndex) {
    IP_ADAPTER_ADDRESSES_LH& Adapter = FAdapters.emplace_back();
    Adapter.Length = sizeof Adapter;
    Adapter.IfIndex = AIfIndex;
    Adapter.Ipv6IfIndex = AIfIndex;
    if (FAdapters.size() > 1)
      FAdapters[FAdapters.size() - 2].Next = &Adapter;
    return Adapter;
  }
  void AddUnicast(IP_ADAPTER_ADDRESSES_LH& AAdapter, const SOCKADDR_INET& AAddress,
                  UINT8 APrefixLength) {
    IP_ADAPTER_UNICAST_ADDRESS_LH& Unicast = FUnicast.emplace_back();
    Unicast.Length = sizeof Unicast;
    Unicast.Address = socketAddress(AAddress);
    Unicast.OnLinkPrefixLength = APrefixLength;
    append(AAdapter.FirstUnicastAddress, Unicast);
  }
  void AddDnsServer(IP_ADAPTER_ADDRESSES_LH& AAdapter, const SOCKADDR_INET& AAddress) {
    IP_ADAPTER_DNS_SERVER_ADDRESS_XP& Server = FDnsServers.emplace_back();
    Server.Length = sizeof Server;
    Server.Address = socketAddress(AAddress);
    append(AAdapter.FirstDnsServerAddress, Server);
  }
  void AddGateway(IP_ADAPTER_ADDRESSES_LH& AAdapter, const SOCKADDR_INET& AAddress) {
    IP_ADAPTER_GATEWAY_ADDRESS_LH& Gateway = FGateways.emplace_back();
    Gateway.Length = sizeof Gateway;
    Gateway.Address = socketAddress(AAddress);
    append(AAdapter.FirstGatewayAddress, Gateway);
  }
  const IP_ADAPTER_ADDRESSES_LH* First() const {
    return FAdapters.empty() ? nullptr : &FAdapters.front();
  }

private:
  SOCKET_ADDRESS socketAddress(const SOCKADDR_INET& AAddress) {
    SOCKADDR_INET& Stored = FAddresses.emplace_back(AAddress);
    return {reinterpret_cast<sockaddr*>(&Stored),
            AAddress.si_family == AF_INET6 ? int(sizeof(sockaddr_in6)) : int(sizeof(sockaddr_in))};
  }
  template <class T> static void append(T*& AFirst, T& AElement) {
    T** Link = &AFirst;
    while (*Link)
      Link = &(*Link)->Next;
    *Link = &AElement;
  }

  std::deque<IP_ADAPTER_ADDRESSES_LH> FAdapters;
  std::deque<IP_ADAPTER_UNICAST_ADDRESS_LH> FUnicast;
  std::deque<IP_ADAPTER_DNS_SERVER_ADDRESS_XP> FDnsServers;
  std::deque<IP_ADAPTER_GATEWAY_ADDRESS_LH> FGateways;
  std::deque<SOCKADDR_INET> FAddresses;
};

// A route table of default and other routes, as GetIpForwardTable2 gives it.
class TRoutes {
public:
  void Add(NET_IFINDEX AIfIndex, UINT8 APrefixLength, const SOCKADDR_INET& ANextHop,
           ULONG AMetric) {
    MIB_IPFORWARD_ROW2 Row{};
    Row.InterfaceIndex = AIfIndex;
    Row.DestinationPrefix.Prefix.si_family = ANextHop.si_family;
    Row.DestinationPrefix.PrefixLength = APrefixLength;
    Row.NextHop = ANextHop;
    Row.Metric = AMetric;
    FRows.push_back(Row);
  }
  const MIB_IPFORWARD_TABLE2* Table() {
    const std::size_t Bytes =
        offsetof(MIB_IPFORWARD_TABLE2, Table) + FRows.size() * sizeof(FRows[0]);
    FBuffer.assign(Bytes / 8 + 1, 0);
    auto* Table = reinterpret_cast<MIB_IPFORWARD_TABLE2*>(FBuffer.data());
    Table->NumEntries = ULONG(FRows.size());
    std::memcpy(Table->Table, FRows.data(), FRows.size() * sizeof(FRows[0]));
    return Table;
  }

private:
  std::vector<MIB_IPFORWARD_ROW2> FRows;
  std::vector<std::uint64_t> FBuffer; // aligned as the system's table is
};

template <std::size_t N> void setText(char (&ATarget)[N], const char* AText) {
  std::memset(ATarget, 0, N);
  std::memcpy(ATarget, AText, std::min(std::strlen(AText), N));
}

void setElement(IP_ADDR_STRING& AElement, const char* AAddress, const char* AMask) {
  setText(AElement.IpAddress.String, AAddress);
  setText(AElement.IpMask.String, AMask);
}

const TIpAdapterAddresses* findLoopback(const std::vector<TIpAdapterAddresses>& AAdapters) {
  for (const TIpAdapterAddresses& Adapter : AAdapters)
    if (Adapter.IfType == IF_TYPE_SOFTWARE_LOOPBACK)
      return &Adapter;
  return nullptr;
}

} // namespace

class tst_WindowsIpHelper : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void adapterAddressesChain();
  void adapterFlags_data();
  void adapterFlags();
  void olderShorterRecord();
  void socketAddress_data();
  void socketAddress();
  void adapterInfoChain();
  void addrStringChainEnds_data();
  void addrStringChainEnds();
  void fixedInfo_data();
  void fixedInfo();
  void ifRow_data();
  void ifRow();
  void bufferProtocol_data();
  void bufferProtocol();
  void bufferProtocolCallerComesBack();

  void liveEntryPoints();
  void liveLoopbackAddresses();
  void liveIfEntry();
  void liveAdaptersInfo();
  void liveNetworkParams();
};

// Two adapters: a dual-stack Ethernet one on DHCP with every chain filled,
// and a bare one with an 8-byte hardware address and nothing else. The
// route table holds decoys: a route through the same gateway that is not a
// default route, and a default route through it on another interface.
void tst_WindowsIpHelper::adapterAddressesChain() {
  TAdapterChain Chain;
  IP_ADAPTER_ADDRESSES_LH& Ethernet = Chain.Add(7);
  char EthernetName[] = "{4E1C2A44-0000-4000-8000-000000000007}";
  wchar_t EthernetDescription[] = L"Intel(R) Ethernet \u00e9";
  wchar_t EthernetFriendly[] = L"Ethernet 2";
  Ethernet.AdapterName = EthernetName;
  Ethernet.Description = EthernetDescription;
  Ethernet.FriendlyName = EthernetFriendly;
  const BYTE Mac[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  std::memcpy(Ethernet.PhysicalAddress, Mac, sizeof Mac);
  Ethernet.PhysicalAddressLength = sizeof Mac;
  Ethernet.Mtu = 1500;
  Ethernet.IfType = IF_TYPE_ETHERNET_CSMACD;
  Ethernet.OperStatus = IfOperStatusUp;
  Ethernet.Ipv6IfIndex = 12;
  Ethernet.Flags = IP_ADAPTER_DHCP_ENABLED | IP_ADAPTER_IPV4_ENABLED | IP_ADAPTER_IPV6_ENABLED;
  Ethernet.TransmitLinkSpeed = 2500000000ull;
  Ethernet.ReceiveLinkSpeed = 1000000000ull;
  Ethernet.Dhcpv6Iaid = 0x9EA1E75C;
  const QByteArray Duid = QByteArray::fromHex("000100012a3b4c5d001a2b3c4d5e");
  std::memcpy(Ethernet.Dhcpv6ClientDuid, Duid.constData(), std::size_t(Duid.size()));
  Ethernet.Dhcpv6ClientDuidLength = ULONG(Duid.size());
  Chain.AddUnicast(Ethernet, ipv4("c0a80114"), 24);
  Chain.AddUnicast(Ethernet, ipv6("20010db8000000000000000000000020"), 64);
  Chain.AddUnicast(Ethernet, ipv6("fe800000000000000000000000000020", 12), 64);
  Chain.AddDnsServer(Ethernet, ipv4("c0a80101"));
  Chain.AddDnsServer(Ethernet, ipv6("20010db8000000000000000000000053"));
  Chain.AddGateway(Ethernet, ipv4("c0a80101"));
  Chain.AddGateway(Ethernet, ipv6("fe800000000000000000000000000001", 12));

  IP_ADAPTER_ADDRESSES_LH& Bare = Chain.Add(9);
  const BYTE Long[] = {0x02, 0x00, 0x5E, 0x10, 0x00, 0x00, 0x00, 0x01};
  std::memcpy(Bare.PhysicalAddress, Long, sizeof Long);
  Bare.PhysicalAddressLength = sizeof Long;
  Bare.IfType = IF_TYPE_TUNNEL;
  Bare.OperStatus = IfOperStatusDown;

  TRoutes Routes;
  Routes.Add(7, 24, ipv4("c0a80101"), 5);
  Routes.Add(9, 0, ipv4("c0a80101"), 99);
  Routes.Add(7, 0, ipv4("c0a80101"), 25);
  Routes.Add(12, 0, ipv6("fe800000000000000000000000000001", 12), 256);

  const std::vector<TIpAdapterAddresses> Adapters =
      AdapterAddressesRecords(Chain.First(), Routes.Table());
  QCOMPARE(Adapters.size(), std::size_t(2));

  const TIpAdapterAddresses& First = Adapters[0];
  QCOMPARE(First.IfIndex, DWORD(7));
  QCOMPARE(First.Ipv6IfIndex, DWORD(12));
  QCOMPARE(First.AdapterName, QStringLiteral("{4E1C2A44-0000-4000-8000-000000000007}"));
  QCOMPARE(First.Description, QStringLiteral("Intel(R) Ethernet \u00e9"));
  QCOMPARE(First.FriendlyName, QStringLiteral("Ethernet 2"));
  QCOMPARE(First.PhysicalAddress, QByteArray::fromHex("001a2b3c4d5e"));
  QCOMPARE(First.Mtu, DWORD(1500));
  QCOMPARE(First.IfType, DWORD(IF_TYPE_ETHERNET_CSMACD));
  QCOMPARE(First.OperStatus, DWORD(1));
  QVERIFY(First.Ipv4Enabled);
  QVERIFY(First.Ipv6Enabled);
  QVERIFY(First.DhcpEnabled);
  QStringList Unicast;
  for (const TUnicastAddress& Address : First.UnicastAddresses)
    Unicast << text(Address.Address) + u'/' + QString::number(Address.PrefixLength);
  QCOMPARE(Unicast,
           QStringList({QStringLiteral("192.168.1.20/24"), QStringLiteral("2001:db8::20/64"),
                        QStringLiteral("fe80::20%12/64")}));
  QCOMPARE(texts(First.DnsServerAddresses),
           QStringList({QStringLiteral("192.168.1.1"), QStringLiteral("2001:db8::53")}));
  QCOMPARE(texts(First.GatewayAddresses),
           QStringList({QStringLiteral("192.168.1.1"), QStringLiteral("fe80::1%12")}));
  QCOMPARE(First.GatewayMetrics, std::vector<DWORD>({25, 256}));
  QCOMPARE(First.TransmitLinkSpeed, std::uint64_t(2500000000ull));
  QCOMPARE(First.ReceiveLinkSpeed, std::uint64_t(1000000000ull));
  QCOMPARE(First.Dhcpv6Iaid, DWORD(0x9EA1E75C));
  QCOMPARE(First.Dhcpv6ClientDuid, Duid);

  const TIpAdapterAddresses& Second = Adapters[1];
  QCOMPARE(Second.IfIndex, DWORD(9));
  QCOMPARE(Second.PhysicalAddress, QByteArray::fromHex("02005e1000000001"));
  QCOMPARE(Second.IfType, DWORD(IF_TYPE_TUNNEL));
  QCOMPARE(Second.OperStatus, DWORD(2));
  QVERIFY(Second.Description.isEmpty());
  QVERIFY(!Second.Ipv4Enabled && !Second.Ipv6Enabled && !Second.DhcpEnabled);
  QVERIFY(Second.UnicastAddresses.empty());
  QVERIFY(Second.DnsServerAddresses.empty());
  QVERIFY(Second.GatewayAddresses.empty());
  QVERIFY(Second.Dhcpv6ClientDuid.isEmpty());

  // Without a route table the gateways are still there, one metric each.
  const std::vector<TIpAdapterAddresses> NoRoutes = AdapterAddressesRecords(Chain.First());
  QCOMPARE(NoRoutes[0].GatewayMetrics, std::vector<DWORD>({0, 0}));
}

void tst_WindowsIpHelper::adapterFlags_data() {
  QTest::addColumn<uint>("flags");
  QTest::addColumn<bool>("ipv4");
  QTest::addColumn<bool>("ipv6");
  QTest::addColumn<bool>("dhcp");
  QTest::newRow("none") << 0u << false << false << false;
  QTest::newRow("IPv4 only") << uint(IP_ADAPTER_IPV4_ENABLED) << true << false << false;
  QTest::newRow("IPv6 only") << uint(IP_ADAPTER_IPV6_ENABLED) << false << true << false;
  QTest::newRow("both on DHCP") << uint(IP_ADAPTER_IPV4_ENABLED | IP_ADAPTER_IPV6_ENABLED |
                                        IP_ADAPTER_DHCP_ENABLED)
                                << true << true << true;
  QTest::newRow("other bits only")
      << uint(IP_ADAPTER_DDNS_ENABLED | IP_ADAPTER_NETBIOS_OVER_TCPIP_ENABLED |
              IP_ADAPTER_IPV6_OTHER_STATEFUL_CONFIG)
      << false << false << false;
}

void tst_WindowsIpHelper::adapterFlags() {
  QFETCH(uint, flags);
  QFETCH(bool, ipv4);
  QFETCH(bool, ipv6);
  QFETCH(bool, dhcp);
  IP_ADAPTER_ADDRESSES_LH Adapter{};
  Adapter.Length = sizeof Adapter;
  Adapter.Flags = flags;
  const TIpAdapterAddresses Record = AdapterAddressesRecord(Adapter);
  QCOMPARE(Record.Ipv4Enabled, ipv4);
  QCOMPARE(Record.Ipv6Enabled, ipv6);
  QCOMPARE(Record.DhcpEnabled, dhcp);
}

// Before Vista the records end earlier: what lies beyond their Length is
// not theirs, however it looks.
void tst_WindowsIpHelper::olderShorterRecord() {
  TAdapterChain Chain;
  IP_ADAPTER_ADDRESSES_LH& Adapter = Chain.Add(3);
  Chain.AddUnicast(Adapter, ipv4("0a000005"), 8);
  Chain.AddGateway(Adapter, ipv4("0a000001"));
  Adapter.Length = sizeof(IP_ADAPTER_ADDRESSES_XP);
  const_cast<IP_ADAPTER_UNICAST_ADDRESS_LH*>(Adapter.FirstUnicastAddress)->Length =
      sizeof(IP_ADAPTER_UNICAST_ADDRESS_XP);
  Adapter.TransmitLinkSpeed = 12345;
  Adapter.Dhcpv6Iaid = 77;
  Adapter.Dhcpv6ClientDuidLength = 4;

  const TIpAdapterAddresses Record = AdapterAddressesRecord(Adapter);
  QCOMPARE(Record.UnicastAddresses.size(), std::size_t(1));
  QCOMPARE(text(Record.UnicastAddresses[0].Address), QStringLiteral("10.0.0.5"));
  QCOMPARE(Record.UnicastAddresses[0].PrefixLength, std::uint8_t(0));
  QVERIFY(Record.GatewayAddresses.empty());
  QCOMPARE(Record.TransmitLinkSpeed, std::uint64_t(0));
  QCOMPARE(Record.Dhcpv6Iaid, DWORD(0));
  QVERIFY(Record.Dhcpv6ClientDuid.isEmpty());
}

void tst_WindowsIpHelper::socketAddress_data() {
  QTest::addColumn<QByteArray>("record");
  QTest::addColumn<int>("length");
  QTest::addColumn<int>("family");
  QTest::addColumn<QString>("text");
  const auto raw = [](const SOCKADDR_INET& AAddress) {
    return QByteArray(reinterpret_cast<const char*>(&AAddress), sizeof AAddress);
  };
  const int V4 = sizeof(sockaddr_in), V6 = sizeof(sockaddr_in6);
  QTest::newRow("IPv4 with port") << raw(ipv4("0a000001", 53)) << V4 << int(WSA_AF_INET)
                                  << QStringLiteral("10.0.0.1:53");
  QTest::newRow("IPv6 with scope") << raw(ipv6("fe800000000000000000000000000001", 4)) << V6
                                   << int(WSA_AF_INET6) << QStringLiteral("fe80::1%4");
  QTest::newRow("no record") << QByteArray() << 0 << 0 << QString();
  QTest::newRow("IPv6 cut short") << raw(ipv6("20010db8000000000000000000000001")) << V4 << 0
                                  << QString();
  QTest::newRow("negative length") << raw(ipv4("0a000001")) << -1 << 0 << QString();
  SOCKADDR_INET Other{};
  Other.si_family = AF_UNSPEC;
  QTest::newRow("other family") << raw(Other) << V6 << 0 << QString();
}

void tst_WindowsIpHelper::socketAddress() {
  QFETCH(QByteArray, record);
  QFETCH(int, length);
  QFETCH(int, family);
  QFETCH(QString, text);
  SOCKADDR_INET Storage{};
  std::memcpy(&Storage, record.constData(), std::size_t(record.size()));
  const SOCKET_ADDRESS Address{record.isEmpty() ? nullptr : reinterpret_cast<sockaddr*>(&Storage),
                               length};
  const TSocketAddress Record = SocketAddressRecord(Address);
  QCOMPARE(int(Record.Family), family);
  if (family != 0)
    QCOMPARE(::text(Record), text);
  else
    QVERIFY(Record.Address.isEmpty());
}

// The first adapter has every chain and field set, a description that fills
// its whole array without a terminating NUL, and a 6-byte address; the
// second has the chains as the system leaves them for an adapter without
// IPv4 configuration (one element each) and an 8-byte address.
void tst_WindowsIpHelper::adapterInfoChain() {
  std::deque<IP_ADDR_STRING> More;
  IP_ADAPTER_INFO Infos[2] = {};
  IP_ADAPTER_INFO& Full = Infos[0];
  Full.Next = &Infos[1];
  setText(Full.AdapterName, "{11111111-2222-3333-4444-555555555555}");
  std::memset(Full.Description, 'D', sizeof Full.Description);
  const BYTE Mac[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  std::memcpy(Full.Address, Mac, sizeof Mac);
  Full.AddressLength = sizeof Mac;
  Full.Index = 11;
  Full.Type = IF_TYPE_ETHERNET_CSMACD;
  Full.DhcpEnabled = 1;
  setElement(Full.IpAddressList, "10.0.0.5", "255.255.255.0");
  setElement(More.emplace_back(), "10.0.1.5", "255.255.0.0");
  Full.IpAddressList.Next = &More.back();
  setElement(Full.GatewayList, "10.0.0.1", "255.255.255.255");
  setElement(Full.DhcpServer, "10.0.0.2", "255.255.255.255");
  Full.HaveWins = TRUE;
  setElement(Full.PrimaryWinsServer, "10.0.0.3", "255.255.255.255");
  setElement(Full.SecondaryWinsServer, "10.0.0.4", "255.255.255.255");
  Full.LeaseObtained = 1700000000;
  Full.LeaseExpires = 1700086400;

  IP_ADAPTER_INFO& Empty = Infos[1];
  setText(Empty.Description, "Loopback-free adapter   ");
  const BYTE Long[] = {1, 2, 3, 4, 5, 6, 7, 8};
  std::memcpy(Empty.Address, Long, sizeof Long);
  Empty.AddressLength = sizeof Long;
  Empty.Index = 12;
  Empty.Type = IF_TYPE_IEEE80211;
  setElement(Empty.IpAddressList, "0.0.0.0", "0.0.0.0");

  const std::vector<TIpAdapterInfo> Adapters = AdapterInfoRecords(&Infos[0]);
  QCOMPARE(Adapters.size(), std::size_t(2));
  const TIpAdapterInfo& First = Adapters[0];
  QCOMPARE(First.AdapterName, QStringLiteral("{11111111-2222-3333-4444-555555555555}"));
  QCOMPARE(First.Description, QString(int(sizeof Full.Description), u'D'));
  QCOMPARE(First.Address, QByteArray::fromHex("001a2b3c4d5e"));
  QCOMPARE(First.Index, DWORD(11));
  QCOMPARE(First.Type, UINT(IF_TYPE_ETHERNET_CSMACD));
  QVERIFY(First.DhcpEnabled);
  QCOMPARE(texts(First.IpAddressList), QStringList({QStringLiteral("10.0.0.5/255.255.255.0"),
                                                    QStringLiteral("10.0.1.5/255.255.0.0")}));
  QCOMPARE(texts(First.GatewayList), QStringList({QStringLiteral("10.0.0.1/255.255.255.255")}));
  QCOMPARE(texts(First.DhcpServer), QStringList({QStringLiteral("10.0.0.2/255.255.255.255")}));
  QVERIFY(First.HaveWins);
  QCOMPARE(texts(First.PrimaryWinsServer),
           QStringList({QStringLiteral("10.0.0.3/255.255.255.255")}));
  QCOMPARE(texts(First.SecondaryWinsServer),
           QStringList({QStringLiteral("10.0.0.4/255.255.255.255")}));
  QCOMPARE(First.LeaseObtained, std::int64_t(1700000000));
  QCOMPARE(First.LeaseExpires, std::int64_t(1700086400));

  const TIpAdapterInfo& Second = Adapters[1];
  QCOMPARE(Second.Description, QStringLiteral("Loopback-free adapter   "));
  QCOMPARE(Second.Address, QByteArray::fromHex("0102030405060708"));
  QVERIFY(!Second.DhcpEnabled);
  QVERIFY(!Second.HaveWins);
  QCOMPARE(texts(Second.IpAddressList), QStringList({QStringLiteral("0.0.0.0/0.0.0.0")}));
  for (const auto* Chain : {&Second.GatewayList, &Second.DhcpServer, &Second.PrimaryWinsServer,
                            &Second.SecondaryWinsServer})
    QCOMPARE(texts(*Chain), QStringList({QStringLiteral("/")}));
  QCOMPARE(Second.LeaseObtained, std::int64_t(0));
}

void tst_WindowsIpHelper::addrStringChainEnds_data() {
  QTest::addColumn<int>("elements");
  QTest::addColumn<bool>("lastLinksToItself");
  QTest::addColumn<QStringList>("chain");
  QTest::newRow("embedded element only") << 1 << false << QStringList({QStringLiteral("a0/m0")});
  QTest::newRow("three linked") << 3 << false
                                << QStringList({QStringLiteral("a0/m0"), QStringLiteral("a1/m1"),
                                                QStringLiteral("a2/m2")});
  QTest::newRow("embedded element links to itself")
      << 1 << true << QStringList({QStringLiteral("a0/m0")});
  QTest::newRow("last links to itself")
      << 2 << true << QStringList({QStringLiteral("a0/m0"), QStringLiteral("a1/m1")});
}

void tst_WindowsIpHelper::addrStringChainEnds() {
  QFETCH(int, elements);
  QFETCH(bool, lastLinksToItself);
  QFETCH(QStringList, chain);
  std::vector<IP_ADDR_STRING> Elements(static_cast<std::size_t>(elements));
  for (int I = 0; I < elements; ++I) {
    setElement(Elements[std::size_t(I)], QByteArray("a" + QByteArray::number(I)).constData(),
               QByteArray("m" + QByteArray::number(I)).constData());
    if (I > 0)
      Elements[std::size_t(I - 1)].Next = &Elements[std::size_t(I)];
  }
  if (lastLinksToItself)
    Elements.back().Next = &Elements.back();
  QCOMPARE(texts(AddrStringChain(Elements.front())), chain);
}

void tst_WindowsIpHelper::fixedInfo_data() {
  QTest::addColumn<int>("current"); // element of the chain; -1 null, -2 outside the chain
  QTest::addColumn<int>("place");
  QTest::newRow("second of three") << 1 << 1;
  QTest::newRow("the embedded one") << 0 << 0;
  QTest::newRow("none") << -1 << -1;
  QTest::newRow("outside the chain") << -2 << -1;
}

void tst_WindowsIpHelper::fixedInfo() {
  QFETCH(int, current);
  QFETCH(int, place);
  FIXED_INFO Info{};
  IP_ADDR_STRING Servers[2] = {};
  IP_ADDR_STRING Stray{};
  setText(Info.HostName, "kelvane-host");
  setText(Info.DomainName, "example.test");
  setElement(Info.DnsServerList, "192.0.2.53", "");
  setElement(Servers[0], "192.0.2.54", "");
  setElement(Servers[1], "192.0.2.55", "");
  setElement(Stray, "198.51.100.1", "");
  Info.DnsServerList.Next = &Servers[0];
  Servers[0].Next = &Servers[1];
  Info.CurrentDnsServer = current == 0    ? &Info.DnsServerList
                          : current > 0   ? &Servers[current - 1]
                          : current == -2 ? &Stray
                                          : nullptr;
  Info.NodeType = HYBRID_NODETYPE;
  setText(Info.ScopeId, "scope.test");
  Info.EnableRouting = 0x100; // only the low byte counts for the callers
  Info.EnableProxy = 1;
  Info.EnableDns = 1;

  const TFixedInfo Record = FixedInfoRecord(Info);
  QCOMPARE(Record.CurrentDnsServer, place);
  QCOMPARE(texts(Record.DnsServerList),
           QStringList({QStringLiteral("192.0.2.53/"), QStringLiteral("192.0.2.54/"),
                        QStringLiteral("192.0.2.55/")}));
  QCOMPARE(Record.HostName, QStringLiteral("kelvane-host"));
  QCOMPARE(Record.DomainName, QStringLiteral("example.test"));
  QCOMPARE(Record.NodeType, UINT(8));
  QCOMPARE(Record.ScopeId, QStringLiteral("scope.test"));
  QCOMPARE(Record.EnableRouting, UINT(0x100));
  QCOMPARE(Record.EnableProxy, UINT(1));
  QCOMPARE(Record.EnableDns, UINT(1));
}

void tst_WindowsIpHelper::ifRow_data() {
  QTest::addColumn<QByteArray>("physical");
  QTest::addColumn<uint>("length");
  QTest::addColumn<QByteArray>("expected");
  const QByteArray Eight = QByteArray::fromHex("0102030405060708");
  QTest::newRow("6 bytes") << Eight << 6u << Eight.left(6);
  QTest::newRow("8 bytes") << Eight << 8u << Eight;
  QTest::newRow("length beyond the array") << Eight << 200u << Eight;
  QTest::newRow("none") << Eight << 0u << QByteArray();
}

void tst_WindowsIpHelper::ifRow() {
  QFETCH(QByteArray, physical);
  QFETCH(uint, length);
  QFETCH(QByteArray, expected);
  MIB_IFROW Row{};
  std::wcscpy(Row.wszName, L"\\DEVICE\\TCPIP_{AB}");
  Row.dwIndex = 5;
  Row.dwType = IF_TYPE_IEEE80211;
  Row.dwMtu = 1480;
  Row.dwSpeed = 54000000;
  std::memcpy(Row.bPhysAddr, physical.constData(), std::size_t(physical.size()));
  Row.dwPhysAddrLen = length;
  Row.dwAdminStatus = 1;
  Row.dwOperStatus = IF_OPER_STATUS_OPERATIONAL;
  const TMibIfRow Record = IfRowRecord(Row);
  QCOMPARE(Record.PhysAddr, expected);
  QCOMPARE(Record.Index, DWORD(5));
  QCOMPARE(Record.Name, QStringLiteral("\\DEVICE\\TCPIP_{AB}"));
  QCOMPARE(Record.Type, DWORD(71));
  QCOMPARE(Record.Mtu, DWORD(1480));
  QCOMPARE(Record.Speed, DWORD(54000000));
  QCOMPARE(Record.AdminStatus, DWORD(1));
  QCOMPARE(Record.OperStatus, DWORD(5));
}

// A stand-in system call: at its n-th call it needs needs[n] bytes (the
// last entry from then on); when the buffer is large enough it answers
// answer and writes a mark at the buffer's start.
void tst_WindowsIpHelper::bufferProtocol_data() {
  QTest::addColumn<uint>("callerSize");
  QTest::addColumn<QList<uint>>("needs");
  QTest::addColumn<uint>("tooSmall");
  QTest::addColumn<uint>("answer");
  QTest::addColumn<uint>("status");
  QTest::addColumn<uint>("size");
  QTest::addColumn<int>("calls"); // -1: fewer than the system would take
  const uint Overflow = ERROR_BUFFER_OVERFLOW, Insufficient = ERROR_INSUFFICIENT_BUFFER;
  QTest::newRow("fits at once") << 640u << QList<uint>{600} << Overflow << uint(NO_ERROR)
                                << uint(NO_ERROR) << 640u << 1;
  QTest::newRow("size probe with 0")
      << 0u << QList<uint>{1000} << Overflow << uint(NO_ERROR) << Overflow << 1000u << 2;
  QTest::newRow("insufficient buffer is reported as overflow")
      << 0u << QList<uint>{1000} << Insufficient << uint(NO_ERROR) << Overflow << 1000u << 2;
  QTest::newRow("grows between calls")
      << 640u << QList<uint>{1000, 1500} << Overflow << uint(NO_ERROR) << Overflow << 1500u << 3;
  QTest::newRow("error passes through") << 640u << QList<uint>{600} << Overflow
                                        << uint(ERROR_NO_DATA) << uint(ERROR_NO_DATA) << 640u << 1;
  QList<uint> Growing;
  for (uint I = 1; I <= 64; ++I)
    Growing << I * 1000;
  QTest::newRow("keeps growing") << 0u << Growing << Overflow << uint(NO_ERROR) << Overflow << 0u
                                 << -1;
  QTest::newRow("absurd size is not allocated") << 0u << QList<uint>{0xFFFFFFF0u} << Overflow
                                                << uint(NO_ERROR) << Overflow << 0xFFFFFFF0u << 1;
}

void tst_WindowsIpHelper::bufferProtocol() {
  QFETCH(uint, callerSize);
  QFETCH(QList<uint>, needs);
  QFETCH(uint, tooSmall);
  QFETCH(uint, answer);
  QFETCH(uint, status);
  QFETCH(uint, size);
  QFETCH(int, calls);
  int Calls = 0;
  const TBufferCall System = [&](void* ABuffer, ULONG& ASize) -> DWORD {
    const ULONG Need = needs[std::min<qsizetype>(Calls++, needs.size() - 1)];
    if (ASize < Need) {
      ASize = Need;
      return tooSmall;
    }
    static_cast<char*>(ABuffer)[0] = 'K';
    return answer;
  };
  ULONG Size = callerSize;
  TSystemBuffer Buffer;
  const DWORD Result = CallWithBuffer(System, Size, Buffer);
  QCOMPARE(uint(Result), status);
  if (calls >= 0) {
    QCOMPARE(Calls, calls);
    QCOMPARE(uint(Size), size);
  } else {
    QVERIFY(Calls < needs.size());
    QCOMPARE(uint(Size), needs[Calls - 1]);
  }
  if (Result == NO_ERROR)
    QCOMPARE(static_cast<const char*>(Buffer.Data())[0], 'K');
}

// The scanner's way: a probe with no buffer, then one call with the size
// the probe reported, which gets the answer.
void tst_WindowsIpHelper::bufferProtocolCallerComesBack() {
  const TBufferCall System = [](void* ABuffer, ULONG& ASize) -> DWORD {
    if (ASize < 3000) {
      ASize = 3000;
      return ERROR_BUFFER_OVERFLOW;
    }
    std::memcpy(ABuffer, "answer", 7);
    return NO_ERROR;
  };
  ULONG Size = 0;
  TSystemBuffer Buffer;
  QCOMPARE(CallWithBuffer(System, Size, Buffer), DWORD(ERROR_BUFFER_OVERFLOW));
  QCOMPARE(Size, ULONG(3000));
  QCOMPARE(CallWithBuffer(System, Size, Buffer), DWORD(NO_ERROR));
  QCOMPARE(Size, ULONG(3000));
  QCOMPARE(QByteArray(static_cast<const char*>(Buffer.Data())), QByteArray("answer"));
}

// ---- live, in the loopback-only network the test run is given ------------------------

void tst_WindowsIpHelper::liveEntryPoints() {
  WindowsIpHelper IpHelper;
  for (const TIpHelperFunction Function :
       {TIpHelperFunction::GetAdaptersInfo, TIpHelperFunction::GetNetworkParams,
        TIpHelperFunction::GetIfEntry, TIpHelperFunction::GetAdaptersAddresses})
    QVERIFY2(IpHelper.HasEntryPoint(Function), QByteArray::number(int(Function)).constData());
}

void tst_WindowsIpHelper::liveLoopbackAddresses() {
  WindowsIpHelper IpHelper;
  std::vector<TIpAdapterAddresses> Adapters;
  ULONG Size = 0;
  QCOMPARE(IpHelper.GetAdaptersAddresses(0, 0, Adapters, Size), DWORD(ERROR_BUFFER_OVERFLOW));
  QVERIFY(Size > 0);
  QVERIFY(Adapters.empty());
  QCOMPARE(IpHelper.GetAdaptersAddresses(0, 0, Adapters, Size), DWORD(NO_ERROR));
  const TIpAdapterAddresses* Loopback = findLoopback(Adapters);
  QVERIFY(Loopback);
  QVERIFY(Loopback->Ipv4Enabled);
  QVERIFY(Loopback->IfIndex != 0);
  bool Found = false;
  for (const TUnicastAddress& Address : Loopback->UnicastAddresses)
    Found = Found || (text(Address.Address) == u"127.0.0.1" && Address.PrefixLength == 8);
  QVERIFY2(Found, qPrintable(QString::number(Loopback->UnicastAddresses.size())));

  // Asking for IPv4 alone gives no IPv6 address.
  std::vector<TIpAdapterAddresses> Ipv4;
  ULONG Ipv4Size = Size;
  QCOMPARE(IpHelper.GetAdaptersAddresses(AF_INET, 0, Ipv4, Ipv4Size), DWORD(NO_ERROR));
  QVERIFY(findLoopback(Ipv4));
  for (const TUnicastAddress& Address : findLoopback(Ipv4)->UnicastAddresses)
    QCOMPARE(Address.Address.Family, WSA_AF_INET);
}

void tst_WindowsIpHelper::liveIfEntry() {
  WindowsIpHelper IpHelper;
  std::vector<TIpAdapterAddresses> Adapters;
  ULONG Size = 64 * 1024;
  QCOMPARE(IpHelper.GetAdaptersAddresses(0, 0, Adapters, Size), DWORD(NO_ERROR));
  const TIpAdapterAddresses* Loopback = findLoopback(Adapters);
  QVERIFY(Loopback);
  TMibIfRow Row;
  Row.Index = Loopback->IfIndex;
  QCOMPARE(IpHelper.GetIfEntry(Row), DWORD(NO_ERROR));
  QCOMPARE(Row.Index, Loopback->IfIndex);
  QCOMPARE(Row.Type, DWORD(IF_TYPE_SOFTWARE_LOOPBACK));
  QCOMPARE(Row.Mtu, Loopback->Mtu);

  TMibIfRow Unknown;
  Unknown.Index = 0x7FFFFFF0;
  Unknown.Mtu = 4242;
  QCOMPARE(IpHelper.GetIfEntry(Unknown), DWORD(ERROR_INVALID_DATA));
  QCOMPARE(Unknown.Mtu, DWORD(4242));
}

// The test run's network has loopback only, which adapter info leaves out.
void tst_WindowsIpHelper::liveAdaptersInfo() {
  WindowsIpHelper IpHelper;
  std::vector<TIpAdapterInfo> Infos;
  ULONG Size = SizeOfIpAdapterInfo;
  const DWORD Result = IpHelper.GetAdaptersInfo(Infos, Size);
  QCOMPARE(Result, DWORD(ERROR_NO_DATA));
  QVERIFY(Infos.empty());
}

void tst_WindowsIpHelper::liveNetworkParams() {
  WindowsIpHelper IpHelper;
  TFixedInfo Info;
  ULONG Size = 0;
  QCOMPARE(IpHelper.GetNetworkParams(Info, Size), DWORD(ERROR_BUFFER_OVERFLOW));
  QVERIFY(Size >= sizeof(FIXED_INFO));
  QCOMPARE(IpHelper.GetNetworkParams(Info, Size), DWORD(NO_ERROR));
  wchar_t Host[256];
  DWORD Length = DWORD(std::size(Host));
  QVERIFY(::GetComputerNameExW(ComputerNameDnsHostname, Host, &Length));
  QCOMPARE(Info.HostName.toLower(), QString::fromWCharArray(Host, int(Length)).toLower());
}

KELVANE_TEST_MAIN(tst_WindowsIpHelper)
#include "tst_WindowsIpHelper.moc"
