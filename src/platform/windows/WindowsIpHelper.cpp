#include "platform/windows/WindowsIpHelperRecords.h"
#include "platform/windows/WindowsLibrary.h"

#include "platform/windows/WindowsIpHelper.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

// ---- the buffer protocol ----------------------------------------------------------

namespace {
// A few retries cover tables that grow while they are read; a system that
// keeps asking for more, or for absurd sizes, gets no more memory than this.
constexpr int MostCalls = 8;
constexpr ULONG MostBytes = 64u * 1024 * 1024;

bool tooSmall(DWORD AStatus) {
  return AStatus == ERROR_BUFFER_OVERFLOW || AStatus == ERROR_INSUFFICIENT_BUFFER;
}
} // namespace

void TSystemBuffer::Reset(ULONG ASize) {
  FSize = ASize;
  FData = ASize ? std::make_unique<std::uint64_t[]>((std::size_t(ASize) + 7) / 8) : nullptr;
}

DWORD CallWithBuffer(const TBufferCall& ACall, ULONG& ASize, TSystemBuffer& ABuffer) {
  ULONG Size = std::min(ASize, MostBytes);
  DWORD Status = ERROR_BUFFER_OVERFLOW;
  ULONG Needed = Size;
  for (int Call = 0; Call < MostCalls; ++Call) {
    ABuffer.Reset(Size);
    Needed = Size;
    Status = ACall(ABuffer.Data(), Needed);
    if (!tooSmall(Status))
      break;
    // A system that says "too small" without asking for more still gets more.
    const ULONG Next = Needed > Size ? Needed : Size + std::max<ULONG>(Size, 1024);
    if (Next > MostBytes || Next < Size)
      break;
    Size = Next;
  }
  if (tooSmall(Status)) {
    ABuffer.Reset(0);
    ASize = std::max(Needed, Size);
    return ERROR_BUFFER_OVERFLOW;
  }
  if (Status == NO_ERROR && Size > ASize) {
    ASize = Size;
    return ERROR_BUFFER_OVERFLOW;
  }
  return Status;
}

// ---- the records ------------------------------------------------------------------

namespace {
// Chains are walked no further than this: a record that links back into
// itself must not hold the caller.
constexpr int MostLinks = 4096;

// An 8-bit text of the system in its ANSI code page, up to its first NUL or
// the end of its array.
template <std::size_t N> QString ansiText(const char (&AText)[N]) {
  return QString::fromLocal8Bit(AText, qsizetype(strnlen(AText, N)));
}

QString wideText(const wchar_t* AText) {
  return AText ? QString::fromWCharArray(AText) : QString();
}

QByteArray bytes(const BYTE* ABytes, ULONG ALength, ULONG ACapacity) {
  return QByteArray(reinterpret_cast<const char*>(ABytes), qsizetype(std::min(ALength, ACapacity)));
}

// Whether a record of ALength bytes (its own Length field) reaches the
// member that ends at AEnd bytes from its start.
bool covers(ULONG ALength, std::size_t AEnd) {
  return ALength >= AEnd;
}
#define KELVANE_END_OF(TYPE, MEMBER) (offsetof(TYPE, MEMBER) + sizeof(TYPE::MEMBER))

template <class TLink, class TTake> void walk(const TLink* AFirst, TTake ATake) {
  int Links = 0;
  for (const TLink* Link = AFirst; Link && Links < MostLinks; Link = Link->Next, ++Links)
    ATake(*Link);
}

bool sameAddress(const SOCKADDR_INET& ARoute, const TSocketAddress& AAddress) {
  if (ARoute.si_family == AF_INET && AAddress.Family == WSA_AF_INET)
    return AAddress.Address == QByteArray(reinterpret_cast<const char*>(&ARoute.Ipv4.sin_addr), 4);
  if (ARoute.si_family == AF_INET6 && AAddress.Family == WSA_AF_INET6)
    return AAddress.Address ==
           QByteArray(reinterpret_cast<const char*>(&ARoute.Ipv6.sin6_addr), 16);
  return false;
}
} // namespace

