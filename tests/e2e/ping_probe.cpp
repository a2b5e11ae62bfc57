// Prints "<status> <milliseconds>" of one echo to the address given; run by
// the end-to-end tests inside a namespace of their own.
//
// "--forge SOURCE" makes it a liar at the far end of a link instead: every
// echo request that reaches its namespace gets an echo reply claiming to
// come from SOURCE, with the request's identifier, sequence and data. It
// prints "ready" once it listens and stops after 16 replies, after 30 s or
// when its parent goes, whichever comes first.

#include "platform/linux/LinuxPing.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>

namespace {

int forge(in_addr ASource) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  const int Listen = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  // IPPROTO_RAW lets the header we write, forged source and all, go out as it is.
  const int Send = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
  if (Listen < 0 || Send < 0) {
    std::perror("socket");
    return 1;
  }
  std::puts("ready");
  std::fflush(stdout);
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (int Replies = 0; Replies < 16;) {
    const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          Deadline - std::chrono::steady_clock::now())
                          .count();
    if (Left <= 0)
      break;
    pollfd P{Listen, POLLIN, 0};
    if (::poll(&P, 1, static_cast<int>(Left)) <= 0)
      continue;
    unsigned char Request[2048];
    const ssize_t Received = ::recv(Listen, Request, sizeof Request, MSG_DONTWAIT);
    if (Received < 20)
      continue;
    const auto Length = static_cast<std::size_t>(Received);
    const std::size_t HeaderLength = static_cast<std::size_t>(Request[0] & 0x0F) * 4;
    if (HeaderLength < 20 || Length < HeaderLength + 8 || Request[HeaderLength] != 8)
      continue; // not an echo request

    // The request turned round: a bare IPv4 header from the forged source
    // back to the sender, then the request's ICMP message as an echo reply.
    unsigned char Reply[2048]{};
    const std::size_t IcmpLength = Length - HeaderLength;
    Reply[0] = 0x45;
    Reply[8] = 64;
    Reply[9] = IPPROTO_ICMP;
    std::memcpy(Reply + 12, &ASource, 4);
    std::memcpy(Reply + 16, Request + 12, 4);
    unsigned char* Icmp = Reply + 20;
    std::memcpy(Icmp, Request + HeaderLength, IcmpLength);
    Icmp[0] = 0;
    // RFC 1624: the checksum follows the type byte going from 8 to 0.
    const unsigned Old = (unsigned(Icmp[2]) << 8) | Icmp[3];
    unsigned Sum = (~Old & 0xFFFFu) + (~0x0800u & 0xFFFFu);
    Sum = (Sum & 0xFFFFu) + (Sum >> 16);
    Icmp[2] = static_cast<unsigned char>((~Sum >> 8) & 0xFF);
    Icmp[3] = static_cast<unsigned char>(~Sum & 0xFF);

    sockaddr_in To{};
    To.sin_family = AF_INET;
    std::memcpy(&To.sin_addr, Request + 12, 4);
    if (::sendto(Send, Reply, 20 + IcmpLength, 0, reinterpret_cast<sockaddr*>(&To), sizeof To) < 0)
      std::perror("sendto");
    ++Replies;
  }
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  in_addr Address{};
  if (argc == 3 && std::strcmp(argv[1], "--forge") == 0 &&
      ::inet_pton(AF_INET, argv[2], &Address) == 1)
    return forge(Address);
  if (argc < 2 || ::inet_pton(AF_INET, argv[1], &Address) != 1)
    return 2;
  const auto Start = std::chrono::steady_clock::now();
  const auto Echo = TLinuxPingStatusProvider::Echo(ntohl(Address.s_addr), 1000, 32, 128);
  const auto Elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - Start)
                           .count();
  std::printf("%d %lld\n", Echo.Status, static_cast<long long>(Elapsed));
  return 0;
}
