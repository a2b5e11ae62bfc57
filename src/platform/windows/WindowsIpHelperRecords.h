#pragma once
// The IP Helper's records turned into the port's values, apart from the
// calls that fetch them: hand-built records stand in for what a system
// answers only in part (DHCP servers, WINS, leases, IPv6 gateways, DHCPv6
// identities), and the buffer protocol runs against a stand-in call.

#include "platform/windows/WindowsErrorText.h"

#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <netioapi.h>

#include "platform/IpHelper.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/PortNamesBegin.h"

// A zero-filled, suitably aligned buffer the system writes its records into.
class TSystemBuffer {
public:
  void* Data() const noexcept { return FSize ? FData.get() : nullptr; }
  ULONG Size() const noexcept { return FSize; }
  void Reset(ULONG ASize);

private:
  std::unique_ptr<std::uint64_t[]> FData;
  ULONG FSize = 0;
};

// A system call that fills a buffer of ASize bytes; when the buffer is too
// small it answers ERROR_BUFFER_OVERFLOW or ERROR_INSUFFICIENT_BUFFER with
// the size it needs in ASize.
using TBufferCall = std::function<DWORD(void* ABuffer, ULONG& ASize)>;

// The port's buffer protocol over such a call. The call first gets the
// caller's ASize, then, while it asks for more, the size it asks for: the
// system's tables may grow between two calls, so this is retried a few
// times, and never beyond a bound on the memory. The answer is left in
// ABuffer. When it took more than the caller's ASize, the result is
// ERROR_BUFFER_OVERFLOW with that size in ASize, so that the caller grows
// its buffer and comes back as it would on Windows; any other answer of the
// system passes through.
DWORD CallWithBuffer(const TBufferCall& ACall, ULONG& ASize, TSystemBuffer& ABuffer);

// A socket address the system handed over; empty (family 0) when it points
// nowhere or its length does not cover the family's record.
TSocketAddress SocketAddressRecord(const SOCKET_ADDRESS& AAddress);

// The route metric of the default route through AGateway on interface
// AIfIndex; 0 when the table holds no such route.
DWORD GatewayMetric(const MIB_IPFORWARD_TABLE2* ARoutes, DWORD AIfIndex,
                    const TSocketAddress& AGateway);

// One adapter of GetAdaptersAddresses, and the whole chain in chain order.
// A record shorter than the Vista one (older systems) leaves what it lacks
// at its default. ARoutes gives the gateways' metrics when present.
TIpAdapterAddresses AdapterAddressesRecord(const IP_ADAPTER_ADDRESSES_LH& AAdapter,
                                           const MIB_IPFORWARD_TABLE2* ARoutes = nullptr);
std::vector<TIpAdapterAddresses>
AdapterAddressesRecords(const IP_ADAPTER_ADDRESSES_LH* AFirst,
                        const MIB_IPFORWARD_TABLE2* ARoutes = nullptr);

// A chain of address strings from the element embedded in its record: it
// ends at a null link or one that points back at the element just taken.
std::vector<TIpAddrString> AddrStringChain(const IP_ADDR_STRING& AFirst);

TIpAdapterInfo AdapterInfoRecord(const IP_ADAPTER_INFO& AInfo);
std::vector<TIpAdapterInfo> AdapterInfoRecords(const IP_ADAPTER_INFO* AFirst);
TFixedInfo FixedInfoRecord(const FIXED_INFO& AInfo);
TMibIfRow IfRowRecord(const MIB_IFROW& ARow);

#include "platform/PortNamesEnd.h"