TSocketAddress SocketAddressRecord(const SOCKET_ADDRESS& AAddress) {
  TSocketAddress Result;
  const sockaddr* Address = AAddress.lpSockaddr;
  const auto Length = std::size_t(std::max(AAddress.iSockaddrLength, 0));
  if (!Address || Length < sizeof(Address->sa_family))
    return Result;
  if (Address->sa_family == AF_INET && Length >= sizeof(sockaddr_in)) {
    const auto* In = reinterpret_cast<const sockaddr_in*>(Address);
    Result.Family = WSA_AF_INET;
    Result.Address = QByteArray(reinterpret_cast<const char*>(&In->sin_addr), 4);
    Result.Port = ntohs(In->sin_port);
  } else if (Address->sa_family == AF_INET6 && Length >= sizeof(sockaddr_in6)) {
    const auto* In6 = reinterpret_cast<const sockaddr_in6*>(Address);
    Result.Family = WSA_AF_INET6;
    Result.Address = QByteArray(reinterpret_cast<const char*>(&In6->sin6_addr), 16);
    Result.Port = ntohs(In6->sin6_port);
    Result.ScopeId = In6->sin6_scope_id;
  }
  return Result;
}

DWORD GatewayMetric(const MIB_IPFORWARD_TABLE2* ARoutes, DWORD AIfIndex,
                    const TSocketAddress& AGateway) {
  if (!ARoutes)
    return 0;
  for (ULONG I = 0; I < ARoutes->NumEntries; ++I) {
    const MIB_IPFORWARD_ROW2& Route = ARoutes->Table[I];
    if (Route.DestinationPrefix.PrefixLength == 0 && Route.InterfaceIndex == AIfIndex &&
        sameAddress(Route.NextHop, AGateway))
      return Route.Metric;
  }
  return 0;
}

TIpAdapterAddresses AdapterAddressesRecord(const IP_ADAPTER_ADDRESSES_LH& AAdapter,
                                           const MIB_IPFORWARD_TABLE2* ARoutes) {
  using TRecord = IP_ADAPTER_ADDRESSES_LH;
  const ULONG Length = AAdapter.Length;
  TIpAdapterAddresses Result;
  Result.IfIndex = AAdapter.IfIndex;
  Result.AdapterName =
      AAdapter.AdapterName ? QString::fromLocal8Bit(AAdapter.AdapterName) : QString();
  Result.Description = wideText(AAdapter.Description);
  Result.FriendlyName = wideText(AAdapter.FriendlyName);
  Result.PhysicalAddress =
      bytes(AAdapter.PhysicalAddress, AAdapter.PhysicalAddressLength, MAX_ADAPTER_ADDRESS_LENGTH);
  Result.Mtu = AAdapter.Mtu;
  Result.IfType = AAdapter.IfType;
  Result.OperStatus = DWORD(AAdapter.OperStatus);
  Result.Ipv6IfIndex = AAdapter.Ipv6IfIndex;
  Result.Ipv4Enabled = (AAdapter.Flags & IP_ADAPTER_IPV4_ENABLED) != 0;
  Result.Ipv6Enabled = (AAdapter.Flags & IP_ADAPTER_IPV6_ENABLED) != 0;
  Result.DhcpEnabled = (AAdapter.Flags & IP_ADAPTER_DHCP_ENABLED) != 0;
  walk(AAdapter.FirstUnicastAddress, [&](const IP_ADAPTER_UNICAST_ADDRESS_LH& AUnicast) {
    TUnicastAddress Unicast;
    Unicast.Address = SocketAddressRecord(AUnicast.Address);
    // Before Vista the record ends before the prefix length.
    if (covers(AUnicast.Length, KELVANE_END_OF(IP_ADAPTER_UNICAST_ADDRESS_LH, OnLinkPrefixLength)))
      Unicast.PrefixLength = AUnicast.OnLinkPrefixLength;
    Result.UnicastAddresses.push_back(std::move(Unicast));
  });
  walk(AAdapter.FirstDnsServerAddress, [&](const IP_ADAPTER_DNS_SERVER_ADDRESS_XP& AServer) {
    Result.DnsServerAddresses.push_back(SocketAddressRecord(AServer.Address));
  });
  if (covers(Length, KELVANE_END_OF(TRecord, ReceiveLinkSpeed))) {
    Result.TransmitLinkSpeed = AAdapter.TransmitLinkSpeed;
    Result.ReceiveLinkSpeed = AAdapter.ReceiveLinkSpeed;
  }
  if (covers(Length, KELVANE_END_OF(TRecord, FirstGatewayAddress)))
    walk(AAdapter.FirstGatewayAddress, [&](const IP_ADAPTER_GATEWAY_ADDRESS_LH& AGateway) {
      TSocketAddress Gateway = SocketAddressRecord(AGateway.Address);
      // IPv6 routes name the adapter by its IPv6 interface index.
      const DWORD Index = Gateway.Family == WSA_AF_INET6 && Result.Ipv6IfIndex ? Result.Ipv6IfIndex
                                                                               : Result.IfIndex;
      Result.GatewayMetrics.push_back(GatewayMetric(ARoutes, Index, Gateway));
      Result.GatewayAddresses.push_back(std::move(Gateway));
    });
  if (covers(Length, KELVANE_END_OF(TRecord, Dhcpv6Iaid))) {
    Result.Dhcpv6ClientDuid =
        bytes(AAdapter.Dhcpv6ClientDuid, AAdapter.Dhcpv6ClientDuidLength, MAX_DHCPV6_DUID_LENGTH);
    Result.Dhcpv6Iaid = AAdapter.Dhcpv6Iaid;
  }
  return Result;
}

