#include "platform/windows/WindowsSystemInfo.h"

#include <QtGlobal>

// The process's own environment and names answer through Qt until the
// system calls take their place; they need no entry point of their own.

bool WindowsSystemInfo::GetComputerName(QString& AName) {
  AName = qEnvironmentVariable("COMPUTERNAME");
  return !AName.isEmpty();
}

bool WindowsSystemInfo::GetUserName(QString& AName) {
  AName = qEnvironmentVariable("USERNAME");
  return !AName.isEmpty();
}

std::optional<QString> WindowsSystemInfo::GetEnvironmentVariable(const QString& AName) {
  // Windows' environment is case-insensitive, and so is qgetenv there.
  const QByteArray Name = AName.toLocal8Bit();
  if (AName.isEmpty() || !qEnvironmentVariableIsSet(Name.constData()))
    return std::nullopt;
  return qEnvironmentVariable(Name.constData());
}
