#include "app/KelvaneFunctions.h"

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

void GatherInformation(TObjectList<TKelvaneData>&, bool& AConnected) {
  AConnected = false;
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
