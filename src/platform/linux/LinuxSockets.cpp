#include "platform/linux/LinuxSockets.h"

#include <QtEndian>
#include <algorithm>
#include <arpa/inet.h>
#include <condition_variable>
#include <memory>
#include <net/if.h>
#include <netdb.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

struct TLookup {
  std::mutex Lock;
  std::condition_variable Done;
  bool Finished = false;
  int Error = 0;
  std::vector<std::uint32_t> Addresses;
};

} // namespace

LinuxSockets::LinuxSockets(std::shared_ptr<TLinuxFacts> AFacts) : FFacts(std::move(AFacts)) {}

int LinuxSockets::WSAStartup(std::uint16_t AVersion, TWsaData* AData) {
  std::lock_guard Guard(FLock);
  const int Major = AVersion & 0xFF;
  if (Major < 1)
    return int(WSAVERNOTSUPPORTED);
  ++FStarts;
  if (AData) {
    // The Berkeley sockets of the C library, which speak everything that
    // Windows Sockets 2.2 does.
    AData->Version = std::uint16_t(qMin<int>(AVersion & 0xFF, 2) | (AVersion & 0xFF00));
    AData->HighVersion = 0x0202;
    AData->Description = QStringLiteral("Linux sockets (%1)").arg(FFacts->System().KernelRelease);
    AData->SystemStatus = QStringLiteral("Running");
  }
  return 0;
}

int LinuxSockets::WSACleanup() {
  std::lock_guard Guard(FLock);
  if (FStarts == 0) {
    FLastError = int(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  --FStarts;
  return 0;
}

int LinuxSockets::WSAGetLastError() {
  std::lock_guard Guard(FLock);
  return FLastError;
}

int LinuxSockets::GetHostName(QString& AName) {
  AName = FFacts->System().Host.Name;
  return AName.isEmpty() ? SOCKET_ERROR : 0;
}

bool LinuxSockets::IsOwnName(const QString& AName) {
  const THostName& Host = FFacts->System().Host;
  if (Host.Name.isEmpty() || AName.isEmpty())
    return false;
  return AName.compare(Host.Name, Qt::CaseInsensitive) == 0 ||
         AName.compare(Host.Short, Qt::CaseInsensitive) == 0;
}

std::vector<std::uint32_t> LinuxSockets::OwnAddresses() {
  std::call_once(FOwnTaken, [this] {
    for (const TFactLink& Link : FFacts->Links()) {
      if (!(Link.Flags & IFF_UP) || (Link.Flags & IFF_LOOPBACK))
        continue;
      for (const TFactAddress& Address : Link.Addresses) {
        if (Address.Family != AF_INET || Address.Bytes.size() != 4)
          continue;
        const std::uint32_t Value = qFromBigEndian<quint32>(Address.Bytes.constData());
        if ((Value >> 24) != 127)
          FOwn.push_back(Value);
      }
    }
    const std::uint32_t Preferred = FFacts->PreferredSource();
    const auto It = std::find(FOwn.begin(), FOwn.end(), Preferred);
    if (It != FOwn.end())
      std::rotate(FOwn.begin(), It, It + 1);
  });
  return FOwn;
}

std::vector<std::uint32_t> LinuxSockets::GetHostByName(const QString& AName, int ATimeoutMs) {
  // Never the 127.0.x.1 alias that /etc/hosts may hold for the host.
  if (IsOwnName(AName))
    return OwnAddresses();
  // The resolver may take long; the caller waits a bounded time and a late
  // answer is dropped with the shared state.
  auto Lookup = std::make_shared<TLookup>();
  const QByteArray Name = AName.toLocal8Bit();
  try {
    std::thread([Lookup, Name] {
      addrinfo Hints{};
      Hints.ai_family = AF_INET;
      Hints.ai_socktype = SOCK_STREAM;
      addrinfo* Found = nullptr;
      const int Result = ::getaddrinfo(Name.constData(), nullptr, &Hints, &Found);
      std::vector<std::uint32_t> Addresses;
      for (addrinfo* A = Result == 0 ? Found : nullptr; A; A = A->ai_next) {
        const std::uint32_t Address =
            ntohl(reinterpret_cast<sockaddr_in*>(A->ai_addr)->sin_addr.s_addr);
        if (std::find(Addresses.begin(), Addresses.end(), Address) == Addresses.end())
          Addresses.push_back(Address);
      }
      if (Found)
        ::freeaddrinfo(Found);
      std::lock_guard Guard(Lookup->Lock);
      Lookup->Addresses = std::move(Addresses);
      Lookup->Error =
          Result == 0 ? 0 : (Result == EAI_AGAIN ? int(WSATRY_AGAIN) : int(WSAHOST_NOT_FOUND));
      Lookup->Finished = true;
      Lookup->Done.notify_all();
    }).detach();
  } catch (...) {
    return {};
  }
  std::unique_lock Guard(Lookup->Lock);
  if (!Lookup->Done.wait_for(
          Guard,
          std::chrono::milliseconds(ATimeoutMs < 0 ? ResolveTimeoutMs
                                                   : std::min(ATimeoutMs, ResolveTimeoutMs)),
          [&] { return Lookup->Finished; })) {
    std::lock_guard Errors(FLock);
    FLastError = int(WSATRY_AGAIN);
    return {};
  }
  {
    std::lock_guard Errors(FLock);
    FLastError = Lookup->Error;
  }
  return Lookup->Addresses;
}

int LinuxSockets::WSAAddressToString(const TSocketAddress& AAddress, QString& AText) {
  int Error = 0;
  const std::optional<QString> Text = FormatSocketAddress(AAddress, Error);
  std::lock_guard Guard(FLock);
  if (!Text) {
    FLastError = Error;
    return SOCKET_ERROR;
  }
  AText = *Text;
  return 0;
}