std::vector<TIpAdapterAddresses> AdapterAddressesRecords(const IP_ADAPTER_ADDRESSES_LH* AFirst,
                                                         const MIB_IPFORWARD_TABLE2* ARoutes) {
  std::vector<TIpAdapterAddresses> Result;
  walk(AFirst, [&](const IP_ADAPTER_ADDRESSES_LH& AAdapter) {
    Result.push_back(AdapterAddressesRecord(AAdapter, ARoutes));
  });
  return Result;
}

std::vector<TIpAddrString> AddrStringChain(const IP_ADDR_STRING& AFirst) {
  std::vector<TIpAddrString> Result;
  const IP_ADDR_STRING* Element = &AFirst;
  for (int Links = 0; Element && Links < MostLinks; ++Links) {
    Result.push_back({ansiText(Element->IpAddress.String), ansiText(Element->IpMask.String)});
    if (Element->Next == Element)
      break;
    Element = Element->Next;
  }
  return Result;
}

TIpAdapterInfo AdapterInfoRecord(const IP_ADAPTER_INFO& AInfo) {
  TIpAdapterInfo Result;
  Result.AdapterName = ansiText(AInfo.AdapterName);
  Result.Description = ansiText(AInfo.Description);
  Result.Address = bytes(AInfo.Address, AInfo.AddressLength, MAX_ADAPTER_ADDRESS_LENGTH);
  Result.Index = AInfo.Index;
  Result.Type = AInfo.Type;
  Result.DhcpEnabled = AInfo.DhcpEnabled != 0;
  Result.IpAddressList = AddrStringChain(AInfo.IpAddressList);
  Result.GatewayList = AddrStringChain(AInfo.GatewayList);
  Result.DhcpServer = AddrStringChain(AInfo.DhcpServer);
  Result.HaveWins = AInfo.HaveWins != 0;
  Result.PrimaryWinsServer = AddrStringChain(AInfo.PrimaryWinsServer);
  Result.SecondaryWinsServer = AddrStringChain(AInfo.SecondaryWinsServer);
  Result.LeaseObtained = std::int64_t(AInfo.LeaseObtained);
  Result.LeaseExpires = std::int64_t(AInfo.LeaseExpires);
  return Result;
}

std::vector<TIpAdapterInfo> AdapterInfoRecords(const IP_ADAPTER_INFO* AFirst) {
  std::vector<TIpAdapterInfo> Result;
  walk(AFirst, [&](const IP_ADAPTER_INFO& AInfo) { Result.push_back(AdapterInfoRecord(AInfo)); });
  return Result;
}

