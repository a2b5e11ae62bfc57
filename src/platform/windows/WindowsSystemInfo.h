#pragma once
// The system-information port over kernel32 and advapi32.

#include "platform/SystemInfo.h"

#include "platform/PortNamesBegin.h"

class WindowsSystemInfo : public ISystemInfo {
public:
  TOSVersionInfo Version() override { return {}; }
  DWORD KernelProductVersion() override { return 0; }
  bool GetComputerName(QString& AName) override;
  bool GetUserName(QString& AName) override;
  std::optional<QString> GetEnvironmentVariable(const QString& AName) override;
  int GetSystemMetrics(int) override { return 0; }
  void GetSystemInfo(TSystemInfo& AInfo) override { AInfo = {}; }
  bool GetNativeSystemInfo(TSystemInfo&) override { return false; }
  std::optional<bool> GetProductInfo(DWORD, DWORD, DWORD, DWORD, DWORD&) override {
    return std::nullopt;
  }
  DWORD GetLastError() override { return ERROR_CALL_NOT_IMPLEMENTED; }
};

#include "platform/PortNamesEnd.h"
