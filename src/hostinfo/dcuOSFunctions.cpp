#include "hostinfo/dcuOSFunctions.h"

#include "common/WinError.h"
#include "logging/MorvelDebug.h"
#include "platform/Platform.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace {
int CachedCode = 0;

bool inRanges(DWORD AValue, std::initializer_list<std::pair<DWORD, DWORD>> ARanges) {
  return std::any_of(ARanges.begin(), ARanges.end(),
                     [&](const auto& R) { return AValue >= R.first && AValue <= R.second; });
}
} // namespace

void ResetOSVersionCode() {
  CachedCode = 0;
}

int GetOSVersionCode() {
  if (CachedCode == 0)
    CachedCode = ComputeOSVersionCode();
  return CachedCode;
}

int ComputeOSVersionCode() {
  const TOSVersionInfo Version = Platform::current().SystemInfo().Version();
  const DWORD Major = Version.MajorVersion;
  const DWORD Minor = Version.MinorVersion;
  if (Version.PlatformId == VER_PLATFORM_WIN32_NT) {
    if (Major > 6) {
      GetTraceLogger()->SendError(QStringLiteral("Unknown Win32MajorVersion"));
      GetTraceLogger()->SendInteger(QStringLiteral("Win32MajorVersion"), static_cast<int>(Major));
    }
    if (Major >= 6) {
      if (Minor > 3) {
        GetTraceLogger()->SendError(QStringLiteral("Unknown Win32MinorVersion"));
        GetTraceLogger()->SendInteger(QStringLiteral("Win32MinorVersion"), static_cast<int>(Minor));
      }
      int Code = 9;
      DWORD ProductType = 0;
      if (QueryProductType(ProductType)) {
        GetTraceLogger()->SendDWord(QStringLiteral("ProductType"), ProductType);
        Code = ClassifyProductType(ProductType);
      }
      return Code;
    }
    if (Major == 5)
      return Minor == 0 ? 6 : Minor == 1 ? 7 : Minor == 2 ? 8 : 0;
    if (Major == 4 && Minor == 0)
      return 5;
    if (Major == 3 && Minor == 51)
      return 4;
    return 0;
  }
  if (Version.PlatformId == VER_PLATFORM_WIN32_WINDOWS && Major == 4)
    return Minor == 0 ? 1 : Minor == 10 ? 2 : Minor == 90 ? 3 : 0;
  return 0;
}

bool QueryProductType(DWORD& AProductType) {
  ISystemInfo& System = Platform::current().SystemInfo();
  try {
    const TOSVersionInfo Version = System.Version();
    if (Version.MajorVersion < 6)
      return false;
    GetTraceLogger()->SendMsg(QStringLiteral("Load kernel32 library"));
    const std::optional<bool> Result =
        System.GetProductInfo(Version.MajorVersion, Version.MinorVersion, 0, 0, AProductType);
    if (!Result) {
      GetTraceLogger()->SendWarning(QStringLiteral("GetProductInfo function not assigned!"));
      GetTraceLogger()->SendWarning(SysErrorMessage(System.GetLastError()));
      return false;
    }
    return *Result;
  } catch (...) {
    GetTraceLogger()->SendException();
    GetTraceLogger()->SendError(SysErrorMessage(System.GetLastError()));
    return false;
  }
}

int ClassifyProductType(DWORD AProductType) {
  const bool Server = inRanges(
      AProductType,
      {{7, 10}, {12, 15}, {17, 25}, {29, 46}, {50, 56}, {59, 64}, {76, 77}, {79, 80}, {95, 96}});
  const bool Workstation = inRanges(
      AProductType,
      {{0, 6}, {11, 11}, {16, 16}, {26, 28}, {47, 49}, {66, 72}, {84, 84}, {98, 101}, {103, 103}});
  if (!Server && !Workstation)
    GetLogger()->LogError(QStringLiteral("Unknown ProductType $%.08x"), {quint32(AProductType)});
  const DWORD Minor = Platform::current().SystemInfo().Version().MinorVersion;
  if (Minor > 3)
    GetLogger()->LogError(QStringLiteral("Unkown Win32MinorVersion %d"), {quint32(Minor)});
  const int Base = Server ? 10 : 9;
  return Minor <= 3 ? Base + 2 * static_cast<int>(Minor) : Base;
}
