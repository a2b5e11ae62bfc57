#include "platform/StreamConnection.h"

#include "platform/SafeFolder.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

struct TAddress {
  sockaddr_storage Address;
  socklen_t Length;
};

bool stopping(const TStopCheck& AStop) {
  return AStop && AStop();
}

// The first of AAddresses that accepts within ATimeout all told; -1 when
// none does.
int connectAny(const std::vector<TAddress>& AAddresses, std::chrono::milliseconds ATimeout,
               const TStopCheck& AStop) {
  const auto Deadline = TClock::now() + ATimeout;
  for (const auto& [Address, Length] : AAddresses) {
    const int Fd = ::socket(Address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (Fd < 0)
      continue;
    if (::connect(Fd, reinterpret_cast<const sockaddr*>(&Address), Length) == 0)
      return Fd;
    if (errno == EINPROGRESS) {
      for (;;) {
        // Once the caller stops an attempt gets no more time: a listener
        // that has answered by then is still taken, one that has not is not
        // waited for.
        const bool Going = stopping(AStop);
        pollfd P{Fd, POLLOUT, 0};
        const int Ready = ::poll(&P, 1, Going ? 0 : int(StreamConnectSlice.count()));
        if (Ready > 0) {
          int Error = 0;
          socklen_t Size = sizeof Error;
          if (::getsockopt(Fd, SOL_SOCKET, SO_ERROR, &Error, &Size) == 0 && Error == 0)
            return Fd;
          break;
        }
        if (Going || TClock::now() >= Deadline || (Ready < 0 && errno != EINTR))
          break;
      }
    }
    ::close(Fd);
  }
  return -1;
}

} // namespace

TStreamConnection::~TStreamConnection() {
  Close();
}

TStreamConnection::TStreamConnection(TStreamConnection&& AOther) noexcept
    : FHandle(std::exchange(AOther.FHandle, -1)), FPipe(AOther.FPipe) {}

TStreamConnection& TStreamConnection::operator=(TStreamConnection&& AOther) noexcept {
  std::swap(FHandle, AOther.FHandle);
  std::swap(FPipe, AOther.FPipe);
  return *this;
}

TStreamConnection TStreamConnection::ConnectTcp(const QString& AHost, quint16 APort,
                                                std::chrono::milliseconds ATimeout,
                                                const TStopCheck& AStop,
                                                const TResolvingNotice& AResolving) {
  const QByteArray Host = AHost.toUtf8();
  const QByteArray Port = QByteArray::number(APort);
  addrinfo Hints{};
  Hints.ai_family = AF_UNSPEC;
  Hints.ai_socktype = SOCK_STREAM;
  Hints.ai_flags = AI_NUMERICSERV | AI_NUMERICHOST;
  addrinfo* Found = nullptr;
  int Resolved = ::getaddrinfo(Host.constData(), Port.constData(), &Hints, &Found);
  if (Resolved == EAI_NONAME) {
    if (AResolving)
      AResolving(true);
    Hints.ai_flags = AI_NUMERICSERV;
    Resolved = ::getaddrinfo(Host.constData(), Port.constData(), &Hints, &Found);
    if (AResolving)
      AResolving(false);
  }
  if (Resolved != 0)
    return {};
  std::vector<TAddress> Addresses;
  for (const addrinfo* A = Found; A; A = A->ai_next) {
    if (A->ai_addrlen > sizeof(sockaddr_storage))
      continue;
    TAddress Address{};
    std::memcpy(&Address.Address, A->ai_addr, A->ai_addrlen);
    Address.Length = A->ai_addrlen;
    Addresses.push_back(Address);
  }
  ::freeaddrinfo(Found);
  const int Fd = connectAny(Addresses, ATimeout, AStop);
  return Fd < 0 ? TStreamConnection() : TStreamConnection(Fd, false);
}

TStreamConnection TStreamConnection::ConnectLocal(const QString& APath,
                                                  std::chrono::milliseconds ATimeout,
                                                  const TStopCheck& AStop) {
  const QByteArray Path = QFile::encodeName(APath);
  sockaddr_un Un{};
  Un.sun_family = AF_UNIX;
  if (!TSafeFolder::Open(QFileInfo(APath).path(), false).IsOpen() ||
      static_cast<size_t>(Path.size()) >= sizeof Un.sun_path)
    return {};
  std::memcpy(Un.sun_path, Path.constData(), static_cast<size_t>(Path.size()));
  TAddress Address{};
  std::memcpy(&Address.Address, &Un, sizeof Un);
  Address.Length = static_cast<socklen_t>(sizeof Un);
  const int Fd = connectAny({Address}, ATimeout, AStop);
  return Fd < 0 ? TStreamConnection() : TStreamConnection(Fd, false);
}

bool TStreamConnection::SendAll(QByteArrayView AData, std::chrono::milliseconds ATimeout,
                                const TStopCheck& AStop) {
  if (!IsOpen())
    return false;
  const int Fd = int(FHandle);
  size_t Sent = 0;
  const size_t Size = size_t(AData.size());
  const auto GiveUp = TClock::now() + ATimeout;
  while (Sent < Size) {
    // MSG_NOSIGNAL: a listener gone away is a failed send, not SIGPIPE.
    const ssize_t N = ::send(Fd, AData.data() + Sent, Size - Sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (N > 0) {
      Sent += static_cast<size_t>(N);
      continue;
    }
    if (N < 0 && errno == EINTR)
      continue;
    if (N < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (stopping(AStop) || TClock::now() >= GiveUp)
        return false;
      pollfd P{Fd, POLLOUT, 0};
      ::poll(&P, 1, int(StreamSendSlice.count()));
      continue;
    }
    return false;
  }
  return true;
}

bool TStreamConnection::PeerClosed() {
  if (!IsOpen())
    return true;
  char Buffer[4096];
  for (int I = 0; I < 16; ++I) {
    const ssize_t N = ::recv(int(FHandle), Buffer, sizeof Buffer, MSG_DONTWAIT);
    if (N == 0)
      return true;
    if (N < 0)
      return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
  }
  return false;
}

void TStreamConnection::Close() noexcept {
  if (IsOpen())
    ::close(int(std::exchange(FHandle, -1)));
}

QString LocalStreamEndpoint(const QString& AName) {
  const QString Runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  const QString Folder =
      Runtime.isEmpty() ? QStringLiteral("/tmp/kelvane-%1").arg(::geteuid()) : Runtime;
  return Folder + u'/' + AName + QStringLiteral(".sock");
}
