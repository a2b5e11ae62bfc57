#pragma once
// The Linux sockets backend: the host name and, for the host's own name,
// the interfaces of the machine's snapshot (the source address the kernel
// picks for a public destination first, found with an unconnected-then-
// connected UDP socket, which sends nothing); getaddrinfo for other names
// within ResolveTimeoutMs.

#include "platform/Sockets.h"
#include "platform/linux/LinuxFacts.h"

#include <memory>

#include <mutex>
#include <optional>

class LinuxSockets : public ISockets {
public:
  static constexpr int ResolveTimeoutMs = 5000;

  explicit LinuxSockets(std::shared_ptr<TLinuxFacts> AFacts = TLinuxFacts::Shared());

  int WSAStartup(std::uint16_t AVersion, TWsaData* AData = nullptr) override;
  int WSACleanup() override;
  int WSAGetLastError() override;
  int GetHostName(QString& AName) override;
  std::vector<std::uint32_t> GetHostByName(const QString& AName, int ATimeoutMs = -1) override;
  int WSAAddressToString(const TSocketAddress& AAddress, QString& AText) override;

  // The host's own IPv4 addresses as described above: those of the links
  // that are up, loopback and 127.0.0.0/8 left out.
  std::vector<std::uint32_t> OwnAddresses();
  // True when AName is the host name, short or full, in any letter case.
  bool IsOwnName(const QString& AName);

private:
  std::shared_ptr<TLinuxFacts> FFacts;
  std::once_flag FOwnTaken;
  std::vector<std::uint32_t> FOwn;
  std::mutex FLock;
  int FStarts = 0;
  int FLastError = 0;
};
