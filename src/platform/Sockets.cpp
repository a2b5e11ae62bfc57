#include "platform/Sockets.h"

QString Ipv4ToString(std::uint32_t AAddress) {
  return QStringLiteral("%1.%2.%3.%4")
      .arg(AAddress >> 24)
      .arg((AAddress >> 16) & 0xFF)
      .arg((AAddress >> 8) & 0xFF)
      .arg(AAddress & 0xFF);
}

namespace {
QString ipv4Text(const unsigned char* ABytes) {
  return QStringLiteral("%1.%2.%3.%4").arg(ABytes[0]).arg(ABytes[1]).arg(ABytes[2]).arg(ABytes[3]);
}

QString ipv6Text(const unsigned char* ABytes) {
  std::uint16_t Groups[8];
  for (int I = 0; I < 8; ++I)
    Groups[I] = static_cast<std::uint16_t>(ABytes[2 * I] << 8 | ABytes[2 * I + 1]);
  int BestStart = -1, BestLength = 0;
  for (int I = 0; I < 8;) {
    if (Groups[I] != 0) {
      ++I;
      continue;
    }
    int End = I;
    while (End < 8 && Groups[End] == 0)
      ++End;
    if (End - I > BestLength) {
      BestStart = I;
      BestLength = End - I;
    }
    I = End;
  }
  if (BestLength < 2)
    BestStart = -1;
  // ::a.b.c.d and ::ffff:a.b.c.d keep the IPv4 address readable.
  const bool Compatible = BestStart == 0 && BestLength == 6;
  const bool Mapped = BestStart == 0 && BestLength == 5 && Groups[5] == 0xFFFF;
  QString Text;
  const int Last = Compatible || Mapped ? 6 : 8;
  for (int I = 0; I < Last; ++I) {
    if (I == BestStart) {
      Text += I == 0 ? QStringLiteral("::") : QStringLiteral(":");
      I += BestLength - 1;
      continue;
    }
    Text += QString::number(Groups[I], 16);
    if (I + 1 < Last || Last == 6)
      Text += u':';
  }
  if (Last == 6)
    Text += ipv4Text(ABytes + 12);
  return Text;
}
} // namespace

std::optional<QString> FormatSocketAddress(const TSocketAddress& AAddress, int& AError) {
  const auto* Bytes = reinterpret_cast<const unsigned char*>(AAddress.Address.constData());
  if (AAddress.Family == WSA_AF_INET) {
    if (AAddress.Address.size() != 4) {
      AError = int(WSAEFAULT);
      return std::nullopt;
    }
    QString Result = ipv4Text(Bytes);
    if (AAddress.Port != 0)
      Result += u':' + QString::number(AAddress.Port);
    return Result;
  }
  if (AAddress.Family == WSA_AF_INET6) {
    if (AAddress.Address.size() != 16) {
      AError = int(WSAEFAULT);
      return std::nullopt;
    }
    QString Result = ipv6Text(Bytes);
    if (AAddress.ScopeId != 0)
      Result += u'%' + QString::number(AAddress.ScopeId);
    if (AAddress.Port != 0)
      Result = u'[' + Result + QStringLiteral("]:") + QString::number(AAddress.Port);
    return Result;
  }
  AError = int(WSAEINVAL);
  return std::nullopt;
}
