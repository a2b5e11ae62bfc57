#pragma once
// Gathering of everything the window and --print show: the groups, in
// order, and whether the network answered.

#include "app/KelvaneData.h"

#include <functional>

// Fills AGroups and sets AConnected. The gathering steps arrive with the
// general-information and adapter groups; until then the list stays empty.
void GatherInformation(TObjectList<TKelvaneData>& AGroups, bool& AConnected);

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
