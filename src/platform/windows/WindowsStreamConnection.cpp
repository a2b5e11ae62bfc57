#include "platform/StreamConnection.h"

#include "platform/windows/WindowsErrorText.h"

#include <aclapi.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

bool stopping(const TStopCheck& AStop) {
  return AStop && AStop();
}

// Once for the whole process, never undone: connections are made up to the
// program's exit.
bool winsockStarted() {
  static const bool Started = [] {
    WSADATA Data{};
    return ::WSAStartup(MAKEWORD(2, 2), &Data) == 0;
  }();
  return Started;
}

// select() rather than WSAPoll(): WSAPoll reports a refused connect on some
// systems only when its wait is over, and every slice would then look alike.
int waitForSocket(SOCKET ASocket, bool AWrite, fd_set* AFailed, std::chrono::milliseconds AWait) {
  fd_set Ready;
  FD_ZERO(&Ready);
  FD_SET(ASocket, &Ready);
  if (AFailed) {
    FD_ZERO(AFailed);
    FD_SET(ASocket, AFailed);
  }
  const long Micro = long(AWait.count()) * 1000;
  timeval Wait{Micro / 1000000, Micro % 1000000};
  return ::select(0, AWrite ? nullptr : &Ready, AWrite ? &Ready : nullptr, AFailed, &Wait);
}

// The first address of AFound that accepts within ATimeout all told.
SOCKET connectAny(const ADDRINFOW* AFound, std::chrono::milliseconds ATimeout,
                  const TStopCheck& AStop) {
  const auto Deadline = TClock::now() + ATimeout;
  for (const ADDRINFOW* A = AFound; A; A = A->ai_next) {
    const SOCKET Socket = ::WSASocketW(A->ai_family, A->ai_socktype, A->ai_protocol, nullptr, 0,
                                       WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (Socket == INVALID_SOCKET)
      continue;
    u_long NonBlocking = 1;
    if (::ioctlsocket(Socket, FIONBIO, &NonBlocking) == 0) {
      if (::connect(Socket, A->ai_addr, int(A->ai_addrlen)) == 0)
        return Socket;
      if (::WSAGetLastError() == WSAEWOULDBLOCK) {
        for (;;) {
          // Once the caller stops an attempt gets no more time: a listener
          // that has answered by then is still taken, one that has not is
          // not waited for.
          const bool Going = stopping(AStop);
          fd_set Failed;
          const int Ready = waitForSocket(
              Socket, true, &Failed, Going ? std::chrono::milliseconds(0) : StreamConnectSlice);
          if (Ready > 0) {
            int Error = 0;
            int Size = sizeof Error;
            if (!FD_ISSET(Socket, &Failed) &&
                ::getsockopt(Socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&Error),
                             &Size) == 0 &&
                Error == 0)
              return Socket;
            break;
          }
          if (Going || Ready == SOCKET_ERROR || TClock::now() >= Deadline)
            break;
        }
      }
    }
    ::closesocket(Socket);
  }
  return INVALID_SOCKET;
}

// The user this process runs as.
std::vector<BYTE> processUser() {
  HANDLE Token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &Token))
    return {};
  DWORD Size = 0;
  ::GetTokenInformation(Token, TokenUser, nullptr, 0, &Size);
  std::vector<BYTE> User(Size);
  if (Size == 0 || !::GetTokenInformation(Token, TokenUser, User.data(), Size, &Size))
    User.clear();
  ::CloseHandle(Token);
  return User;
}

// Anyone may create a pipe of any free name: a listener of another user's
// must not get the log. Trusted are the user, and those who could read the
// user's files anyway (the administrators, the system).
bool trustedOwner(HANDLE APipe) {
  PSID Owner = nullptr;
  PSECURITY_DESCRIPTOR Descriptor = nullptr;
  if (::GetSecurityInfo(APipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &Owner, nullptr,
                        nullptr, nullptr, &Descriptor) != ERROR_SUCCESS)
    return false;
  bool Trusted = Owner && ::IsValidSid(Owner) &&
                 (::IsWellKnownSid(Owner, WinLocalSystemSid) ||
                  ::IsWellKnownSid(Owner, WinBuiltinAdministratorsSid));
  if (Owner && !Trusted) {
    const std::vector<BYTE> User = processUser();
    Trusted = !User.empty() &&
              ::EqualSid(reinterpret_cast<const TOKEN_USER*>(User.data())->User.Sid, Owner);
  }
  ::LocalFree(Descriptor);
  return Trusted;
}

// A pipe write that has not finished within a slice; false when it is
// given up (the write is cancelled then).
bool awaitWrite(HANDLE APipe, OVERLAPPED& AWrite, TClock::time_point AGiveUp,
                const TStopCheck& AStop) {
  for (;;) {
    const DWORD Waited = ::WaitForSingleObject(AWrite.hEvent, DWORD(StreamSendSlice.count()));
    if (Waited == WAIT_OBJECT_0)
      return true;
    if (Waited != WAIT_TIMEOUT || stopping(AStop) || TClock::now() >= AGiveUp) {
      ::CancelIoEx(APipe, &AWrite);
      // The system writes into AWrite until the cancelled write is over.
      DWORD Ignored = 0;
      ::GetOverlappedResult(APipe, &AWrite, &Ignored, TRUE);
      return false;
    }
  }
}

