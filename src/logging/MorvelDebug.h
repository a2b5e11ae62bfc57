#pragma once
// The logging module: the engine, the per-module logger dictionary, and the
// configuration read once at start-up from HKEY_LOCAL_MACHINE
// Software\Morvel\Tesk (DebugEnabled, ActiveLevel, DirectDebugTCP,
// DirectDebugDirectory, DirectDebugFileSize, DirectDebugFiles).
//
// Start-up and shut-down are called explicitly by the program's main and by
// the test mains, never from static initialisers. Before start-up and after
// shut-down GetLogger hands out an inert logger that writes nothing.

#include "logging/InteroperabilityTraceLogger.h"
#include "logging/MorvelLoggerInterface.h"

class TLogEngine;
class TRegistry;

// AModuleFileName: the executable's file name (with or without folder); it
// names the engine, the program's logger and the ".sil" file. Empty = the
// running executable. Starting again first shuts the previous start down.
void InitializeMorvelDebug(const QString& AModuleFileName = {});
void FinalizeMorvelDebug();

IMorvelLogger* GetLogger();
ITraceLogger* GetTraceLogger();
// The logger of a module, created on first request; the key is the module's
// lower-case file name without folder.
IMorvelLogger* GetModuleLogger(const QString& AModuleFileName);

// The steps of start-up, for the program's own use and for tests.
void InitLoggingEngine();
void ApplyDebugConfiguration();

// The trimmed text value, or ADefault when it is missing, empty or unreadable.
QString ReadRegistryText(TRegistry* ARegistry, const QString& AName, const QString& ADefault);
// The integer value, or ADefault when it is missing or unreadable.
int ReadRegistryInteger(TRegistry* ARegistry, const QString& AName, int ADefault);

// State for inspection: the engine (null when not started) and the switch
// that hands out the inactive logger.
TLogEngine* MorvelLogEngine();
bool MorvelDebugDisabled();
