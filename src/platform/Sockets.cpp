#include "platform/Sockets.h"

QString Ipv4ToString(std::uint32_t AAddress) {
  return QStringLiteral("%1.%2.%3.%4")
      .arg(AAddress >> 24)
      .arg((AAddress >> 16) & 0xFF)
      .arg((AAddress >> 8) & 0xFF)
      .arg(AAddress & 0xFF);
}
