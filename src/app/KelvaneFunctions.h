#pragma once
// Gathering of everything the window and --print show: the groups, in
// order, and whether the network answered.

#include "app/KelvaneData.h"

#include <functional>

// Fills AGroups and sets AConnected: the group "General Information" first;
// the adapter groups follow it once they are gathered.
void GatherInformation(TObjectList<TKelvaneData>& AGroups, bool& AConnected);

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
