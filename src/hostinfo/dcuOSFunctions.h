#pragma once
// The Windows generation code: 1-3 the 9x family, 4-8 NT 3.51 to 5.2, and
// for version 6 and later 9/10 (workstation/server, minor 0), 11/12 (minor
// 1), 13/14 (minor 2), 15/16 (minor 3); 0 when not recognised. Codes above
// 8 mean Windows Vista or later.

#include "platform/SystemInfo.h"

// Cached after the first non-zero result.
int GetOSVersionCode();
int ComputeOSVersionCode();
bool QueryProductType(DWORD& AProductType);
int ClassifyProductType(DWORD AProductType);
// Forgets the cached code; for tests that change the reported version.
void ResetOSVersionCode();
