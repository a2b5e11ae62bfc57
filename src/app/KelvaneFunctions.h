#pragma once
// Gathering of everything the window and --print show: the groups, in
// order, and whether the network answered.

#include "app/KelvaneData.h"
#include "inventory/NetworkAdapterData.h"

#include <functional>

// Fills AGroups and sets AConnected: the group "General Information" first;
// the adapter groups follow it once they are gathered. Why they are missing,
// when something failed, is said on standard error.
void GatherInformation(TObjectList<TKelvaneData>& AGroups, bool& AConnected);

// How long a start waits for others that share its temporary folder to
// finish with the working file.
inline constexpr int WorkingFileLockTimeoutMs = 20000;

// The adapter pipeline: refresh the network component, scan the adapters
// into the working file, complete it from WMI, read it back and make one
// group "Network Interface #n" per record. AGroups is null when no record
// came back or anything inside failed (logged; AProblem, when given, then
// says what failed). Starts sharing the temporary folder take turns for the
// file, each waiting at most ALockTimeoutMs.
void CollectNetworkInterfaces(IList<TKelvaneData>& AGroups, QString* AProblem = nullptr,
                              int ALockTimeoutMs = WorkingFileLockTimeoutMs);
// Completes the working file from WMI; a failure is logged, never raised.
void CompleteAdaptersFromWmi();
// The addresses joined by "; ", empty without any.
QString JoinIPv6Addresses(const IList<TNetworkAdapterAddressIPv6Data>& AList);
// "0.0.0.0" exactly becomes empty; anything else stays.
QString FilterDefaultGateway(const QString& AText);
// NetworkAdapters.xml in ATempDirectory; EArgumentException "Invalid
// characters in path" for a character no path may hold (NUL), and for an
// empty or blank folder text (never the root of the file system).
QString WorkingFilePath(const QString& ATempDirectory);

// The group "General Information" with its eight lines; sets AConnected.
std::unique_ptr<TKelvaneData> BuildGeneralInformation(bool& AConnected);

// True when the logon server answers a ping (1000 ms, 32 bytes, TTL 128); a
// blank logon server is not pinged.
bool IsNetworkConnected();

using TGatherer = std::function<void(TObjectList<TKelvaneData>&, bool&)>;

// Host identity, each an empty text when the system has no answer.
QString ReadComputerName();
QString ReadUserName();
// The expanded %USERDOMAIN%; a variable that is not set stays unexpanded.
QString ReadUserDomain();
// The expanded %LOGONSERVER% without its first two characters (the "\\").
QString ReadLogonServer();
// The environment variable "temp" (any letter case); empty when not set.
QString ReadTempDirectory();
