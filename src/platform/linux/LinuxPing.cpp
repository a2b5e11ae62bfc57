#include "platform/linux/LinuxPing.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
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

  const std::uint16_t Sequence = 1;
  std::uint16_t Identifier = static_cast<std::uint16_t>(::getpid() & 0xFFFF);
  std::vector<unsigned char> Packet(sizeof(icmphdr) +
                                    static_cast<std::size_t>(std::max(ABufferSize, 0)));
  for (std::size_t I = sizeof(icmphdr); I < Packet.size(); ++I)
    Packet[I] = static_cast<unsigned char>('a' + (I - sizeof(icmphdr)) % 23);
  auto* Header = reinterpret_cast<icmphdr*>(Packet.data());
  Header->type = ICMP_ECHO;
  Header->code = 0;
  Header->un.echo.id = htons(Identifier);
  Header->un.echo.sequence = htons(Sequence);
  Header->checksum = htons(checksum(Packet.data(), Packet.size()));

  const auto Start = std::chrono::steady_clock::now();
  if (::sendto(Fd, Packet.data(), Packet.size(), 0, reinterpret_cast<sockaddr*>(&Target),
               sizeof Target) < 0) {
    Result.Status = errno == EMSGSIZE ? PacketTooBig : GeneralFailure;
    return Result;
  }
  if (!Raw) {
    // An unprivileged ICMP socket puts its own port into the identifier.
    sockaddr_in Local{};
    socklen_t Length = sizeof Local;
    if (::getsockname(Fd, reinterpret_cast<sockaddr*>(&Local), &Length) == 0)
      Identifier = ntohs(Local.sin_port);
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
    iovec Vector{Buffer, sizeof Buffer};
    msghdr Message{};
    Message.msg_iov = &Vector;
    Message.msg_iovlen = 1;
    Message.msg_control = Control;
    Message.msg_controllen = sizeof Control;
    if (P.revents & POLLERR) {
      // Errors about our own request, reported by the kernel.
      if (::recvmsg(Fd, &Message, MSG_ERRQUEUE | MSG_DONTWAIT) >= 0) {
        for (cmsghdr* C = CMSG_FIRSTHDR(&Message); C; C = CMSG_NXTHDR(&Message, C))
          if (C->cmsg_level == IPPROTO_IP && C->cmsg_type == IP_RECVERR) {
            sock_extended_err Error{};
            std::memcpy(&Error, CMSG_DATA(C), sizeof Error);
            if (Error.ee_origin == SO_EE_ORIGIN_ICMP) {
              Result.Status = statusOfIcmpError(Error.ee_type, Error.ee_code);
              return Result;
            }
            if (Error.ee_errno == EMSGSIZE) {
              Result.Status = PacketTooBig;
              return Result;
            }
          }
      }
      continue;
    }
    const ssize_t Received = ::recvmsg(Fd, &Message, MSG_DONTWAIT);
    if (Received <= 0)
      continue;
    const unsigned char* Icmp = Buffer;
    std::size_t IcmpLength = static_cast<std::size_t>(Received);
    int ReplyTtl = -1;
    if (Raw) {
      const std::size_t HeaderLength = static_cast<std::size_t>(Buffer[0] & 0x0F) * 4;
      if (IcmpLength < HeaderLength + sizeof(icmphdr))
        continue;
      ReplyTtl = Buffer[8];
      Icmp += HeaderLength;
      IcmpLength -= HeaderLength;
    }
    for (cmsghdr* C = CMSG_FIRSTHDR(&Message); C; C = CMSG_NXTHDR(&Message, C))
      if (C->cmsg_level == IPPROTO_IP && C->cmsg_type == IP_TTL)
        std::memcpy(&ReplyTtl, CMSG_DATA(C), sizeof ReplyTtl);
    if (IcmpLength < sizeof(icmphdr))
      continue;
    icmphdr Reply{};
    std::memcpy(&Reply, Icmp, sizeof Reply);
    if (Reply.type == ICMP_ECHOREPLY) {
      if (ntohs(Reply.un.echo.id) != Identifier || ntohs(Reply.un.echo.sequence) != Sequence)
        continue;
      Result.Status = 0;
      Result.ResponseTime = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 std::chrono::steady_clock::now() - Start)
                                                 .count());
      Result.TimeToLive = ReplyTtl;
      return Result;
    }
    if (Raw && (Reply.type == ICMP_DEST_UNREACH || Reply.type == ICMP_TIME_EXCEEDED ||
                Reply.type == ICMP_PARAMETERPROB || Reply.type == ICMP_SOURCE_QUENCH)) {
      // The error quotes the IP header and the first 8 bytes of our request.
      const unsigned char* Quoted = Icmp + sizeof(icmphdr);
      const std::size_t QuotedLength = IcmpLength - sizeof(icmphdr);
      if (QuotedLength < 20)
        continue;
      const std::size_t InnerHeader = static_cast<std::size_t>(Quoted[0] & 0x0F) * 4;
      if (QuotedLength < InnerHeader + 8)
        continue;
      icmphdr Original{};
      std::memcpy(&Original, Quoted + InnerHeader, sizeof Original);
      if (Original.type == ICMP_ECHO && ntohs(Original.un.echo.id) == Identifier &&
          ntohs(Original.un.echo.sequence) == Sequence) {
        Result.Status = statusOfIcmpError(Reply.type, Reply.code);
        return Result;
      }
    }
  }
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

  const TEcho Echo = TLinuxPingStatusProvider::Echo(Target, Timeout, BufferSize, TimeToLive);
  Status.Set(QStringLiteral("StatusCode"), wbemCimtypeUint32, Echo.Status);
  if (Echo.Status == 0) {
    Status.Set(QStringLiteral("ResponseTime"), wbemCimtypeUint32, Echo.ResponseTime)
        .Set(QStringLiteral("ProtocolAddress"), wbemCimtypeString, Ipv4ToString(Target))
        .Set(QStringLiteral("ResponseTimeToLive"), wbemCimtypeUint32, Echo.TimeToLive);
  }
  return {Status};
}
