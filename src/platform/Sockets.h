#pragma once
// The sockets port: the process-wide start and stop of the sockets layer
// (counted, as Windows Sockets counts them), the host's own name, and the
// IPv4 look-up of a name.
//
// Off Windows the host's own name (short or full, any letter case) answers
// with the IPv4 addresses of the interfaces that are up, loopback left out,
// the one the kernel routes a public destination through first, as Windows
// answers from its adapters; any other name goes to the resolver, bounded in
// time.

#include "common/WinError.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/PortNamesBegin.h"

inline constexpr int SOCKET_ERROR = -1;

// Address families in the Windows numbering, which the callers know.
inline constexpr std::uint16_t WSA_AF_INET = 2;
inline constexpr std::uint16_t WSA_AF_INET6 = 23;

// A socket address as a value: the family, the address bytes in network
// order (4 or 16), the port (0: none) and, for IPv6, the scope.
struct TSocketAddress {
  std::uint16_t Family = 0;
  QByteArray Address;
  std::uint16_t Port = 0;
  std::uint32_t ScopeId = 0;
};

// What the start of the sockets layer tells about it (WSADATA).
struct TWsaData {
  std::uint16_t Version = 0;
  std::uint16_t HighVersion = 0; // low byte major, high byte minor
  QString Description;
  QString SystemStatus;
};

class ISockets {
public:
  virtual ~ISockets() = default;
  // 0, or a Windows Sockets error code (WSAVERNOTSUPPORTED, WSASYSNOTREADY).
  virtual int WSAStartup(std::uint16_t AVersion, TWsaData* AData = nullptr) = 0;
  // 0, or SOCKET_ERROR with WSANOTINITIALISED when there was no start.
  virtual int WSACleanup() = 0;
  virtual int WSAGetLastError() = 0;
  // 0 and the name, or SOCKET_ERROR.
  virtual int GetHostName(QString& AName) = 0;
  // The IPv4 addresses of AName in host byte order, first the preferred one;
  // empty when the name does not resolve (WSAGetLastError tells why), also
  // when the answer takes longer than ATimeoutMs (negative: the backend's bound).
  virtual std::vector<std::uint32_t> GetHostByName(const QString& AName, int ATimeoutMs = -1) = 0;
  // 0 and the text Windows gives ("192.168.1.1", "fe80::1%11",
  // "[2001:db8::1]:80", "10.0.0.1:53"), or SOCKET_ERROR with WSAEFAULT for
  // address bytes of the wrong length or WSAEINVAL for another family.
  virtual int WSAAddressToString(const TSocketAddress& AAddress, QString& AText) = 0;
};

// Dotted-decimal text of an IPv4 address in host byte order.
QString Ipv4ToString(std::uint32_t AAddress);

// The text of AAddress as WSAAddressToString gives it: IPv6 in the short
// form (the longest run of two or more zero groups as "::", the first of
// equal runs; an IPv4-mapped or -compatible address ending in dotted
// decimal), the scope as its number, the port after the address; the
// Windows Sockets error code in AError when there is none. Written out here
// rather than taken from the system so that every backend and the fakes
// give the same text.
std::optional<QString> FormatSocketAddress(const TSocketAddress& AAddress, int& AError);

#include "platform/PortNamesEnd.h"
