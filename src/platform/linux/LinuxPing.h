#pragma once
// Win32_PingStatus on Linux: one ICMP echo to the resolved address with the
// query's Timeout (ms, default 1000), BufferSize (default 32) and TimeToLive
// (default 80). An unprivileged ICMP socket is tried first, a raw socket
// (root or CAP_NET_RAW) second; the reply must come from the address pinged
// and carry our identifier and sequence. StatusCode is null when the name
// does not resolve within the timeout, 0 on a reply (with ResponseTime,
// ProtocolAddress and ResponseTimeToLive), 11002-11005 for destination
// unreachable codes 0-3, 11013/11014 for time exceeded, 11015 parameter
// problem, 11016 source quench, 11009 message too big, 11050 when no route
// or no socket is allowed, 11010 when nothing answers in time. The request's
// own Address, BufferSize, Timeout and TimeToLive are part of the object, as
// the class has them.

#include "platform/Sockets.h"
#include "platform/Wmi.h"
#include "platform/linux/LinuxFacts.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

class TLinuxPingStatusProvider : public IWmiProvider {
public:
  // Names are resolved through ASockets (the host's own name included). An
  // address of the machine AFacts describes (when given), or of loopback,
  // answers at once with the machine's own hop limit, as its kernel would:
  // no packet needs to leave, and a machine shown from a saved snapshot
  // answers for itself as it did when saved.
  explicit TLinuxPingStatusProvider(ISockets& ASockets, std::shared_ptr<TLinuxFacts> AFacts = {})
      : FSockets(ASockets), FFacts(std::move(AFacts)) {}
  QString ClassName() const override { return QStringLiteral("Win32_PingStatus"); }
  std::vector<TWmiObject> Instances(const TWqlQuery& AQuery) override;

  struct TEcho {
    int Status = 11050;
    int ResponseTime = 0;
    int TimeToLive = 0;
  };
  // One echo to AAddress (host byte order); never blocks longer than about
  // the timeout, never raises.
  static TEcho Echo(std::uint32_t AAddress, int ATimeoutMs, int ABufferSize, int ATimeToLive);

  // The echo request sent (addresses in host byte order).
  struct TEchoRequest {
    std::uint32_t Target = 0;
    std::uint16_t Identifier = 0;
    std::uint16_t Sequence = 0;
  };
  // What one received packet says about ARequest: nothing (someone else's
  // traffic, a reply from another address, a short or malformed packet), the
  // reply (Status 0, TimeToLive from the IPv4 header when there is one,
  // else 0), or the status of an ICMP error quoting our echo. A raw socket
  // hands over the IPv4 header (AWithIpHeader), an unprivileged ICMP socket
  // only the ICMP message; ASource is the sender the socket reports.
  static std::optional<TEcho> ReadReply(std::span<const unsigned char> APacket, bool AWithIpHeader,
                                        std::uint32_t ASource, const TEchoRequest& ARequest);

private:
  bool isOwnAddress(std::uint32_t AAddress);

  ISockets& FSockets;
  std::shared_ptr<TLinuxFacts> FFacts;
};
