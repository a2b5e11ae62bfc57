#include "platform/windows/WindowsEntryPoint.h"

#undef WSAAddressToString

#include "platform/windows/WindowsSockets.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace {

// A host entry lists a handful of addresses; a longer list is cut here.
constexpr std::size_t MaxAddresses = 256;
// DNS names are at most 255 characters.
constexpr int HostNameChars = 256;

WindowsSockets::TResolution hostByName(const QByteArray& AName) {
  WindowsSockets::TResolution Result;
  // The entry belongs to this thread's Windows Sockets data until the next
  // call on the thread; the worker reads it at once.
  const hostent* Host = ::gethostbyname(AName.constData());
  if (!Host) {
    Result.Error = ::WSAGetLastError();
    return Result;
  }
  if (Host->h_addrtype != AF_INET || Host->h_length != 4)
    return Result;
  for (char** Address = Host->h_addr_list;
       Address && *Address && Result.Addresses.size() < MaxAddresses; ++Address) {
    u_long Network = 0;
    std::memcpy(&Network, *Address, 4);
    Result.Addresses.push_back(::ntohl(Network));
  }
  return Result;
}

// gethostbyname fails with WSANOTINITIALISED where the process has not
// started the sockets layer, and the worker's own start must not hide that.
// Making a socket is refused the same way (gethostname is not, under wine);
// one that is made is closed at once and sends nothing.
bool layerStarted() {
  const SOCKET Probe = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (Probe != INVALID_SOCKET) {
    ::closesocket(Probe);
    return true;
  }
  return ::WSAGetLastError() != WSANOTINITIALISED;
}

struct TLookup {
  bool Finished = false;
  WindowsSockets::TResolution Result;
};

} // namespace

struct WindowsSockets::TLookups {
  TResolver Resolver;
  mutable std::mutex Lock;
  std::condition_variable Done;
  // By name in the ANSI code page; a finished look-up leaves at once, so
  // nothing is cached.
  std::map<QByteArray, std::shared_ptr<TLookup>> Pending;
};

WindowsSockets::WindowsSockets() : WindowsSockets(hostByName) {}

WindowsSockets::WindowsSockets(TResolver AResolver) : FLookups(std::make_shared<TLookups>()) {
  FLookups->Resolver = std::move(AResolver);
}

WindowsSockets::~WindowsSockets() = default;

int WindowsSockets::WSAStartup(std::uint16_t AVersion, TWsaData* AData) {
  WSADATA Data{};
  const int Result = ::WSAStartup(AVersion, &Data);
  // A version the system lacks still tells the highest one it has.
  if (AData && (Result == 0 || Result == WSAVERNOTSUPPORTED)) {
    AData->Version = Data.wVersion;
    AData->HighVersion = Data.wHighVersion;
    AData->Description = QString::fromLocal8Bit(
        Data.szDescription, qsizetype(strnlen(Data.szDescription, sizeof Data.szDescription)));
    AData->SystemStatus = QString::fromLocal8Bit(
        Data.szSystemStatus, qsizetype(strnlen(Data.szSystemStatus, sizeof Data.szSystemStatus)));
  }
  return Result;
}

int WindowsSockets::WSACleanup() {
  return ::WSACleanup();
}

int WindowsSockets::WSAGetLastError() {
  return ::WSAGetLastError();
}

int WindowsSockets::GetHostName(QString& AName) {
  // GetHostNameW (Windows 8 and later) gives the name as it is, not as the
  // ANSI code page can spell it.
  using TGetHostNameW = int(WSAAPI*)(PWSTR, int);
  static const auto WideName = EntryPoint<TGetHostNameW>(L"ws2_32.dll", "GetHostNameW");
  if (WideName) {
    wchar_t Name[HostNameChars] = {};
    if (WideName(Name, HostNameChars) != 0)
      return SOCKET_ERROR;
    AName = QString::fromWCharArray(Name, int(wcsnlen(Name, HostNameChars)));
    return 0;
  }
  char Name[HostNameChars] = {};
  if (::gethostname(Name, sizeof Name) != 0)
    return SOCKET_ERROR;
  AName = QString::fromLocal8Bit(Name, qsizetype(strnlen(Name, sizeof Name)));
  return 0;
}

std::vector<std::uint32_t> WindowsSockets::GetHostByName(const QString& AName, int ATimeoutMs) {
  if (!layerStarted()) {
    ::WSASetLastError(WSANOTINITIALISED);
    return {};
  }
  // gethostbyname takes the name in the ANSI code page, which toLocal8Bit
  // gives on Windows.
  const QByteArray Name = AName.toLocal8Bit();
  const auto Deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(ATimeoutMs < 0 ? ResolveTimeoutMs : ATimeoutMs);
  std::unique_lock Guard(FLookups->Lock);
  std::shared_ptr<TLookup> Lookup;
  if (const auto Running = FLookups->Pending.find(Name); Running != FLookups->Pending.end()) {
    Lookup = Running->second;
  } else {
    if (FLookups->Pending.size() >= std::size_t(MaxPendingLookups)) {
      Guard.unlock();
      ::WSASetLastError(WSATRY_AGAIN);
      return {};
    }
    // The worker's own start keeps the layer up while it runs, whatever the
    // caller stops meanwhile.
    WSADATA Data{};
    if (const int Error = ::WSAStartup(MAKEWORD(2, 2), &Data); Error != 0) {
      Guard.unlock();
      ::WSASetLastError(Error);
      return {};
    }
    Lookup = std::make_shared<TLookup>();
    try {
      std::thread([Lookups = FLookups, Lookup, Name] {
        TResolution Result;
        try {
          Result = Lookups->Resolver(Name);
        } catch (...) {
          Result = {{}, WSANO_RECOVERY};
        }
        ::WSACleanup();
        std::lock_guard Finish(Lookups->Lock);
        Lookup->Result = std::move(Result);
        Lookup->Finished = true;
        if (const auto Entry = Lookups->Pending.find(Name);
            Entry != Lookups->Pending.end() && Entry->second == Lookup)
          Lookups->Pending.erase(Entry);
        Lookups->Done.notify_all();
      }).detach();
    } catch (...) {
      Guard.unlock();
      ::WSACleanup();
      ::WSASetLastError(WSATRY_AGAIN);
      return {};
    }
    FLookups->Pending.emplace(Name, Lookup);
  }
  const bool Finished =
      FLookups->Done.wait_until(Guard, Deadline, [&Lookup] { return Lookup->Finished; });
  // A late answer is dropped; the resolver's own word for "try again" says
  // what happened.
  const TResolution Result = Finished ? Lookup->Result : TResolution{{}, WSATRY_AGAIN};
  Guard.unlock();
  ::WSASetLastError(Result.Error);
  return Result.Addresses;
}

int WindowsSockets::PendingLookups() const {
  std::lock_guard Guard(FLookups->Lock);
  return int(FLookups->Pending.size());
}

// The shared formatter gives the text Windows gives, also for the address
// bytes the system would refuse.
int WindowsSockets::WSAAddressToString(const TSocketAddress& AAddress, QString& AText) {
  int Error = 0;
  const std::optional<QString> Text = FormatSocketAddress(AAddress, Error);
  if (!Text) {
    ::WSASetLastError(Error);
    return SOCKET_ERROR;
  }
  AText = *Text;
  return 0;
}
