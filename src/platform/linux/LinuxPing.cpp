#include "platform/linux/LinuxPing.h"

#include <QtEndian>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int NoReply = 11010;
constexpr int GeneralFailure = 11050;
constexpr int PacketTooBig = 11009;

std::uint16_t checksum(const unsigned char* AData, std::size_t ALength) {
  std::uint32_t Sum = 0;
  for (std::size_t I = 0; I + 1 < ALength; I += 2)
    Sum += static_cast<std::uint32_t>((AData[I] << 8) | AData[I + 1]);
  if (ALength % 2)
    Sum += static_cast<std::uint32_t>(AData[ALength - 1] << 8);
  while (Sum >> 16)
    Sum = (Sum & 0xFFFF) + (Sum >> 16);
  return static_cast<std::uint16_t>(~Sum);
}

int statusOfIcmpError(int AType, int ACode) {
  switch (AType) {
  case ICMP_DEST_UNREACH:
    return ACode >= 0 && ACode <= 3 ? 11002 + ACode : 11003;
  case ICMP_TIME_EXCEEDED:
    return ACode == 1 ? 11014 : 11013;
  case ICMP_PARAMETERPROB:
    return 11015;
  case ICMP_SOURCE_QUENCH:
    return 11016;
  default:
    return GeneralFailure;
  }
}

std::uint16_t read16(std::span<const unsigned char> AData, std::size_t AOffset) {
  return static_cast<std::uint16_t>((AData[AOffset] << 8) | AData[AOffset + 1]);
}

// An ICMP echo message of AType (request or reply) with the request's
// identifier and sequence.
bool isEcho(std::span<const unsigned char> AIcmp, int AType,
            const TLinuxPingStatusProvider::TEchoRequest& ARequest) {
  return AIcmp.size() >= sizeof(icmphdr) && AIcmp[0] == AType &&
         read16(AIcmp, 4) == ARequest.Identifier && read16(AIcmp, 6) == ARequest.Sequence;
}

// The IPv4 header's length as its first byte states it, when that is a
// length an IPv4 header can have and APacket holds it.
std::optional<std::size_t> ipHeaderLength(std::span<const unsigned char> APacket) {
  if (APacket.empty() || (APacket[0] >> 4) != 4)
    return std::nullopt;
  const std::size_t Length = static_cast<std::size_t>(APacket[0] & 0x0F) * 4;
  if (Length < 20 || APacket.size() < Length)
    return std::nullopt;
  return Length;
}

int statusOfSendError(int AErrno) {
  return AErrno == EMSGSIZE ? PacketTooBig : GeneralFailure;
}

class TSocket {
public:
  explicit TSocket(int AFd) : FFd(AFd) {}
  ~TSocket() {
    if (FFd >= 0)
      ::close(FFd);
  }
  int Fd() const { return FFd; }

private:
  int FFd;
};

} // namespace

std::optional<TLinuxPingStatusProvider::TEcho>
TLinuxPingStatusProvider::ReadReply(std::span<const unsigned char> APacket, bool AWithIpHeader,
                                    std::uint32_t ASource, const TEchoRequest& ARequest) {
  TEcho Result;
  std::span<const unsigned char> Icmp = APacket;
  if (AWithIpHeader) {
    const std::optional<std::size_t> HeaderLength = ipHeaderLength(APacket);
    if (!HeaderLength)
      return std::nullopt;
    Result.TimeToLive = APacket[8];
    Icmp = APacket.subspan(*HeaderLength);
  }
  if (Icmp.size() < sizeof(icmphdr))
    return std::nullopt;
  const int Type = Icmp[0];
  if (Type == ICMP_ECHOREPLY) {
    // Anyone can send a reply with our numbers; only the host asked counts.
    if (ASource != ARequest.Target || !isEcho(Icmp, ICMP_ECHOREPLY, ARequest))
      return std::nullopt;
    Result.Status = 0;
    return Result;
  }
  if (Type != ICMP_DEST_UNREACH && Type != ICMP_TIME_EXCEEDED && Type != ICMP_PARAMETERPROB &&
      Type != ICMP_SOURCE_QUENCH)
    return std::nullopt;
  // An error comes from whichever router gave up, so it is ours only when
  // it quotes our request: the IPv4 header to the target, then the first 8
  // bytes of the echo.
  const std::span<const unsigned char> Quoted = Icmp.subspan(sizeof(icmphdr));
  const std::optional<std::size_t> QuotedHeader = ipHeaderLength(Quoted);
  if (!QuotedHeader || Quoted[9] != IPPROTO_ICMP)
    return std::nullopt;
  const std::uint32_t QuotedTarget = (std::uint32_t(read16(Quoted, 16)) << 16) | read16(Quoted, 18);
  if (QuotedTarget != ARequest.Target ||
      !isEcho(Quoted.subspan(*QuotedHeader), ICMP_ECHO, ARequest))
    return std::nullopt;
  Result.Status = statusOfIcmpError(Type, Icmp[1]);
  Result.TimeToLive = 0;
  return Result;
}