TFixedInfo FixedInfoRecord(const FIXED_INFO& AInfo) {
  TFixedInfo Result;
  Result.HostName = ansiText(AInfo.HostName);
  Result.DomainName = ansiText(AInfo.DomainName);
  Result.DnsServerList = AddrStringChain(AInfo.DnsServerList);
  // The current server is a pointer into the chain; the port names it by
  // its place there.
  int Place = 0;
  for (const IP_ADDR_STRING* Element = &AInfo.DnsServerList;
       Element && Place < int(Result.DnsServerList.size()); Element = Element->Next, ++Place)
    if (Element == AInfo.CurrentDnsServer) {
      Result.CurrentDnsServer = Place;
      break;
    }
  Result.NodeType = AInfo.NodeType;
  Result.ScopeId = ansiText(AInfo.ScopeId);
  Result.EnableRouting = AInfo.EnableRouting;
  Result.EnableProxy = AInfo.EnableProxy;
  Result.EnableDns = AInfo.EnableDns;
  return Result;
}

TMibIfRow IfRowRecord(const MIB_IFROW& ARow) {
  TMibIfRow Result;
  Result.Index = ARow.dwIndex;
  Result.Name = QString::fromWCharArray(ARow.wszName,
                                        qsizetype(wcsnlen(ARow.wszName, MAX_INTERFACE_NAME_LEN)));
  Result.Type = ARow.dwType;
  Result.Mtu = ARow.dwMtu;
  Result.Speed = ARow.dwSpeed;
  Result.PhysAddr = bytes(ARow.bPhysAddr, ARow.dwPhysAddrLen, MAXLEN_PHYSADDR);
  Result.AdminStatus = ARow.dwAdminStatus;
  Result.OperStatus = DWORD(ARow.dwOperStatus);
  return Result;
}

// ---- the calls --------------------------------------------------------------------

namespace {
// iphlpapi's entry points, looked up once. Windows before Vista lacks the
// route table the gateway metrics come from; without it they stay 0.
struct TIpHelperLibrary {
  decltype(&::GetAdaptersInfo) GetAdaptersInfo = nullptr;
  decltype(&::GetNetworkParams) GetNetworkParams = nullptr;
  decltype(&::GetIfEntry) GetIfEntry = nullptr;
  decltype(&::GetAdaptersAddresses) GetAdaptersAddresses = nullptr;
  decltype(&::GetIpForwardTable2) GetIpForwardTable2 = nullptr;
  decltype(&::FreeMibTable) FreeMibTable = nullptr;

  TIpHelperLibrary() {
    SystemLibrary(L"iphlpapi.dll");
    GetAdaptersInfo = EntryPoint<decltype(GetAdaptersInfo)>(L"iphlpapi.dll", "GetAdaptersInfo");
    GetNetworkParams = EntryPoint<decltype(GetNetworkParams)>(L"iphlpapi.dll", "GetNetworkParams");
    GetIfEntry = EntryPoint<decltype(GetIfEntry)>(L"iphlpapi.dll", "GetIfEntry");
    GetAdaptersAddresses =
        EntryPoint<decltype(GetAdaptersAddresses)>(L"iphlpapi.dll", "GetAdaptersAddresses");
    GetIpForwardTable2 =
        EntryPoint<decltype(GetIpForwardTable2)>(L"iphlpapi.dll", "GetIpForwardTable2");
    FreeMibTable = EntryPoint<decltype(FreeMibTable)>(L"iphlpapi.dll", "FreeMibTable");
  }
};

const TIpHelperLibrary& library() {
  static const TIpHelperLibrary Library;
  return Library;
}

// The route table while the adapters are converted; null without one.
class TRouteTable {
public:
  TRouteTable() {
    const TIpHelperLibrary& Library = library();
    if (Library.GetIpForwardTable2 && Library.FreeMibTable &&
        Library.GetIpForwardTable2(AF_UNSPEC, &FTable) != NO_ERROR)
      FTable = nullptr;
  }
  ~TRouteTable() {
    if (FTable)
      library().FreeMibTable(FTable);
  }
  TRouteTable(const TRouteTable&) = delete;
  TRouteTable& operator=(const TRouteTable&) = delete;
  const MIB_IPFORWARD_TABLE2* Table() const { return FTable; }

private:
  MIB_IPFORWARD_TABLE2* FTable = nullptr;
};
} // namespace

