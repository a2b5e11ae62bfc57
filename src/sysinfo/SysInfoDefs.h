#pragma once
// What the system-information components share beyond their base: the
// start-up snapshot of the system (taken once, read-only afterwards), the
// registry reader rules, and small conversions.

#include "platform/RegistryAccess.h"
#include "platform/SystemInfo.h"

#include <QString>

#include <cstdint>
#include <memory>

struct TStartupSnapshot {
  bool IsNT = false;
  // The Windows generation (1 Windows 95 ... 12 Windows 8); 0 when not
  // recognised.
  std::uint8_t OSGeneration = 0;
  bool IsWin2000OrLater = false;
  bool IsWow64 = false;
  QString OSName;
  // The computer name, upper-cased.
  QString MachineName;
  QString ClassKey;
  TOSVersionInfo Version;
  TSystemInfo SystemInfo;
  // The terminal-services library offers its entry points.
  bool TerminalServices = false;
};

// Taken from the active platform on first use, once per process.
const TStartupSnapshot& StartupSnapshot();
// Takes it again from the platform now active; for tests that install a
// fake platform.
void RetakeStartupSnapshot();

// The generation and name by the platform identifier, version, product type
// and processor architecture.
std::uint8_t OSGenerationOf(const TOSVersionInfo& AVersion, WORD AArchitecture,
                            QString* AName = nullptr);

// The computer name as the family reads it: GetComputerName, replaced by
// the registry's ComputerName value when there is one; not upper-cased.
QString ComputerNameFromSystem();

// A registry accessor opened for reading: KEY_READ, with KEY_WOW64_64KEY
// under WOW64 so that a 32-bit process sees the 64-bit view. The caller
// sets the root key.
std::unique_ptr<TRegistry> CreateRegistryReader();
// The string value, empty when the key does not open or the value is
// missing; a value of another type raises ERegistryException.
QString ReadRegistryString(TRegHandle ARoot, const QString& AKey, const QString& AName);
// Any value as text by its type: strings as they are, expandable strings
// expanded, numbers in decimal, multi-strings their first string, anything
// else as at most 8194 raw bytes, in hexadecimal ("0A FF") or as characters
// with control bytes shown as ".".
QString ReadRegistryValueText(TRegHandle ARoot, const QString& AKey, const QString& AName,
                              bool AHex);

// Decimal, or hexadecimal after "$", to 64 bits; 0 when the text is no number.
std::int64_t SafeStrToInt64(const QString& AText);
// The text after the first ";" when there is one (device and service texts
// such as "@net.inf,%desc%;Intel(R) PRO/1000").
QString AfterSemicolon(const QString& AText);