TLinuxPingStatusProvider::TEcho TLinuxPingStatusProvider::Echo(std::uint32_t AAddress,
                                                               int ATimeoutMs, int ABufferSize,
                                                               int ATimeToLive) {
  TEcho Result;
  // No IPv4 packet can carry more.
  if (ABufferSize > 65500) {
    Result.Status = PacketTooBig;
    return Result;
  }
  bool Raw = false;
  int Fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (Fd < 0) {
    Fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    Raw = true;
  }
  if (Fd < 0)
    return Result; // no socket allowed: General Failure
  TSocket Socket(Fd);
  const int Ttl = std::clamp(ATimeToLive, 1, 255);
  ::setsockopt(Fd, IPPROTO_IP, IP_TTL, &Ttl, sizeof Ttl);
  const int On = 1;
  ::setsockopt(Fd, IPPROTO_IP, IP_RECVTTL, &On, sizeof On);
  ::setsockopt(Fd, IPPROTO_IP, IP_RECVERR, &On, sizeof On);

  sockaddr_in Target{};
  Target.sin_family = AF_INET;
  Target.sin_addr.s_addr = htonl(AAddress);
  if (Raw) {
    // A raw socket otherwise queues every ICMP message reaching the host;
    // connected, it keeps only those from the target, and the filter only
    // echo replies among them. Errors about our echo still come, through
    // the error queue (IP_RECVERR). An ICMP socket looks replies up by
    // identifier alone, so connecting it would keep nothing out: the source
    // check in ReadReply holds for both.
    const icmp_filter Filter{~(1u << ICMP_ECHOREPLY)};
    ::setsockopt(Fd, SOL_RAW, ICMP_FILTER, &Filter, sizeof Filter);
    if (::connect(Fd, reinterpret_cast<sockaddr*>(&Target), sizeof Target) < 0) {
      Result.Status = statusOfSendError(errno);
      return Result;
    }
  }

  TEchoRequest Request{AAddress, static_cast<std::uint16_t>(::getpid() & 0xFFFF), 1};
  std::vector<unsigned char> Packet(sizeof(icmphdr) +
                                    static_cast<std::size_t>(std::max(ABufferSize, 0)));
  for (std::size_t I = sizeof(icmphdr); I < Packet.size(); ++I)
    Packet[I] = static_cast<unsigned char>('a' + (I - sizeof(icmphdr)) % 23);
  auto* Header = reinterpret_cast<icmphdr*>(Packet.data());
  Header->type = ICMP_ECHO;
  Header->code = 0;
  Header->un.echo.id = htons(Request.Identifier);
  Header->un.echo.sequence = htons(Request.Sequence);
  Header->checksum = htons(checksum(Packet.data(), Packet.size()));

  const auto Start = std::chrono::steady_clock::now();
  if (::sendto(Fd, Packet.data(), Packet.size(), 0, reinterpret_cast<sockaddr*>(&Target),
               sizeof Target) < 0) {
    Result.Status = statusOfSendError(errno);
    return Result;
  }
  if (!Raw) {
    // An unprivileged ICMP socket puts its own port into the identifier.
    sockaddr_in Local{};
    socklen_t Length = sizeof Local;
    if (::getsockname(Fd, reinterpret_cast<sockaddr*>(&Local), &Length) == 0)
      Request.Identifier = ntohs(Local.sin_port);
  }

  const auto Deadline = Start + std::chrono::milliseconds(std::max(0, ATimeoutMs));
  for (;;) {
    const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
        Deadline - std::chrono::steady_clock::now());
    if (Left.count() <= 0) {
      Result.Status = NoReply;
      return Result;
    }
    pollfd P{Fd, POLLIN, 0};
    const int Ready = ::poll(&P, 1, static_cast<int>(Left.count()));
    if (Ready < 0 && errno == EINTR)
      continue;
    if (Ready <= 0) {
      Result.Status = NoReply;
      return Result;
    }
    unsigned char Buffer[70000];
    char Control[512];
    sockaddr_in From{};
    iovec Vector{Buffer, sizeof Buffer};
    msghdr Message{};
    Message.msg_name = &From;
    Message.msg_namelen = sizeof From;
    Message.msg_iov = &Vector;
    Message.msg_iovlen = 1;
    Message.msg_control = Control;
    Message.msg_controllen = sizeof Control;
    if (P.revents & POLLERR) {
      // Errors about our own request, reported by the kernel; it files them
      // by socket, and for a raw socket that may mean another program's
      // echo to the same target, so the quoted echo must be ours.
      const ssize_t Quoted = ::recvmsg(Fd, &Message, MSG_ERRQUEUE | MSG_DONTWAIT);
      if (Quoted >= 0) {
        const std::span<const unsigned char> Original(Buffer, static_cast<std::size_t>(Quoted));
        for (cmsghdr* C = CMSG_FIRSTHDR(&Message); C; C = CMSG_NXTHDR(&Message, C))
          if (C->cmsg_level == IPPROTO_IP && C->cmsg_type == IP_RECVERR) {
            sock_extended_err Error{};
            std::memcpy(&Error, CMSG_DATA(C), sizeof Error);
            if (Error.ee_origin == SO_EE_ORIGIN_ICMP) {
              if (isEcho(Original, ICMP_ECHO, Request)) {
                Result.Status = statusOfIcmpError(Error.ee_type, Error.ee_code);
                return Result;
              }
            } else if (Error.ee_errno == EMSGSIZE) {
              Result.Status = PacketTooBig;
              return Result;
            }
          }
      }
      continue;
    }
    const ssize_t Received = ::recvmsg(Fd, &Message, MSG_DONTWAIT);
    if (Received <= 0 || Message.msg_namelen < sizeof From || From.sin_family != AF_INET)
      continue;
    std::optional<TEcho> Reply =
        ReadReply(std::span<const unsigned char>(Buffer, static_cast<std::size_t>(Received)), Raw,
                  ntohl(From.sin_addr.s_addr), Request);
    if (!Reply)
      continue;
    if (Reply->Status == 0) {
      for (cmsghdr* C = CMSG_FIRSTHDR(&Message); C; C = CMSG_NXTHDR(&Message, C))
        if (C->cmsg_level == IPPROTO_IP && C->cmsg_type == IP_TTL)
          std::memcpy(&Reply->TimeToLive, CMSG_DATA(C), sizeof Reply->TimeToLive);
      Reply->ResponseTime = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 std::chrono::steady_clock::now() - Start)
                                                 .count());
    }
    return *Reply;
  }
}

