#pragma once
// A byte stream to a listener: a TCP host and port, or a local endpoint of
// this machine (a Unix-domain socket on Linux, a named pipe on Windows). The
// log viewers' connections run over it from a worker thread that must never
// be held up for long: every wait is cut into slices, and between them the
// caller's stop check decides whether to go on.

#include <QByteArrayView>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>

// Asked between the slices of a wait; true ends the wait.
using TStopCheck = std::function<bool()>;
// Told true before a look-up by name and false after it.
using TResolvingNotice = std::function<void(bool)>;

// How soon a stop check is asked again: while connecting, a stop the
// program's exit waits for; while sending, one bounded by the caller's own
// deadline anyway.
inline constexpr std::chrono::milliseconds StreamConnectSlice{10};
inline constexpr std::chrono::milliseconds StreamSendSlice{100};

class TStreamConnection {
public:
  TStreamConnection() = default;
  ~TStreamConnection();
  TStreamConnection(TStreamConnection&& AOther) noexcept;
  TStreamConnection& operator=(TStreamConnection&& AOther) noexcept;
  TStreamConnection(const TStreamConnection&) = delete;
  TStreamConnection& operator=(const TStreamConnection&) = delete;

  // Connects to AHost (an address, or a name the resolver looks up) at
  // APort, trying each address it stands for within ATimeout all told. Once
  // AStop says true the attempt waits no more: a listener that has answered
  // by then is connected, one that has not is given up. A look-up by name
  // takes the resolver's own time and cannot be cut short; AResolving, when
  // given, hears when one runs, so a caller need not wait for it.
  static TStreamConnection ConnectTcp(const QString& AHost, quint16 APort,
                                      std::chrono::milliseconds ATimeout, const TStopCheck& AStop,
                                      const TResolvingNotice& AResolving = {});
  // Connects in the same way to the local endpoint APath (LocalStreamEndpoint
  // names one), and only to an endpoint nobody else could have put there, so
  // no other user's listener gets what is sent: on Linux the socket's folder
  // must pass the rules of platform/SafeFolder.h (ours, written to by nobody
  // else, reached without another user's folder or link); on Windows the
  // pipe must belong to the user, the administrators or the system, and may
  // not act in the user's name.
  static TStreamConnection ConnectLocal(const QString& APath, std::chrono::milliseconds ATimeout,
                                        const TStopCheck& AStop);

  bool IsOpen() const noexcept { return FHandle != -1; }
  // All of AData, or false: the connection failed, or the listener took
  // nothing more within ATimeout or before AStop said true (asked only while
  // it takes nothing). Part of AData may have been sent then.
  bool SendAll(QByteArrayView AData, std::chrono::milliseconds ATimeout, const TStopCheck& AStop);
  // Whether the listener has ended the connection, without waiting. What it
  // sent is read and thrown away: only its end of the connection matters.
  bool PeerClosed();
  void Close() noexcept;

private:
  TStreamConnection(std::intptr_t AHandle, bool APipe) : FHandle(AHandle), FPipe(APipe) {}

  std::intptr_t FHandle = -1;
  // A named pipe rather than a socket (Windows).
  bool FPipe = false;
};

// The local endpoint called AName, private to the effective user where the
// system has a place for it. Linux: the socket $XDG_RUNTIME_DIR/<name>.sock,
// or /tmp/kelvane-<euid>/<name>.sock when XDG_RUNTIME_DIR is unset or empty.
// Windows: the named pipe \\.\pipe\<name>.
QString LocalStreamEndpoint(const QString& AName);
