#pragma once
// Start-up and shut-down of the program's modules, in the program's order
// (logging first, shut down last). Called from main, never from static
// initialisers, whose order across files is unspecified.

#include "app/KelvaneData.h"

#include <QString>

#include <cstdio>

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
enum class TCommand { Window, Print, Version, Help, Usage, SaveSnapshot };
struct TCommandLine {
  TCommand Command = TCommand::Window;
  QString Snapshot;     // --snapshot FILE: that machine instead of this one
  QString SaveSnapshot; // --save-snapshot FILE
  QString Error;        // what is wrong with it, for Usage
};
TCommandLine ParseCommandLine(const QStringList& AArguments);
QString UsageText();

// The program's entry: parses the command line, answers --help, --version
// and --print itself, and hands the window to AShowWindow once a display is
// known to be there. The print-only path needs no GUI library, so the
// executable `kelvane` loads none and starts the window program
// `kelvane-window` (which has the same entry) only for the window.
using TShowWindow = int (*)(int argc, char** argv);

// --print once the modules run: AGather fills the groups, their text goes
// to AOutput with LF line ends. Exit code 0; 1 with one line on standard
// error when gathering fails (whatever it throws, memory exhaustion
// included) or AOutput cannot take the text (AOutputClosed: it was closed
// when the program started).
int PrintInformation(void (*AGather)(TObjectList<TKelvaneData>&, bool&), std::FILE* AOutput,
                     bool AOutputClosed = false);
int KelvaneMain(int argc, char** argv, TShowWindow AShowWindow);
