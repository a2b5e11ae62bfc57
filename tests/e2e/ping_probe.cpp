// Prints "<status> <milliseconds>" of one echo to the address given; run by
// the end-to-end tests inside a namespace of their own.

#include "platform/linux/LinuxPing.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  in_addr Address{};
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
