#pragma once
// The system headers every Windows helper needs, in the order they must come,
// the system's own message text for an error code, and a text as the wide
// calls take it.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winsock2.h>

#include "common/WinError.h"

#include <QString>

// The text FormatMessageW gives in the user's language, without its line
// break; the built-in English text when the system has none for ACode.
inline QString SystemErrorText(DWORD ACode) {
  wchar_t* Buffer = nullptr;
  const DWORD Length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, ACode, 0, reinterpret_cast<LPWSTR>(&Buffer), 0, nullptr);
  QString Text;
  if (Buffer) {
    Text = QString::fromWCharArray(Buffer, int(Length)).trimmed();
    ::LocalFree(Buffer);
  }
  return Text.isEmpty() ? SysErrorMessage(ACode) : Text;
}

// AText as a wide-character argument; valid while AText lives unchanged.
inline const wchar_t* wide(const QString& AText) {
  return reinterpret_cast<const wchar_t*>(AText.utf16());
}
