#include "platform/windows/WindowsEntryPoint.h"

#undef GetComputerName
#undef GetEnvironmentVariable
#undef GetUserName

#include "platform/windows/WindowsSystemInfo.h"

#include <algorithm>
#include <string>

// The version record is what GetVersionExW tells this process, not the
// system's true version (RtlGetVersion). The version, edition and generation
// rules are written for a program without a compatibility manifest, which
// Windows 8.1 and later tell they are 6.2: that answer is the one the rules
// branch on, and a 6.3 or 10.0 record, which only a manifest brings, has
// rules of its own. Taking the true version would turn every newer system
// into the "not recognised" case.

namespace {

// GetVersionExW with the extended record, and with the basic one where the
// extended query fails (ExtendedValid then stays false).
TOSVersionInfo readVersion() {
  TOSVersionInfo Info;
  OSVERSIONINFOEXW Extended{};
  Extended.dwOSVersionInfoSize = sizeof Extended;
  OSVERSIONINFOW Basic{};
  Basic.dwOSVersionInfoSize = sizeof Basic;
  const OSVERSIONINFOW* Record = nullptr;
  if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&Extended))) {
    Record = reinterpret_cast<const OSVERSIONINFOW*>(&Extended);
    Info.ExtendedValid = true;
    Info.ServicePackMajor = Extended.wServicePackMajor;
    Info.ServicePackMinor = Extended.wServicePackMinor;
    Info.SuiteMask = Extended.wSuiteMask;
    Info.ProductType = Extended.wProductType;
  } else if (::GetVersionExW(&Basic)) {
    Record = &Basic;
  }
  if (Record) {
    Info.MajorVersion = Record->dwMajorVersion;
    Info.MinorVersion = Record->dwMinorVersion;
    Info.BuildNumber = Record->dwBuildNumber;
    Info.PlatformId = Record->dwPlatformId;
    Info.CSDVersion = QString::fromWCharArray(
        Record->szCSDVersion, int(wcsnlen(Record->szCSDVersion, std::size(Record->szCSDVersion))));
  }
  return Info;
}

void fromSystem(const SYSTEM_INFO& AFrom, TSystemInfo& ATo) {
  ATo.ProcessorArchitecture = AFrom.wProcessorArchitecture;
  ATo.PageSize = AFrom.dwPageSize;
  ATo.NumberOfProcessors = AFrom.dwNumberOfProcessors;
}

// What one call into a caller's buffer gave: the characters it wrote, or
// the capacity it asks for (the closing NUL counted), or a failure.
struct TFilled {
  enum { Written, TooSmall, Failed } State = Failed;
  DWORD Count = 0;
};

// AFill(buffer, capacity) into a buffer of AFirst characters and, while it
// asks for more, again with what it asked for (a name or value may change
// between two calls). The text ends at its first NUL.
template <class TFill> std::optional<QString> readText(DWORD AFirst, TFill AFill) {
  // No variable or name of the system is longer.
  constexpr DWORD MostChars = 32768;
  std::wstring Buffer(AFirst, L'\0');
  for (int Attempt = 0; Attempt < 3; ++Attempt) {
    const TFilled Filled = AFill(Buffer.data(), DWORD(Buffer.size()));
    if (Filled.State == TFilled::Written)
      return QString::fromWCharArray(
          Buffer.data(),
          int(wcsnlen(Buffer.data(), std::min<std::size_t>(Filled.Count, Buffer.size()))));
    if (Filled.State == TFilled::Failed || Filled.Count <= Buffer.size() ||
        Filled.Count > MostChars)
      return std::nullopt;
    Buffer.assign(Filled.Count, L'\0');
  }
  return std::nullopt;
}

bool assign(const std::optional<QString>& AText, QString& AName) {
  if (AText)
    AName = *AText;
  return AText.has_value();
}

// GetComputerNameW and GetUserNameW: the capacity goes in and the size comes
// out, the size it needs when ATooSmall is the error. (Only the second counts
// the closing NUL on success; the text ends there either way.)
std::optional<QString> systemName(BOOL(WINAPI* ACall)(LPWSTR, LPDWORD), DWORD ATooSmall) {
  return readText(MAX_PATH + 1, [&](wchar_t* ABuffer, DWORD ACapacity) {
    DWORD Size = ACapacity;
    if (ACall(ABuffer, &Size))
      return TFilled{TFilled::Written, Size};
    if (::GetLastError() == ATooSmall)
      return TFilled{TFilled::TooSmall, Size};
    return TFilled{};
  });
}

} // namespace

WindowsSystemInfo::WindowsSystemInfo(const QString& AKernelModule) : FVersion(readVersion()) {
  FGetNativeSystemInfo = EntryPoint<TEntryPoint>(wide(AKernelModule), "GetNativeSystemInfo");
  FGetProductInfo = EntryPoint<TEntryPoint>(wide(AKernelModule), "GetProductInfo");
}

// The buffer is the size the callers have always given; a NetBIOS name
// fills 15 characters of it.
bool WindowsSystemInfo::GetComputerName(QString& AName) {
  return assign(systemName(::GetComputerNameW, ERROR_BUFFER_OVERFLOW), AName);
}

bool WindowsSystemInfo::GetUserName(QString& AName) {
  return assign(systemName(::GetUserNameW, ERROR_INSUFFICIENT_BUFFER), AName);
}

std::optional<QString> WindowsSystemInfo::GetEnvironmentVariable(const QString& AName) {
  return readText(MAX_PATH + 1, [&AName](wchar_t* ABuffer, DWORD ACapacity) {
    // A variable set to the empty text gives 0 as well, but no error.
    ::SetLastError(ERROR_SUCCESS);
    const DWORD Length = ::GetEnvironmentVariableW(wide(AName), ABuffer, ACapacity);
    if (Length >= ACapacity)
      return TFilled{TFilled::TooSmall, Length};
    if (Length == 0 && ::GetLastError() != ERROR_SUCCESS)
      return TFilled{};
    return TFilled{TFilled::Written, Length};
  });
}

int WindowsSystemInfo::GetSystemMetrics(int AIndex) {
  return ::GetSystemMetrics(AIndex);
}

void WindowsSystemInfo::GetSystemInfo(TSystemInfo& AInfo) {
  SYSTEM_INFO Info{};
  ::GetSystemInfo(&Info);
  fromSystem(Info, AInfo);
}

bool WindowsSystemInfo::GetNativeSystemInfo(TSystemInfo& AInfo) {
  if (!FGetNativeSystemInfo) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  SYSTEM_INFO Info{};
  reinterpret_cast<void(WINAPI*)(SYSTEM_INFO*)>(FGetNativeSystemInfo)(&Info);
  fromSystem(Info, AInfo);
  return true;
}

std::optional<bool> WindowsSystemInfo::GetProductInfo(DWORD AMajor, DWORD AMinor, DWORD ASpMajor,
                                                      DWORD ASpMinor, DWORD& AProductType) {
  // The callers report the system's reason when the entry point is missing,
  // as the failed look-up would have left it.
  if (!FGetProductInfo) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return std::nullopt;
  }
  DWORD Type = 0;
  const BOOL Result = reinterpret_cast<BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD*)>(
      FGetProductInfo)(AMajor, AMinor, ASpMajor, ASpMinor, &Type);
  AProductType = Type;
  return Result != FALSE;
}

DWORD WindowsSystemInfo::GetLastError() {
  return ::GetLastError();
}
