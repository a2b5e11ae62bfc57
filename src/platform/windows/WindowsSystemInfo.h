#pragma once
// The system-information port over kernel32, advapi32 and user32. The
// version record is the one the system reports for this process, read once
// when the port is made; the entry points that older systems lack are looked
// up by name in a module that is already loaded.

#include "platform/SystemInfo.h"

#include <QString>

#include "platform/PortNamesBegin.h"

class WindowsSystemInfo : public ISystemInfo {
public:
  // AKernelModule: where GetNativeSystemInfo and GetProductInfo are looked
  // for; a module without them gives the answers of a system that lacks them.
  explicit WindowsSystemInfo(const QString& AKernelModule = QStringLiteral("kernel32.dll"));

  TOSVersionInfo Version() override { return FVersion; }
  // Only the 9x family reports one, and this build runs on the NT family alone.
  DWORD KernelProductVersion() override { return 0; }
  bool GetComputerName(QString& AName) override;
  bool GetUserName(QString& AName) override;
  std::optional<QString> GetEnvironmentVariable(const QString& AName) override;
  int GetSystemMetrics(int AIndex) override;
  void GetSystemInfo(TSystemInfo& AInfo) override;
  bool GetNativeSystemInfo(TSystemInfo& AInfo) override;
  std::optional<bool> GetProductInfo(DWORD AMajor, DWORD AMinor, DWORD ASpMajor, DWORD ASpMinor,
                                     DWORD& AProductType) override;
  DWORD GetLastError() override;

private:
  using TEntryPoint = void (*)();

  TOSVersionInfo FVersion;
  TEntryPoint FGetNativeSystemInfo = nullptr;
  TEntryPoint FGetProductInfo = nullptr;
};

#include "platform/PortNamesEnd.h"
