#pragma once
// Starting the program's companion executables, and what this process
// knows of itself.

#include <QString>

// Runs the program AName that lies beside this executable in place of this
// process: the same process, arguments (argv, ending with a null pointer)
// and environment. Returns only when that fails, with the reason.
QString RunSiblingProgram(const QString& AName, char** AArguments);

// The standard streams, as bits of ProtectStandardStreams' result.
inline constexpr int StandardInputStream = 1;
inline constexpr int StandardOutputStream = 2;
inline constexpr int StandardErrorStream = 4;

// Standard streams that were closed when the program started are opened on
// the null device, so that no file the program opens takes their place
// (--print would write into it). Returns the streams that were closed.
int ProtectStandardStreams();

// Standard streams a program without a console of its own lacks (the
// Windows window program, started from a console window) are taken from the
// console of the program that started it, if it has one, so that a text the
// user asked for shows there. AMissing: the streams to take, as
// ProtectStandardStreams tells them. Returns those now open. A system whose
// programs always inherit their streams has nothing to take: 0.
int AttachParentConsole(int AMissing);

// Whether a window can be shown: off Windows, whether Qt will find the
// display it is going to connect to (a missing one would abort the program
// in Qt's start-up).
bool WindowSystemAvailable();

// The file name, without folder, of the executable this process runs
// ("kelvane", "kelvane.exe"). When the system will not tell: the name the
// program was started by where the system keeps it, else empty.
QString ExecutableFileName();

// This process's memory use as the system counts it, one "Name: value" line
// each, every line ending with a line break; empty when the system will not
// tell. The names are the system's own (VmRSS, WorkingSetSize, ...).
QString ProcessMemoryFigures();