bool sendToPipe(HANDLE APipe, QByteArrayView AData, TClock::time_point AGiveUp,
                const TStopCheck& AStop) {
  const HANDLE Event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!Event)
    return false;
  qsizetype Sent = 0;
  bool Ok = true;
  while (Ok && Sent < AData.size()) {
    OVERLAPPED Write{};
    Write.hEvent = Event;
    const DWORD Chunk = DWORD(std::min<qsizetype>(AData.size() - Sent, INT_MAX));
    DWORD Written = 0;
    if (!::WriteFile(APipe, AData.data() + Sent, Chunk, nullptr, &Write))
      Ok = ::GetLastError() == ERROR_IO_PENDING && awaitWrite(APipe, Write, AGiveUp, AStop);
    // A write that took nothing would come back the same way forever.
    Ok = Ok && ::GetOverlappedResult(APipe, &Write, &Written, FALSE) && Written > 0;
    Sent += qsizetype(Written);
  }
  ::CloseHandle(Event);
  return Ok;
}

bool sendToSocket(SOCKET ASocket, QByteArrayView AData, TClock::time_point AGiveUp,
                  const TStopCheck& AStop) {
  qsizetype Sent = 0;
  while (Sent < AData.size()) {
    const int Chunk = int(std::min<qsizetype>(AData.size() - Sent, INT_MAX));
    const int N = ::send(ASocket, AData.data() + Sent, Chunk, 0);
    if (N > 0) {
      Sent += N;
      continue;
    }
    if (N == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) {
      if (stopping(AStop) || TClock::now() >= AGiveUp)
        return false;
      waitForSocket(ASocket, true, nullptr, StreamSendSlice);
      continue;
    }
    return false;
  }
  return true;
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
  if (!winsockStarted())
    return {};
  const std::wstring Host = AHost.toStdWString();
  const std::wstring Port = std::to_wstring(APort);
  ADDRINFOW Hints{};
  Hints.ai_family = AF_UNSPEC;
  Hints.ai_socktype = SOCK_STREAM;
  Hints.ai_protocol = IPPROTO_TCP;
  Hints.ai_flags = AI_NUMERICHOST;
  ADDRINFOW* Found = nullptr;
  int Resolved = ::GetAddrInfoW(Host.c_str(), Port.c_str(), &Hints, &Found);
  if (Resolved == EAI_NONAME) {
    if (AResolving)
      AResolving(true);
    Hints.ai_flags = 0;
    Resolved = ::GetAddrInfoW(Host.c_str(), Port.c_str(), &Hints, &Found);
    if (AResolving)
      AResolving(false);
  }
  if (Resolved != 0)
    return {};
  const SOCKET Socket = connectAny(Found, ATimeout, AStop);
  ::FreeAddrInfoW(Found);
  return Socket == INVALID_SOCKET ? TStreamConnection()
                                  : TStreamConnection(std::intptr_t(Socket), false);
}

TStreamConnection TStreamConnection::ConnectLocal(const QString& APath,
                                                  std::chrono::milliseconds ATimeout,
                                                  const TStopCheck& AStop) {
  const std::wstring Name = APath.toStdWString();
  const auto Deadline = TClock::now() + ATimeout;
  for (;;) {
    // Written to only; READ_CONTROL lets the owner be checked. The listener
    // may learn who we are but may not act in our name.
    const HANDLE Pipe = ::CreateFileW(
        Name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES | READ_CONTROL, 0, nullptr,
        OPEN_EXISTING, FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
        nullptr);
    if (Pipe != INVALID_HANDLE_VALUE) {
      if (trustedOwner(Pipe))
        return TStreamConnection(reinterpret_cast<std::intptr_t>(Pipe), true);
      ::CloseHandle(Pipe);
      return {};
    }
    // Nobody listens, or the name is not a pipe: nothing to wait for.
    if (::GetLastError() != ERROR_PIPE_BUSY)
      return {};
    // Every instance of the pipe is taken; one may come free within a slice.
    if (stopping(AStop) || TClock::now() >= Deadline)
      return {};
    ::WaitNamedPipeW(Name.c_str(), DWORD(StreamConnectSlice.count()));
  }
}

bool TStreamConnection::SendAll(QByteArrayView AData, std::chrono::milliseconds ATimeout,
                                const TStopCheck& AStop) {
  if (!IsOpen())
    return false;
  const auto GiveUp = TClock::now() + ATimeout;
  return FPipe ? sendToPipe(reinterpret_cast<HANDLE>(FHandle), AData, GiveUp, AStop)
               : sendToSocket(SOCKET(FHandle), AData, GiveUp, AStop);
}

bool TStreamConnection::PeerClosed() {
  if (!IsOpen())
    return true;
  if (FPipe) {
    // Peeking needs read access, which a pipe opened for writing may lack;
    // then only a failed write tells that the listener has gone.
    DWORD Available = 0;
    if (::PeekNamedPipe(reinterpret_cast<HANDLE>(FHandle), nullptr, 0, nullptr, &Available,
                        nullptr))
      return false;
    const DWORD Error = ::GetLastError();
    return Error == ERROR_BROKEN_PIPE || Error == ERROR_PIPE_NOT_CONNECTED ||
           Error == ERROR_NO_DATA;
  }
  const SOCKET Socket = SOCKET(FHandle);
  char Buffer[4096];
  for (int I = 0; I < 16; ++I) {
    const int N = ::recv(Socket, Buffer, sizeof Buffer, 0);
    if (N == 0)
      return true;
    if (N == SOCKET_ERROR)
      return ::WSAGetLastError() != WSAEWOULDBLOCK;
  }
  return false;
}

void TStreamConnection::Close() noexcept {
  if (!IsOpen())
    return;
  const std::intptr_t Handle = std::exchange(FHandle, -1);
  if (FPipe)
    ::CloseHandle(reinterpret_cast<HANDLE>(Handle));
  else
    ::closesocket(SOCKET(Handle));
}

QString LocalStreamEndpoint(const QString& AName) {
  return QStringLiteral("\\\\.\\pipe\\") + AName;
}
