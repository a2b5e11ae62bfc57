#include "platform/windows/WindowsPlatform.h"

#include <QtGlobal>

#include <memory>

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

int WindowsSockets::WSAAddressToString(const TSocketAddress& AAddress, QString& AText) {
  const std::optional<QString> Text = FormatSocketAddress(AAddress, FLastError);
  if (!Text)
    return SOCKET_ERROR;
  AText = *Text;
  return 0;
}

WindowsPlatform::WindowsPlatform() : FRegistry(std::make_shared<TRegHive>()) {}

Platform& DefaultPlatform() {
  static WindowsPlatform Windows;
  return Windows;
}
