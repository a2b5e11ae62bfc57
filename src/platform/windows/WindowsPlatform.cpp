#include "platform/windows/WindowsPlatform.h"

WindowsPlatform::WindowsPlatform() = default;

Platform& DefaultPlatform() {
  static WindowsPlatform Windows;
  return Windows;
}

// Snapshots describe what the Linux backend gathers; here the system's own
// services answer, and no file stands in for them.
QString SaveMachineSnapshot(const QString&) {
  return QStringLiteral("snapshots are not available on Windows");
}

QString UseMachineSnapshot(const QString&) {
  return QStringLiteral("snapshots are not available on Windows");
}
