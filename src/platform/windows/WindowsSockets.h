#pragma once
// The sockets port over Windows Sockets.

#include "platform/Sockets.h"

#include "platform/PortNamesBegin.h"

class WindowsSockets : public ISockets {
public:
  int WSAStartup(std::uint16_t, TWsaData*) override { return int(WSASYSNOTREADY); }
  int WSACleanup() override { return SOCKET_ERROR; }
  int WSAGetLastError() override { return int(WSANOTINITIALISED); }
  int GetHostName(QString&) override { return SOCKET_ERROR; }
  std::vector<std::uint32_t> GetHostByName(const QString&, int) override { return {}; }
  int WSAAddressToString(const TSocketAddress& AAddress, QString& AText) override;

private:
  int FLastError = 0;
};

#include "platform/PortNamesEnd.h"
