#pragma once
// The sockets port over Windows Sockets (ws2_32). Starts and stops are the
// system's own, which counts them; the error of the last call is the calling
// thread's, as WSAGetLastError gives it.
//
// A name look-up blocks and cannot be cancelled, so it runs on a worker of
// its own and the caller waits for it no longer than its bound. A worker
// left behind goes on until the resolver answers; a caller asking for a name
// whose look-up is still running waits for that one, and while
// MaxPendingLookups names are stuck no further look-up starts
// (WSATRY_AGAIN), so stuck look-ups cannot pile up.

#include "platform/Sockets.h"

#include <QByteArray>

#include <functional>
#include <memory>

#include "platform/PortNamesBegin.h"

class WindowsSockets : public ISockets {
public:
  static constexpr int ResolveTimeoutMs = 5000;
  static constexpr int MaxPendingLookups = 8;

  // What a look-up of a name (in the system's ANSI code page) gave: its IPv4
  // addresses in host byte order, or the Windows Sockets error.
  struct TResolution {
    std::vector<std::uint32_t> Addresses;
    int Error = 0;
  };
  using TResolver = std::function<TResolution(const QByteArray& AName)>;

  // gethostbyname, or AResolver in its place. The sockets layer is started
  // for each worker while it runs.
  WindowsSockets();
  explicit WindowsSockets(TResolver AResolver);
  ~WindowsSockets() override;

  int WSAStartup(std::uint16_t AVersion, TWsaData* AData = nullptr) override;
  int WSACleanup() override;
  int WSAGetLastError() override;
  int GetHostName(QString& AName) override;
  std::vector<std::uint32_t> GetHostByName(const QString& AName, int ATimeoutMs = -1) override;
  int WSAAddressToString(const TSocketAddress& AAddress, QString& AText) override;

  // The look-ups whose workers are still running.
  int PendingLookups() const;

private:
  struct TLookups;
  std::shared_ptr<TLookups> FLookups;
};

#include "platform/PortNamesEnd.h"
