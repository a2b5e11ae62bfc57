#pragma once
// The IP Helper port: the adapter views of the system shaped like the
// Windows answers. The chains of the Windows records are vectors in chain
// order; where the Windows record embeds the first element of a chain, the
// vector always holds at least that one element (possibly with empty
// texts), because callers rely on it.
//
// The table calls keep the Windows buffer protocol: ASize is the caller's
// buffer size in bytes; when the answer does not fit, the call gives
// ERROR_BUFFER_OVERFLOW and the size it needs in ASize, and the caller
// grows its buffer and calls again. A backend that needs no buffer still
// reports a size so the callers' growing loops run as on Windows.

#include "common/WinError.h"
#include "platform/Sockets.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

#include "platform/PortNamesBegin.h"

// Interface types (IF_TYPE_*) the callers and the Linux backend use.
inline constexpr DWORD IF_TYPE_OTHER = 1;
inline constexpr DWORD IF_TYPE_ETHERNET_CSMACD = 6;
inline constexpr DWORD IF_TYPE_ISO88025_TOKENRING = 9;
inline constexpr DWORD IF_TYPE_FDDI = 15;
inline constexpr DWORD IF_TYPE_PPP = 23;
inline constexpr DWORD IF_TYPE_SOFTWARE_LOOPBACK = 24;
inline constexpr DWORD IF_TYPE_SLIP = 28;
inline constexpr DWORD IF_TYPE_PROP_VIRTUAL = 53;
inline constexpr DWORD IF_TYPE_IEEE80211 = 71;
inline constexpr DWORD IF_TYPE_TUNNEL = 131;

// Sizes of one Windows record, which the callers' buffers start at.
inline constexpr ULONG SizeOfIpAdapterInfo = 640;
inline constexpr ULONG SizeOfFixedInfo = 584;
inline constexpr ULONG SizeOfIpAdapterAddresses = 376;

struct TIpAddrString {
  QString IpAddress; // dotted quad, at most 15 characters
  QString IpMask;
};

// IP_ADAPTER_INFO: IPv4 only.
struct TIpAdapterInfo {
  QString AdapterName; // the setting identifier
  QString Description;
  QByteArray Address; // the hardware address; its length is AddressLength (at most 8)
  DWORD Index = 0;
  UINT Type = IF_TYPE_OTHER;
  bool DhcpEnabled = false;
  std::vector<TIpAddrString> IpAddressList = std::vector<TIpAddrString>(1);
  std::vector<TIpAddrString> GatewayList = std::vector<TIpAddrString>(1);
  std::vector<TIpAddrString> DhcpServer = std::vector<TIpAddrString>(1);
  bool HaveWins = false;
  std::vector<TIpAddrString> PrimaryWinsServer = std::vector<TIpAddrString>(1);
  std::vector<TIpAddrString> SecondaryWinsServer = std::vector<TIpAddrString>(1);
  std::int64_t LeaseObtained = 0; // seconds since 1970, 0 when unknown
  std::int64_t LeaseExpires = 0;
};

// MIB_IFROW: the interface's row in the interface table.
struct TMibIfRow {
  DWORD Index = 0;
  QString Name;
  DWORD Type = IF_TYPE_OTHER;
  DWORD Mtu = 0;
  DWORD Speed = 0; // bits per second, clamped to 32 bits
  QByteArray PhysAddr;
  DWORD AdminStatus = 0; // 1 up, 2 down
  DWORD OperStatus = 0;  // IF_OPER_STATUS of the MIB: 0 non-operational ... 5 operational
};

// FIXED_INFO: the host's network parameters.
struct TFixedInfo {
  QString HostName;
  QString DomainName;
  std::vector<TIpAddrString> DnsServerList = std::vector<TIpAddrString>(1);
  int CurrentDnsServer = -1; // index into DnsServerList, -1: none
  UINT NodeType = 0;
  QString ScopeId;
  UINT EnableRouting = 0;
  UINT EnableProxy = 0;
  UINT EnableDns = 0;
};

// One unicast address of IP_ADAPTER_ADDRESSES with its prefix length.
struct TUnicastAddress {
  TSocketAddress Address;
  std::uint8_t PrefixLength = 0;
};

// IP_ADAPTER_ADDRESSES: both families.
struct TIpAdapterAddresses {
  DWORD IfIndex = 0;
  QString AdapterName; // the setting identifier
  QString Description;
  QString FriendlyName;
  QByteArray PhysicalAddress; // PhysicalAddressLength is its size
  DWORD Mtu = 0;
  DWORD IfType = IF_TYPE_OTHER;
  DWORD OperStatus = 0; // IF_OPER_STATUS: 1 up, 2 down, ...
  DWORD Ipv6IfIndex = 0;
  bool Ipv4Enabled = false;
  bool Ipv6Enabled = false;
  bool DhcpEnabled = false;
  std::vector<TUnicastAddress> UnicastAddresses;
  std::vector<TSocketAddress> DnsServerAddresses;
  std::vector<TSocketAddress> GatewayAddresses;
  std::vector<DWORD> GatewayMetrics; // the route metric of each gateway
  std::uint64_t TransmitLinkSpeed = 0;
  std::uint64_t ReceiveLinkSpeed = 0;
  DWORD Dhcpv6Iaid = 0;
  QByteArray Dhcpv6ClientDuid;
};

enum class TIpHelperFunction {
  GetAdaptersInfo,
  GetNetworkParams,
  GetIfEntry,
  GetAdaptersAddresses
};

class IIpHelper {
public:
  virtual ~IIpHelper() = default;
  virtual bool HasEntryPoint(TIpHelperFunction AFunction) = 0;
  // ERROR_NO_DATA when the system has no adapter.
  virtual DWORD GetAdaptersInfo(std::vector<TIpAdapterInfo>& AInfo, ULONG& ASize) = 0;
  virtual DWORD GetNetworkParams(TFixedInfo& AInfo, ULONG& ASize) = 0;
  // Fills the row of ARow.Index; ERROR_INVALID_DATA for an unknown index.
  virtual DWORD GetIfEntry(TMibIfRow& ARow) = 0;
  // AFamily: 0 (AF_UNSPEC), 2 (AF_INET) or 23 (AF_INET6).
  virtual DWORD GetAdaptersAddresses(ULONG AFamily, ULONG AFlags,
                                     std::vector<TIpAdapterAddresses>& AAddresses,
                                     ULONG& ASize) = 0;
};

#include "platform/PortNamesEnd.h"