bool WindowsIpHelper::HasEntryPoint(TIpHelperFunction AFunction) {
  const TIpHelperLibrary& Library = library();
  switch (AFunction) {
  case TIpHelperFunction::GetAdaptersInfo:
    return Library.GetAdaptersInfo != nullptr;
  case TIpHelperFunction::GetNetworkParams:
    return Library.GetNetworkParams != nullptr;
  case TIpHelperFunction::GetIfEntry:
    return Library.GetIfEntry != nullptr;
  case TIpHelperFunction::GetAdaptersAddresses:
    return Library.GetAdaptersAddresses != nullptr;
  }
  return false;
}

DWORD WindowsIpHelper::GetAdaptersInfo(std::vector<TIpAdapterInfo>& AInfo, ULONG& ASize) {
  const auto Call = library().GetAdaptersInfo;
  if (!Call)
    return ERROR_CALL_NOT_IMPLEMENTED;
  TSystemBuffer Buffer;
  const DWORD Status = CallWithBuffer(
      [&](void* ABuffer, ULONG& ASize) {
        return Call(static_cast<IP_ADAPTER_INFO*>(ABuffer), &ASize);
      },
      ASize, Buffer);
  if (Status == NO_ERROR)
    AInfo = AdapterInfoRecords(static_cast<const IP_ADAPTER_INFO*>(Buffer.Data()));
  return Status;
}

DWORD WindowsIpHelper::GetNetworkParams(TFixedInfo& AInfo, ULONG& ASize) {
  const auto Call = library().GetNetworkParams;
  if (!Call)
    return ERROR_CALL_NOT_IMPLEMENTED;
  TSystemBuffer Buffer;
  const DWORD Status = CallWithBuffer(
      [&](void* ABuffer, ULONG& ASize) { return Call(static_cast<FIXED_INFO*>(ABuffer), &ASize); },
      ASize, Buffer);
  if (Status == NO_ERROR && Buffer.Data())
    AInfo = FixedInfoRecord(*static_cast<const FIXED_INFO*>(Buffer.Data()));
  return Status;
}

DWORD WindowsIpHelper::GetIfEntry(TMibIfRow& ARow) {
  const auto Call = library().GetIfEntry;
  if (!Call)
    return ERROR_CALL_NOT_IMPLEMENTED;
  MIB_IFROW Row{};
  Row.dwIndex = ARow.Index;
  const DWORD Status = Call(&Row);
  if (Status == NO_ERROR)
    ARow = IfRowRecord(Row);
  // Windows answers an unknown index with either of two codes, wine with a
  // third; the port has the one answer for it.
  if (Status == ERROR_NOT_FOUND || Status == ERROR_FILE_NOT_FOUND)
    return ERROR_INVALID_DATA;
  return Status;
}

DWORD WindowsIpHelper::GetAdaptersAddresses(ULONG AFamily, ULONG AFlags,
                                            std::vector<TIpAdapterAddresses>& AAddresses,
                                            ULONG& ASize) {
  const auto Call = library().GetAdaptersAddresses;
  if (!Call)
    return ERROR_CALL_NOT_IMPLEMENTED;
  TSystemBuffer Buffer;
  const DWORD Status = CallWithBuffer(
      [&](void* ABuffer, ULONG& ASize) {
        return Call(AFamily, AFlags, nullptr, static_cast<IP_ADAPTER_ADDRESSES*>(ABuffer), &ASize);
      },
      ASize, Buffer);
  if (Status != NO_ERROR)
    return Status;
  const auto* First = static_cast<const IP_ADAPTER_ADDRESSES_LH*>(Buffer.Data());
  // The route table only when a gateway asks for its metric.
  bool Gateways = false;
  walk(First, [&](const IP_ADAPTER_ADDRESSES_LH& AAdapter) {
    Gateways = Gateways || (covers(AAdapter.Length,
                                   KELVANE_END_OF(IP_ADAPTER_ADDRESSES_LH, FirstGatewayAddress)) &&
                            AAdapter.FirstGatewayAddress);
  });
  if (!Gateways) {
    AAddresses = AdapterAddressesRecords(First);
    return NO_ERROR;
  }
  const TRouteTable Routes;
  AAddresses = AdapterAddressesRecords(First, Routes.Table());
  return NO_ERROR;
}
