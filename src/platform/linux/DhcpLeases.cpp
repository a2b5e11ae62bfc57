#include "platform/linux/DhcpLeases.h"

#include <QFile>
#include <QList>

#include <cctype>

namespace {
// dhclient writes strings with octal escapes ("\\000\\001...").
QByteArray unescapeLeaseString(const QByteArray& AText) {
  QByteArray Result;
  for (qsizetype I = 0; I < AText.size(); ++I) {
    if (AText[I] == '\\' && I + 3 < AText.size() && std::isdigit(uchar(AText[I + 1]))) {
      Result += char(AText.mid(I + 1, 3).toInt(nullptr, 8));
      I += 3;
    } else if (AText[I] == '\\' && I + 1 < AText.size()) {
      Result += AText[++I];
    } else {
      Result += AText[I];
    }
  }
  return Result;
}

} // namespace

std::optional<QString> NetworkdDhcpServer(const QByteArray& ALease) {
  for (const QByteArray& Line : ALease.split('\n'))
    if (Line.startsWith("SERVER_ADDRESS="))
      return QString::fromLatin1(Line.mid(15).trimmed());
  return std::nullopt;
}

QHash<QByteArray, QString> DhclientDhcpServers(const QByteArray& ALeases) {
  QHash<QByteArray, QString> Servers;
  std::optional<QByteArray> Interface; // of the lease being read
  for (const QByteArray& RawLine : ALeases.split('\n')) {
    const QByteArray Line = RawLine.trimmed();
    if (Line.startsWith("lease "))
      Interface.reset();
    else if (Line.startsWith("interface "))
      Interface = Line.size() >= 13 && Line.startsWith("interface \"") && Line.endsWith("\";")
                      ? std::optional(Line.mid(11, Line.size() - 13))
                      : std::nullopt;
    else if (Interface && Line.startsWith("option dhcp-server-identifier "))
      Servers.insert(*Interface, QString::fromLatin1(
                                     Line.mid(30).chopped(Line.endsWith(';') ? 1 : 0).trimmed()));
  }
  return Servers;
}

TDhcpv6Identity TDhcpv6Leases::Of(const QString& AInterface) const {
  return {Iaids.value(QFile::encodeName(AInterface)), Duid};
}

TDhcpv6Leases ReadDhcpv6Leases(const QByteArray& ALeases) {
  TDhcpv6Leases Leases;
  bool InLease = false;
  std::optional<QByteArray> Interface; // of the lease being read
  for (const QByteArray& RawLine : ALeases.split('\n')) {
    const QByteArray Line = RawLine.trimmed();
    if (Line.startsWith("default-duid ")) {
      const qsizetype Open = Line.indexOf('"'), Close = Line.lastIndexOf('"');
      if (Open >= 0 && Close > Open)
        Leases.Duid = unescapeLeaseString(Line.mid(Open + 1, Close - Open - 1));
    } else if (Line.startsWith("lease6 ")) {
      InLease = true;
      Interface.reset();
    } else if (InLease && Line.startsWith("interface ")) {
      const QByteArray Name = Line.mid(10).chopped(Line.endsWith(';') ? 1 : 0).trimmed();
      Interface = Name.size() >= 2 && Name.startsWith('"') && Name.endsWith('"')
                      ? std::optional(Name.mid(1, Name.size() - 2))
                      : std::nullopt;
    } else if (Interface && Line.startsWith("ia-na ")) {
      // The identity association as four hexadecimal bytes, "9e:a1:e7:5c".
      const QList<QByteArray> Bytes = Line.mid(6).split(' ').first().split(':');
      if (Bytes.size() == 4) {
        DWORD Iaid = 0;
        for (const QByteArray& Byte : Bytes)
          Iaid = (Iaid << 8) | (Byte.toUInt(nullptr, 16) & 0xFF);
        Leases.Iaids.insert(*Interface, Iaid); // the last lease of the file is the newest
      }
    }
  }
  return Leases;
}
