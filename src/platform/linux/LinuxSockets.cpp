#include "platform/linux/LinuxSockets.h"

#include <QSysInfo>

#include <algorithm>
#include <arpa/inet.h>
#include <condition_variable>
#include <ifaddrs.h>
#include <memory>
#include <net/if.h>
#include <netdb.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

QString hostName() {
  char Buffer[256] = {};
  return ::gethostname(Buffer, sizeof Buffer - 1) == 0 ? QString::fromLocal8Bit(Buffer) : QString();
}

// The source address of a route to a public destination; 0 when there is none.
std::uint32_t preferredSource() {
  const int Fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (Fd < 0)
    return 0;
  sockaddr_in Target{};
  Target.sin_family = AF_INET;
  Target.sin_port = htons(53);
  ::inet_pton(AF_INET, "192.0.2.1", &Target.sin_addr); // documentation range; nothing is sent
  std::uint32_t Source = 0;
  if (::connect(Fd, reinterpret_cast<sockaddr*>(&Target), sizeof Target) == 0) {
    sockaddr_in Local{};
    socklen_t Length = sizeof Local;
    if (::getsockname(Fd, reinterpret_cast<sockaddr*>(&Local), &Length) == 0)
      Source = ntohl(Local.sin_addr.s_addr);
  }
  ::close(Fd);
  return Source;
}

struct TLookup {
  std::mutex Lock;
  std::condition_variable Done;
  bool Finished = false;
  int Error = 0;
  std::vector<std::uint32_t> Addresses;
};

} // namespace

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
    AData->Description = QStringLiteral("Linux sockets (%1)").arg(QSysInfo::kernelVersion());
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
  AName = hostName();
  return AName.isEmpty() ? SOCKET_ERROR : 0;
}

bool LinuxSockets::IsOwnName(const QString& AName) {
  const QString Host = hostName();
  if (Host.isEmpty() || AName.isEmpty())
    return false;
  return AName.compare(Host, Qt::CaseInsensitive) == 0 ||
         AName.compare(Host.section(u'.', 0, 0), Qt::CaseInsensitive) == 0 ||
         AName.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0;
}

std::vector<std::uint32_t> LinuxSockets::OwnAddresses() {
  std::vector<std::uint32_t> Addresses;
  ifaddrs* List = nullptr;
  if (::getifaddrs(&List) != 0)
    return Addresses;
  for (ifaddrs* Entry = List; Entry; Entry = Entry->ifa_next) {
    if (!Entry->ifa_addr || Entry->ifa_addr->sa_family != AF_INET)
      continue;
    if (!(Entry->ifa_flags & IFF_UP) || (Entry->ifa_flags & IFF_LOOPBACK))
      continue;
    const std::uint32_t Address =
        ntohl(reinterpret_cast<sockaddr_in*>(Entry->ifa_addr)->sin_addr.s_addr);
    if ((Address >> 24) == 127)
      continue;
    Addresses.push_back(Address);
  }
  ::freeifaddrs(List);
  const std::uint32_t Preferred = preferredSource();
  const auto It = std::find(Addresses.begin(), Addresses.end(), Preferred);
  if (It != Addresses.end())
    std::rotate(Addresses.begin(), It, It + 1);
  return Addresses;
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
