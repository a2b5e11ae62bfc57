#pragma once
// The Linux system-information backend. It reports the newest Windows
// generation the program knows (NT 6.2, workstation) with the operating
// system's PRETTY_NAME as ProductName, the host name up to its first "." as
// the computer name, and supplies what Windows sets for a local logon when
// the environment lacks it: USERDOMAIN (the computer name), LOGONSERVER
// ("\\" and the computer name) and temp (the user's runtime folder or a
// private per-user directory, also when the variable names a folder others
// may write to).

#include "platform/SystemInfo.h"
#include "platform/linux/LinuxFacts.h"

#include <memory>

#include <mutex>

class LinuxSystemInfo : public ISystemInfo {
public:
  explicit LinuxSystemInfo(std::shared_ptr<TLinuxFacts> AFacts);
  // A snapshot of its own, with /etc/os-release looked for below ARoot.
  explicit LinuxSystemInfo(const QString& ARoot = QStringLiteral("/"));

  TOSVersionInfo Version() override;
  DWORD KernelProductVersion() override { return 0; }
  bool GetComputerName(QString& AName) override;
  bool GetUserName(QString& AName) override;
  std::optional<QString> GetEnvironmentVariable(const QString& AName) override;
  // Only SM_REMOTESESSION has a meaning here: a login over SSH.
  int GetSystemMetrics(int AIndex) override;
  void GetSystemInfo(TSystemInfo& AInfo) override;
  bool GetNativeSystemInfo(TSystemInfo& AInfo) override;
  std::optional<bool> GetProductInfo(DWORD AMajor, DWORD AMinor, DWORD ASpMajor, DWORD ASpMinor,
                                     DWORD& AProductType) override;
  DWORD GetLastError() override { return ERROR_SUCCESS; }

  // A directory below ABase that only the effective user can use:
  // kelvane-<euid>, created with mode 0700 when missing; when another user
  // holds that name, a kelvane-<euid>.XXXXXX of ours beside it (an earlier
  // one or a fresh one); empty only when ABase takes no new folder.
  static QString PrivateTempDirectory(const QString& ABase);

private:
  std::optional<QString> rawVariable(const QString& AName) const;
  QString temporaryDirectory() const;

  std::shared_ptr<TLinuxFacts> FFacts;
  // The system's name and the user's stay while the program runs, and the
  // host queries ask for them again and again: each is read once.
  std::mutex FLock;
  std::optional<TOSVersionInfo> FVersion;
  std::optional<QString> FUserName;
  std::optional<QString> FTemporaryDirectory;
};
