#pragma once
// Gathering of everything the window and --print show: the groups, in
// order, and whether the network answered.

#include "app/KelvaneData.h"

#include <functional>

// Fills AGroups and sets AConnected. The gathering steps arrive with the
// general-information and adapter groups; until then the list stays empty.
void GatherInformation(TObjectList<TKelvaneData>& AGroups, bool& AConnected);

using TGatherer = std::function<void(TObjectList<TKelvaneData>&, bool&)>;
