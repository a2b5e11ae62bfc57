#pragma once
// System libraries whose entry points the ports look up at run time, so
// that a system lacking one answers "missing entry point" to the callers
// instead of refusing to start the program.

#include "platform/windows/WindowsEntryPoint.h"

#include <string>

// The module of a system library: the one already mapped into the process,
// else loaded by its full path in the system folder, so that a DLL of the
// same name beside the program or in the working folder is never taken in
// its place; EntryPoint then finds its functions. Null when it cannot be
// loaded. A library loaded here stays loaded for the life of the process:
// its entry points are cached.
inline HMODULE SystemLibrary(const wchar_t* AName) {
  if (const HMODULE Mapped = ::GetModuleHandleW(AName))
    return Mapped;
  wchar_t Folder[MAX_PATH];
  const UINT Length = ::GetSystemDirectoryW(Folder, MAX_PATH);
  if (Length == 0 || Length >= MAX_PATH)
    return nullptr;
  const std::wstring Path = std::wstring(Folder, Length) + L'\\' + AName;
  return ::LoadLibraryW(Path.c_str());
}

// Wine exports this from its ntdll; Windows does not. Some of wine's
// entry points exist but end the process when called.
inline bool RunningUnderWine() {
  static const bool Wine = EntryPoint<FARPROC>(L"ntdll.dll", "wine_get_version") != nullptr;
  return Wine;
}
