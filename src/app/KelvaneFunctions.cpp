#include "app/KelvaneFunctions.h"

#include "app/WMIPing.h"
#include "common/StringRules.h"
#include "hostinfo/SysInfoVersion.h"
#include "platform/Platform.h"
#include "platform/SystemInfo.h"

namespace {
ISystemInfo& systemInfo() {
  return Platform::current().SystemInfo();
}

// The text up to its first NUL, as a fixed buffer of the system would hold it.
QString upToNul(const QString& AText) {
  const qsizetype Nul = AText.indexOf(QChar(0));
  return Nul < 0 ? AText : AText.left(Nul);
}
} // namespace

void GatherInformation(TObjectList<TKelvaneData>& AGroups, bool& AConnected) {
  AGroups.Add(BuildGeneralInformation(AConnected));
}

std::unique_ptr<TKelvaneData> BuildGeneralInformation(bool& AConnected) {
  auto Group = std::make_unique<TKelvaneData>();
  Group->SetCaption(QStringLiteral("General Information"));
  Group->AddSubItem(QStringLiteral("Computer Name"), ReadComputerName());
  Group->AddSubItem(QStringLiteral("User"), ReadUserName());
  Group->AddSubItem(QStringLiteral("Domain"), ReadUserDomain());
  Group->AddSubItem(QStringLiteral("Logon Server"), ReadLogonServer());
  Group->AddSubItem(QStringLiteral("Operating System"), OperatingSystemText());
  Group->AddSubItem(QStringLiteral("Service Pack"), GetWindowsServicePackVersionString());
  QString Address = ResolveIPv4Address(ReadComputerName());
  if (Address.isEmpty())
    Address = ResolveIPv4Address();
  Group->AddSubItem(QStringLiteral("IP Address"), Address);
  AConnected = IsNetworkConnected();
  Group->AddSubItem(QStringLiteral("Network connected"),
                    AConnected ? QStringLiteral("Yes") : QStringLiteral("No"));
  return Group;
}

bool IsNetworkConnected() {
  const QString LogonServer = ReadLogonServer();
  if (Trim(LogonServer).isEmpty())
    return false;
  TWMIPing Ping;
  Ping.SetAddress(LogonServer);
  Ping.SetTimeout(1000);
  Ping.SetBufferSize(32);
  Ping.SetTimeToLive(128);
  Ping.Ping();
  return Ping.Response().StatusCode() == 0;
}

QString ReadComputerName() {
  QString Name;
  return systemInfo().GetComputerName(Name) ? upToNul(Name) : QString();
}

QString ReadUserName() {
  QString Name;
  return systemInfo().GetUserName(Name) ? upToNul(Name) : QString();
}

// The whole expansion is taken: a fixed 30-character buffer would cut host
// names, which may be 63 characters long.
QString ReadUserDomain() {
  return upToNul(ExpandEnvironmentStrings(systemInfo(), QStringLiteral("%USERDOMAIN%")));
}

QString ReadLogonServer() {
  return upToNul(ExpandEnvironmentStrings(systemInfo(), QStringLiteral("%LOGONSERVER%"))).mid(2);
}

QString ReadTempDirectory() {
  return systemInfo().GetEnvironmentVariable(QStringLiteral("temp")).value_or(QString());
}
