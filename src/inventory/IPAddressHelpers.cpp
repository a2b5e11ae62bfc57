#include "inventory/IPAddressHelpers.h"

#include "common/Exceptions.h"
#include "common/Format.h"
#include "common/StringRules.h"
#include "logging/MethodLog.h"
#include "logging/MorvelDebug.h"
#include "platform/Platform.h"

#include <QStringList>

QString BytesToHexString(const QByteArray& ABytes) {
  if (ABytes.isEmpty()) {
    GetLogger()->LogWarning(QStringLiteral("AArrayLength was 0"));
    return QString();
  }
  static constexpr char Digits[] = "0123456789ABCDEF";
  QString Result;
  Result.reserve(ABytes.size() * 3);
  for (qsizetype I = 0; I < ABytes.size(); ++I) {
    if (I > 0)
      Result += u':';
    const auto Byte = uchar(ABytes[I]);
    Result += QLatin1Char(Digits[Byte >> 4]);
    Result += QLatin1Char(Digits[Byte & 0xF]);
  }
  return Result;
}

QString GetDHCPv6ClientDUID(const QByteArray& ABytes) {
  TMethodLog Log(lvDebug, QStringLiteral("GetDHCPv6ClientDUID"));
  const QString Result = BytesToHexString(ABytes);
  GetLogger()->LogString(QStringLiteral("DHCP IPv6 client DUID"), Result);
  return Result;
}

QString SOCKET_ADDRESSToString(const TSocketAddress& AAddress) {
  TMethodLog Log(lvDebug, QStringLiteral("SOCKET_ADDRESSToString"));
  ISockets& Sockets = Platform::current().Sockets();
  QString Result;
  if (Sockets.WSAAddressToString(AAddress, Result) != 0) {
    const int Error = Sockets.WSAGetLastError();
    GetLogger()->LogError(QStringLiteral("Error on convert SOCKET_ADDRESS to string (%d): %s"),
                          {Error, SysErrorMessage(DWORD(Error))});
    Result.clear();
  }
  return Trim(Result);
}

TIPVersion GetIPVersion(const QString& AAddress) {
  const TIPVersion Result = AAddress.contains(u'.') ? IPv4 : IPv6;
  GetLogger()->LogEnum(
      Format(QStringLiteral("IP address \"%s\" is IP protocol version"), {AAddress}),
      QMetaEnum::fromType<TIPVersion>(), Result);
  return Result;
}

QString IPv4ToFilledZero(const QString& AAddress) {
  if (AAddress.isEmpty())
    return QString();
  try {
    const QStringList Parts = AAddress.split(u'.');
    if (Parts.size() < 4)
      throw EConvertError(QStringLiteral("'%1' has fewer than four parts").arg(AAddress));
    QString Result;
    for (int I = 0; I < 4; ++I) {
      bool Ok = false;
      const int Octet = Parts[I].toInt(&Ok);
      if (!Ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(Parts[I]));
      Result += Format(QStringLiteral("%.03d"), {Octet});
    }
    return Result;
  } catch (const EConvertError&) {
    GetLogger()->LogString(QStringLiteral("IP to convert"), AAddress);
    GetLogger()->LogException(QString(), std::current_exception());
    GetLogger()->LogError(QStringLiteral("Could not convert dotted decimal IP"));
    return AAddress;
  }
}

QString FirstIPv4ToFilledZero(const QString& AAddresses) {
  QString First = AAddresses;
  First.remove(u'"');
  if (const qsizetype Comma = First.indexOf(u','); Comma >= 0)
    First.truncate(Comma);
  return IPv4ToFilledZero(First);
}

QString GetNetworkAddress(const QString& AAddresses, const QString& AMasks) {
  if (AAddresses.isEmpty() || AMasks.isEmpty())
    return QString();
  QString Address = FirstIPv4ToFilledZero(AAddresses);
  QString Mask = FirstIPv4ToFilledZero(AMasks);
  const auto take = [](QString& AText) {
    const QString Part = AText.left(3);
    AText.remove(0, 3);
    bool Ok = false;
    const int Value = Part.toInt(&Ok);
    if (!Ok)
      throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(Part));
    return Value;
  };
  QString Result;
  for (int I = 0; I < 4; ++I) {
    const int AddressPart = take(Address);
    Result += QString::number(AddressPart & take(Mask)) + u'.';
  }
  Result.chop(1);
  return Result;
}

QString ExpandIPv6Address(const QString& AAddress) {
  QString Single = AAddress;
  Single.replace(QLatin1String("::"), QLatin1String(":"));
  const qsizetype Groups = Single.split(u':', Qt::SkipEmptyParts).size();
  QString Fill = QStringLiteral(":");
  for (qsizetype I = Groups; I < 8; ++I)
    Fill += QLatin1String("0000:");
  QString Result = AAddress;
  Result.replace(QLatin1String("::"), Fill, Qt::CaseInsensitive);
  while (Result.endsWith(u':'))
    Result.chop(1);
  while (Result.startsWith(u':'))
    Result.remove(0, 1);
  return Result;
}

QString FullIPv6Address(const QString& AAddress) {
  QStringList Groups = ExpandIPv6Address(AAddress).split(u':', Qt::SkipEmptyParts);
  for (QString& Group : Groups)
    Group = Group.rightJustified(4, u'0');
  return Groups.join(u':');
}

bool IsLinkLocalIPv6(const QString& AAddress) {
  return FullIPv6Address(AAddress).startsWith(QLatin1String("fe80:0000:0000:0000:"),
                                              Qt::CaseInsensitive);
}

void InitializeIPAddressHelpers() {
  ISockets& Sockets = Platform::current().Sockets();
  if (Sockets.WSAStartup(0x0202) != 0) {
    const int Error = Sockets.WSAGetLastError();
    GetLogger()->LogMessage(QStringLiteral("WSAStartup failed with error code (%d): %s"),
                            {Error, SysErrorMessage(DWORD(Error))});
  }
}

void FinalizeIPAddressHelpers() {
  ISockets& Sockets = Platform::current().Sockets();
  if (Sockets.WSACleanup() != 0) {
    const int Error = Sockets.WSAGetLastError();
    GetLogger()->LogMessage(QStringLiteral("WSACleanup failed with error code (%d): %s"),
                            {Error, SysErrorMessage(DWORD(Error))});
  }
}