bool TLinuxPingStatusProvider::isOwnAddress(std::uint32_t AAddress) {
  if (!FFacts)
    return false;
  if ((AAddress >> 24) == 127)
    return true;
  for (const TFactLink& Link : FFacts->Links())
    for (const TFactAddress& Address : Link.Addresses)
      if (Address.Family == AF_INET && Address.Bytes.size() == 4 &&
          qFromBigEndian<quint32>(Address.Bytes.constData()) == AAddress)
        return true;
  return false;
}

std::vector<TWmiObject> TLinuxPingStatusProvider::Instances(const TWqlQuery& AQuery) {
  const QString Address =
      AQuery.RequiredValue(QStringLiteral("Address")).value_or(QVariant()).toString();
  const int Timeout =
      AQuery.RequiredValue(QStringLiteral("Timeout")).value_or(QVariant(1000)).toInt();
  const int BufferSize =
      AQuery.RequiredValue(QStringLiteral("BufferSize")).value_or(QVariant(32)).toInt();
  const int TimeToLive =
      AQuery.RequiredValue(QStringLiteral("TimeToLive")).value_or(QVariant(80)).toInt();

  TWmiObject Status(ClassName());
  Status.Set(QStringLiteral("Address"), wbemCimtypeString, Address)
      .Set(QStringLiteral("BufferSize"), wbemCimtypeUint32, BufferSize)
      .Set(QStringLiteral("Timeout"), wbemCimtypeUint32, Timeout)
      .Set(QStringLiteral("TimeToLive"), wbemCimtypeUint32, TimeToLive)
      .Set(QStringLiteral("StatusCode"), wbemCimtypeUint32, QVariant())
      .Set(QStringLiteral("ResponseTime"), wbemCimtypeUint32, QVariant())
      .Set(QStringLiteral("ProtocolAddress"), wbemCimtypeString, QVariant())
      .Set(QStringLiteral("ResponseTimeToLive"), wbemCimtypeUint32, QVariant());

  std::uint32_t Target = 0;
  in_addr Literal{};
  if (::inet_pton(AF_INET, Address.toLatin1().constData(), &Literal) == 1) {
    Target = ntohl(Literal.s_addr);
  } else if (!Address.isEmpty() && FSockets.WSAStartup(0x0202) == 0) {
    const std::vector<std::uint32_t> Found = FSockets.GetHostByName(Address, Timeout);
    FSockets.WSACleanup();
    if (Found.empty())
      return {Status};
    Target = Found.front();
  } else {
    return {Status};
  }

  const TEcho Echo = isOwnAddress(Target)
                         ? TEcho{0, 0, FFacts->System().DefaultTtl}
                         : TLinuxPingStatusProvider::Echo(Target, Timeout, BufferSize, TimeToLive);
  Status.Set(QStringLiteral("StatusCode"), wbemCimtypeUint32, Echo.Status);
  if (Echo.Status == 0) {
    Status.Set(QStringLiteral("ResponseTime"), wbemCimtypeUint32, Echo.ResponseTime)
        .Set(QStringLiteral("ProtocolAddress"), wbemCimtypeString, Ipv4ToString(Target))
        .Set(QStringLiteral("ResponseTimeToLive"), wbemCimtypeUint32, Echo.TimeToLive);
  }
  return {Status};
}
