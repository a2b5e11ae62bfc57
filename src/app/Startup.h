#pragma once
// Start-up and shut-down of the program's modules, in the program's order
// (logging first, shut down last). Called from main, never from static
// initialisers, whose order across files is unspecified.

#include <QString>

inline constexpr const char* KelvaneVersion = "4.0.0.1";
inline constexpr const char* KelvaneTitle = "Kelvane 4.0";

class TModuleLifetime {
public:
  TModuleLifetime();
  ~TModuleLifetime();
  TModuleLifetime(const TModuleLifetime&) = delete;
  TModuleLifetime& operator=(const TModuleLifetime&) = delete;
};

// What the command line asks for.
enum class TCommand { Window, Print, Version, Help, Usage };
TCommand ParseCommandLine(const QStringList& AArguments, QString& AUnknown);
QString UsageText();
