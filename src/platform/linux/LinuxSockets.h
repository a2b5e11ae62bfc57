#pragma once
// The Linux sockets backend: gethostname, the interfaces of the host for its
// own name (getifaddrs, and the source address the kernel picks for a public
// destination, found with an unconnected-then-connected UDP socket, which
// sends nothing), getaddrinfo for other names within ResolveTimeoutMs.

#include "platform/Sockets.h"

#include <mutex>
#include <optional>

class LinuxSockets : public ISockets {
public:
  static constexpr int ResolveTimeoutMs = 5000;

  int WSAStartup(std::uint16_t AVersion, TWsaData* AData = nullptr) override;
  int WSACleanup() override;
  int WSAGetLastError() override;
  int GetHostName(QString& AName) override;
  std::vector<std::uint32_t> GetHostByName(const QString& AName, int ATimeoutMs = -1) override;
  int WSAAddressToString(const TSocketAddress& AAddress, QString& AText) override;

  // The host's own IPv4 addresses as described above.
  static std::vector<std::uint32_t> OwnAddresses();
  // True when AName is the host name, short or full, in any letter case.
  static bool IsOwnName(const QString& AName);

private:
  std::mutex FLock;
  int FStarts = 0;
  int FLastError = 0;
};
