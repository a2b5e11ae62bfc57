#pragma once
// The system-information port: the version record the system reports for
// the process, computer and user names, the environment with Windows
// expansion rules, system metrics and the native system information.
//
// Off Windows the version record describes the newest Windows generation the
// program knows (NT platform, 6.2, workstation), so every capability test
// takes the modern path, and carries ProductName (the operating system's own
// name), which a Windows backend leaves empty.

#include "common/WinError.h"

#include <QString>

#include <cstdint>
#include <optional>

#include "platform/PortNamesBegin.h"

inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
inline constexpr BYTE VER_NT_WORKSTATION = 1;
inline constexpr BYTE VER_NT_DOMAIN_CONTROLLER = 2;
inline constexpr BYTE VER_NT_SERVER = 3;
inline constexpr int SM_SERVERR2 = 89;
inline constexpr int SM_REMOTESESSION = 0x1000;
inline constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
inline constexpr WORD PROCESSOR_ARCHITECTURE_ARM = 5;
inline constexpr WORD PROCESSOR_ARCHITECTURE_IA64 = 6;
inline constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;
inline constexpr WORD PROCESSOR_ARCHITECTURE_ARM64 = 12;

struct TOSVersionInfo {
  DWORD MajorVersion = 0;
  DWORD MinorVersion = 0;
  DWORD BuildNumber = 0;
  DWORD PlatformId = 0;
  QString CSDVersion; // service-pack text
  // The extended record's fields; valid when ExtendedValid.
  bool ExtendedValid = false;
  WORD ServicePackMajor = 0;
  WORD ServicePackMinor = 0;
  WORD SuiteMask = 0;
  BYTE ProductType = 0;
  // Set only off Windows: the operating system's own name.
  QString ProductName;
};

struct TSystemInfo {
  WORD ProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
  DWORD PageSize = 4096;
  DWORD NumberOfProcessors = 1;
};

class ISystemInfo {
public:
  virtual ~ISystemInfo() = default;

  // The version record, read once at process start.
  virtual TOSVersionInfo Version() = 0;
  // The product version of the system's kernel library as (major << 16) |
  // minor; only the 9x family reports one, elsewhere 0.
  virtual DWORD KernelProductVersion() = 0;

  virtual bool GetComputerName(QString& AName) = 0;
  virtual bool GetUserName(QString& AName) = 0;
  // Names compare without regard to case; nullopt when not set.
  virtual std::optional<QString> GetEnvironmentVariable(const QString& AName) = 0;
  virtual int GetSystemMetrics(int AIndex) = 0;
  virtual void GetSystemInfo(TSystemInfo& AInfo) = 0;
  // False when the system offers no such entry point (AInfo untouched).
  virtual bool GetNativeSystemInfo(TSystemInfo& AInfo) = 0;
  // nullopt when the entry point is missing; otherwise the call's result and
  // the product type it gave.
  virtual std::optional<bool> GetProductInfo(DWORD AMajor, DWORD AMinor, DWORD ASpMajor,
                                             DWORD ASpMinor, DWORD& AProductType) = 0;
  virtual DWORD GetLastError() = 0;
};

// Windows expands a text into at most 32K characters, the closing NUL
// included.
inline constexpr qsizetype MaxExpandedLength = 32767;

// %NAME% references replaced by the variables' values; a reference to a
// variable that is not set stays as it is, as Windows expands it. A text
// whose expansion would be longer than MaxExpandedLength comes back as it
// is written (a few references to a long value would otherwise take memory
// in the square of the text's length).
QString ExpandEnvironmentStrings(ISystemInfo& ASystem, const QString& AText);

#include "platform/PortNamesEnd.h"
